#include "output/sql_insert.h"

#include <cstring>
#include <span>

#include "engine/values/value_format.h"
#include "output/csv_format.h"
#include "output/quotes_doubled.h"
#include "platform/text.h"
#include "platform/utf16_put.h"

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

// Quoted() written at `at` (room for 2 * size + 3 bytes): text found
// outside ASCII moves one place for the N.
char* PutQuoted(char* at, std::string_view text, bool unicode) {
  char* const first = at;
  if (unicode) *at++ = 'N';
  *at++ = '\'';
  unsigned high = 0;
  at = PutQuotesDoubled(at, text.data(), text.size(), '\'', high);
  *at++ = '\'';
  if (!unicode && high != 0) {
    std::memmove(first + 1, first, static_cast<size_t>(at - first));
    *first = 'N';
    ++at;
  }
  return at;
}

// 8-bit text whose bytes are all ASCII as its literal; null when one is not.
char* PutAsciiQuoted(char* at, std::string_view bytes) {
  *at++ = '\'';
  unsigned high = 0;
  at = PutQuotesDoubled(at, bytes.data(), bytes.size(), '\'', high);
  *at++ = '\'';
  return high == 0 ? at : nullptr;
}

// UTF-16LE text as its literal, converted as it is written (room for
// 3 * units + 3 bytes).
char* PutWideQuoted(char* at, const uint8_t* utf16, size_t units, bool unicode) {
  bool wide = unicode;
  for (size_t i = 0; i < units && !wide; ++i) wide = utf16[2 * i] >= 0x80 || utf16[2 * i + 1] != 0;
  if (wide) *at++ = 'N';
  *at++ = '\'';
  at = platform::PutUtf16LeAsUtf8(at, utf16, units, '\'');
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
  form_.putAscii = PutAsciiQuoted;
  form_.putWide = PutWideQuoted;
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
