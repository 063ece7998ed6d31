// CSV text of typed values (RFC 4180): fields separated by commas, lines
// ended by CR LF, a field holding a comma, a quote, CR or LF (or empty
// text, to tell it from NULL) in quotes with its quotes doubled. NULL is
// an empty unquoted field; binary values are "0x" and hex digits; dates
// ISO 8601; numbers as stored.
#pragma once

#include <string>
#include <vector>

#include "engine/rows/row_text_plan.h"
#include "engine/rows/typed_value.h"

namespace tollamer {

// The plain text of a value as export writers show it (no CSV quoting):
// empty for NULL.
std::string ExportText(const TypedValue& value);
void AppendExportText(std::string& out, const TypedValue& value);

void AppendCsvField(std::string& out, std::string_view text, bool quote_empty);
void AppendCsvValue(std::string& out, const TypedValue& value);
// One line, CR LF included.
void AppendCsvRow(std::string& out, const std::vector<TypedValue>& row);
void AppendCsvHeader(std::string& out, const std::vector<std::string>& names);

// The same lines as a row plan's form (row_text_plan.h).
const TextForm& CsvTextForm();

}  // namespace tollamer
