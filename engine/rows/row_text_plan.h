// A table's rows written straight from their records into output text.
// The plan is worked out once per table and record layout: for each column
// written, which converter turns its located bytes (record.cells) into
// text, chosen by its type, and what the output form wants around values
// (a CSV field, an SQL literal). A record then runs the plan without
// asking any column's type again: each value is converted straight from
// the record's bytes into the thread's row room, its quoting decided as it
// is written, and the row is appended to the output in one piece.
//
// The plan writes only rows it can write exactly as their typed values
// would be written (typed_decode.h, then the form's own value writer): a
// suspect row, a compressed record, a value that cannot be read or a row
// past kPlanRowLimit is left to the caller, who takes the typed path (and
// with it the routing of suspect rows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/rows/row_reader.h"
#include "engine/rows/typed_value.h"

namespace tollamer {

// What an output form wants of each value; made by the writer (output/).
struct TextForm {
  std::string rowStart;   // before the first value
  std::string separator;  // between values
  std::string rowEnd;     // after the last value
  std::string null;       // a NULL value
  char dateSeparator = ' ';  // between the date and the time
  bool quoteDates = false;   // dates and times in single quotes
  bool finiteOnly = false;   // infinities and NaN written as NULL
  bool skipTimestamps = false;  // timestamp columns are not written
  // A text value written at `at` (room for 2 * size + 3 bytes); `unicode`
  // when the column holds Unicode text. Returns the end.
  char* (*putText)(char* at, std::string_view utf8, bool unicode) = nullptr;
  // Optional, each the same text as putText gives: 8-bit text written
  // from the record's bytes when all of them are ASCII (room for 2 * size
  // + 3 bytes; null when a byte is not), and UTF-16LE text converted as it
  // is written (room for 3 * units + 3 bytes).
  char* (*putAscii)(char* at, std::string_view bytes) = nullptr;
  char* (*putWide)(char* at, const uint8_t* utf16, size_t units, bool unicode) = nullptr;
  // Any value of `column` as the form's writer appends it: the converter
  // of the types the plan has none of its own for.
  void (*appendValue)(std::string& out, const ColumnInfo& column, const TypedValue& value) =
      nullptr;
};

// A row whose text may take more than this is left to the typed path.
inline constexpr size_t kPlanRowLimit = 256 * 1024;

// What one thread's writes keep from row to row (texts, a date cache);
// one per thread.
class RowTextScratch {
 public:
  RowTextScratch();
  ~RowTextScratch();
  struct State;
  State& Get() { return *state_; }

 private:
  std::unique_ptr<State> state_;
};

class RowTextPlan {
 public:
  RowTextPlan(const TableRecordWalk& walk, const TextForm& form);
  ~RowTextPlan();
  RowTextPlan(RowTextPlan&&) noexcept;

  // Appends the record's row to `out`; false (and `out` as it was) when
  // the row is left to the typed path. Safe on several threads at once,
  // each with its own scratch.
  bool Write(const TableRecord& record, std::string& out, RowTextScratch& scratch) const;
  // The same, but the row may wait in the scratch with the rows written
  // after it, appended to `out` a few KiB at a time (one copy for many
  // rows): Flush before anything else is appended to `out`, and at the end.
  bool WriteGathered(const TableRecord& record, std::string& out, RowTextScratch& scratch) const;
  static void Flush(std::string& out, RowTextScratch& scratch);
  // The size of `out` once the rows waiting in `scratch` are appended.
  static size_t GatheredSize(const std::string& out, RowTextScratch& scratch);

  struct Step;   // one written column: where its bytes are, its converter
  struct Texts;  // the form's short texts, each copied as one store

 private:
  // The row made at `at`, which has kPlanRowLimit bytes of room; its end,
  // or null when it is left to the typed path.
  char* Put(const TableRecord& record, char* at, RowTextScratch& scratch) const;

  const TableRecordWalk* walk_;
  const TextForm* form_;
  std::unique_ptr<Texts> texts_;
  std::vector<Step> steps_;
  size_t planColumns_ = 0;  // the walk's planned columns: cells a record must have
  size_t rowRoom_ = 0;  // the row's room besides its values sized by their cells
  bool usable_ = false;  // false: every row is left to the typed path
};

}  // namespace tollamer
