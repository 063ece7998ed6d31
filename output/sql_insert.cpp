#include "output/sql_insert.h"

#include <cstring>
#include <span>

#include "engine/values/value_format.h"
#include "output/csv_format.h"
#include "platform/text.h"

namespace tollamer {

namespace {

namespace vt = value_type;

bool IsUnicodeType(uint8_t xtype) {
  return xtype == vt::kNChar || xtype == vt::kNVarChar || xtype == vt::kNText || xtype == vt::kXml;
}

bool IsAscii(std::string_view s) {
  return platform::IsAscii(std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
}

std::string Quoted(std::string_view text, bool unicode) {
  std::string out = unicode ? "N'" : "'";
  out.reserve(text.size() + 3);
  for (char c : text) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  out.push_back('\'');
  return out;
}

// Quoted() written at `at` (room for 2 * size + 3 bytes): the runs
// between quotes copied whole.
char* PutQuoted(char* at, std::string_view text, bool unicode) {
  if (unicode || !IsAscii(text)) *at++ = 'N';
  *at++ = '\'';
  for (size_t from = 0; from < text.size();) {
    const void* quote = std::memchr(text.data() + from, '\'', text.size() - from);
    const size_t to = quote ? static_cast<size_t>(static_cast<const char*>(quote) - text.data()) + 1
                            : text.size();
    std::memcpy(at, text.data() + from, to - from);
    at += to - from;
    if (quote) *at++ = '\'';
    from = to;
  }
  *at++ = '\'';
  return at;
}

}  // namespace

std::string BracketName(std::string_view name) {
  std::string out = "[";
  for (char c : name) {
    if (c == ']') out.push_back(']');
    out.push_back(c);
  }
  return out + "]";
}

std::string NameLiteral(std::string_view text) { return Quoted(text, true); }

std::string BracketFullName(const std::string& full_name) {
  size_t dot = full_name.find('.');
  if (dot == std::string::npos) return BracketName(full_name);
  return BracketName(std::string_view(full_name).substr(0, dot)) + "." +
         BracketName(std::string_view(full_name).substr(dot + 1));
}

std::string SqlLiteral(const ColumnInfo& column, const TypedValue& v) {
  switch (v.kind) {
    case TypedKind::kNull: return "NULL";
    case TypedKind::kInteger:
    case TypedKind::kDecimal:
    case TypedKind::kMoney: return ExportText(v);
    case TypedKind::kFloat: {
      std::string text = FloatText(v);
      // Infinities and NaN have no literal.
      return text.find_first_of("in") == std::string::npos ? text : "NULL";
    }
    case TypedKind::kDateTime: return "'" + IsoDateTimeText(v.time, 'T') + "'";
    case TypedKind::kText:
      return Quoted(v.text, IsUnicodeType(column.xtype) || !IsAscii(v.text));
    case TypedKind::kBytes: return "0x" + HexDigits(v.bytes);
    case TypedKind::kGuid: return "'" + GuidText(v.bytes) + "'";
  }
  return "NULL";
}

SqlInsertWriter::SqlInsertWriter(const std::string& table_full_name,
                                 const std::vector<const ColumnInfo*>& columns,
                                 bool identity_insert)
    : columns_(columns) {
  if (identity_insert) identityTable_ = BracketFullName(table_full_name);
  prefix_ = "INSERT INTO " + BracketFullName(table_full_name) + " (";
  bool first = true;
  for (const ColumnInfo* c : columns_) {
    const bool write = c->xtype != vt::kTimestamp;
    written_.push_back(write);
    if (!write) continue;
    if (!first) prefix_ += ", ";
    prefix_ += BracketName(c->name);
    first = false;
  }
  prefix_ += ") VALUES (";
  form_.rowStart = prefix_;
  form_.separator = ", ";
  form_.rowEnd = ");\r\n";
  form_.null = "NULL";
  form_.dateSeparator = 'T';
  form_.quoteDates = true;
  form_.finiteOnly = true;
  form_.skipTimestamps = true;
  form_.putText = PutQuoted;
  form_.appendValue = [](std::string& out, const ColumnInfo& column, const TypedValue& v) {
    out += SqlLiteral(column, v);
  };
}

std::string SqlInsertWriter::Header() const {
  std::string out = "SET NOCOUNT ON\r\nGO\r\n";
  if (!identityTable_.empty()) out += "SET IDENTITY_INSERT " + identityTable_ + " ON\r\nGO\r\n";
  return out;
}

void SqlInsertWriter::AppendRow(std::string& out, const std::vector<TypedValue>& row) {
  AppendStatement(out, row);
  if (CountRow()) out += kBatchEnd;
}

void SqlInsertWriter::AppendStatement(std::string& out, const std::vector<TypedValue>& row) const {
  out += prefix_;
  bool first = true;
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (!written_[i]) continue;
    if (!first) out += ", ";
    out += i < row.size() ? SqlLiteral(*columns_[i], row[i]) : "NULL";
    first = false;
  }
  out += ");\r\n";
}

std::string SqlInsertWriter::Footer() const {
  std::string out(rows_ % kRowsPerBatch != 0 ? kBatchEnd : "");
  if (!identityTable_.empty()) out += "SET IDENTITY_INSERT " + identityTable_ + " OFF\r\nGO\r\n";
  return out;
}

}  // namespace tollamer
