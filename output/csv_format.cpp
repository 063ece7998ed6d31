#include "output/csv_format.h"

namespace tollamer {

std::string ExportText(const TypedValue& v) {
  switch (v.kind) {
    case TypedKind::kNull: return {};
    case TypedKind::kInteger: return std::to_string(v.integer);
    case TypedKind::kDecimal:
    case TypedKind::kText: return v.text;
    case TypedKind::kFloat: return FloatText(v);
    case TypedKind::kMoney: return ExactMoneyText(v.integer);
    case TypedKind::kDateTime: return IsoDateTimeText(v.time, ' ');
    case TypedKind::kBytes: return "0x" + HexDigits(v.bytes);
    case TypedKind::kGuid: return GuidText(v.bytes);
  }
  return {};
}

void AppendCsvField(std::string& out, std::string_view text, bool quote_empty) {
  bool quote = text.empty() && quote_empty;
  for (size_t i = 0; i < text.size() && !quote; ++i) {
    const char c = text[i];
    quote = c == ',' || c == '"' || c == '\r' || c == '\n';
  }
  if (!quote) {
    out += text;
    return;
  }
  out.push_back('"');
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

void AppendCsvValue(std::string& out, const TypedValue& v) {
  if (v.IsNull()) return;
  if (v.kind == TypedKind::kText) {
    AppendCsvField(out, v.text, true);
    return;
  }
  // Numbers, dates, hex and GUIDs hold no comma, quote or line break.
  out += ExportText(v);
}

void AppendCsvRow(std::string& out, const std::vector<TypedValue>& row) {
  for (size_t i = 0; i < row.size(); ++i) {
    if (i) out.push_back(',');
    AppendCsvValue(out, row[i]);
  }
  out += "\r\n";
}

void AppendCsvHeader(std::string& out, const std::vector<std::string>& names) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) out.push_back(',');
    AppendCsvField(out, names[i], true);
  }
  out += "\r\n";
}

}  // namespace tollamer
