#include "engine/catalog/create_table_text.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

namespace tollamer {

namespace {

constexpr int16_t kFirstFixedOffset = 4;
constexpr uint8_t kBitsPerByte = 8;
constexpr uint8_t kDefaultTimeScale = 7;

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Comments become blanks.
std::string StripComments(std::string_view sql) {
  std::string out;
  for (size_t i = 0; i < sql.size(); ++i) {
    if (sql.substr(i, 2) == "--") {
      while (i < sql.size() && sql[i] != '\n') ++i;
      out += '\n';
    } else if (sql.substr(i, 2) == "/*") {
      const size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 1;
      out += ' ';
    } else {
      out += sql[i];
    }
  }
  return out;
}

// Tokens: [bracketed] and "quoted" names, words, numbers, and single
// punctuation characters.
std::vector<std::string> Tokens(std::string_view s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '[' || c == '"') {
      const char close = c == '[' ? ']' : '"';
      const size_t end = s.find(close, i + 1);
      const size_t stop = end == std::string_view::npos ? s.size() : end;
      out.push_back("\x01" + std::string(s.substr(i + 1, stop - i - 1)));  // a quoted name
      i = stop + 1;
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' ||
               static_cast<unsigned char>(c) >= 0x80) {
      size_t j = i;
      while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_' ||
                              s[j] == '@' || s[j] == '#' || s[j] == '$' ||
                              static_cast<unsigned char>(s[j]) >= 0x80))
        ++j;
      out.emplace_back(s.substr(i, j - i));
      i = j;
    } else {
      out.emplace_back(1, c);
      ++i;
    }
  }
  return out;
}

std::string NameOf(const std::string& token) {
  return !token.empty() && token[0] == '\x01' ? token.substr(1) : token;
}
bool Is(const std::string& token, std::string_view word) {
  return !token.empty() && token[0] != '\x01' && Upper(token) == word;
}

uint16_t DecimalBytes(uint8_t precision) {
  return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}
uint16_t TimeBytes(uint8_t scale) { return scale <= 2 ? 3 : scale <= 4 ? 4 : 5; }

// The column's type from its name and arguments ("max" as kMaxLength).
bool SetType(ColumnInfo& c, const std::string& type, const std::vector<uint32_t>& args) {
  const std::string t = Upper(type);
  auto arg = [&](size_t i, uint32_t otherwise) { return i < args.size() ? args[i] : otherwise; };
  struct Fixed {
    const char* name;
    uint8_t xtype;
    uint16_t length;
  };
  static const Fixed kFixed[] = {
      {"INT", 56, 4},       {"INTEGER", 56, 4},        {"BIGINT", 127, 8},
      {"SMALLINT", 52, 2},  {"TINYINT", 48, 1},        {"BIT", 104, 1},
      {"MONEY", 60, 8},     {"SMALLMONEY", 122, 4},    {"REAL", 59, 4},
      {"DATETIME", 61, 8},  {"SMALLDATETIME", 58, 4},  {"DATE", 40, 3},
      {"UNIQUEIDENTIFIER", 36, 16}, {"TIMESTAMP", 189, 8}, {"ROWVERSION", 189, 8},
      {"TEXT", 35, 16},     {"NTEXT", 99, 16},         {"IMAGE", 34, 16},
      {"XML", 241, kMaxLength}, {"SQL_VARIANT", 98, 8016},
  };
  for (const Fixed& f : kFixed)
    if (t == f.name) {
      c.xtype = f.xtype;
      c.length = f.length;
      return true;
    }
  if (t == "FLOAT") {
    const bool single = arg(0, 53) <= 24;
    c.xtype = single ? 59 : 62;
    c.length = single ? 4 : 8;
    return true;
  }
  if (t == "DECIMAL" || t == "NUMERIC") {
    c.xtype = t == "DECIMAL" ? 106 : 108;
    c.xprec = static_cast<uint8_t>(std::clamp<uint32_t>(arg(0, 18), 1, 38));
    c.xscale = static_cast<uint8_t>(std::min<uint32_t>(arg(1, 0), c.xprec));
    c.length = DecimalBytes(c.xprec);
    return true;
  }
  if (t == "TIME" || t == "DATETIME2" || t == "DATETIMEOFFSET") {
    c.xscale = static_cast<uint8_t>(std::min<uint32_t>(arg(0, kDefaultTimeScale), 7));
    c.xtype = t == "TIME" ? 41 : t == "DATETIME2" ? 42 : 43;
    c.length = TimeBytes(c.xscale) + (t == "TIME" ? 0 : t == "DATETIME2" ? 3 : 5);
    return true;
  }
  struct Sized {
    const char* name;
    uint8_t xtype;
    uint16_t unit;  // bytes per character
  };
  static const Sized kSized[] = {{"CHAR", 175, 1},   {"VARCHAR", 167, 1},   {"NCHAR", 239, 2},
                                 {"NVARCHAR", 231, 2}, {"BINARY", 173, 1}, {"VARBINARY", 165, 1}};
  for (const Sized& s : kSized)
    if (t == s.name) {
      c.xtype = s.xtype;
      const uint32_t n = arg(0, 1);
      c.length = n == kMaxLength ? kMaxLength : static_cast<uint16_t>(std::min<uint32_t>(n * s.unit, 8000));
      return true;
    }
  return false;
}

bool IsVariable(uint8_t xtype) {
  switch (xtype) {
    case 34: case 35: case 98: case 99: case 165: case 167: case 231: case 240: case 241:
      return true;
    default: return false;
  }
}

// One column definition's tokens; nothing for a constraint or computed column.
std::optional<ColumnInfo> ParseColumn(const std::vector<std::string>& t, bool& usable) {
  if (t.empty()) return std::nullopt;
  for (const char* word : {"CONSTRAINT", "PRIMARY", "UNIQUE", "FOREIGN", "CHECK", "INDEX"})
    if (Is(t[0], word)) return std::nullopt;
  if (t.size() < 2 || Is(t[1], "AS")) return std::nullopt;  // computed: not stored
  ColumnInfo c;
  c.name = NameOf(t[0]);
  size_t i = 1;
  std::string type = NameOf(t[i++]);
  if (i + 1 < t.size() && t[i] == "." ) {  // sys.int, dbo.type
    type = NameOf(t[i + 1]);
    i += 2;
  }
  std::vector<uint32_t> args;
  if (i < t.size() && t[i] == "(") {
    for (++i; i < t.size() && t[i] != ")"; ++i) {
      if (Is(t[i], "MAX")) args.push_back(kMaxLength);
      else if (!t[i].empty() && std::isdigit(static_cast<unsigned char>(t[i][0])))
        args.push_back(static_cast<uint32_t>(std::stoul(t[i].substr(0, 9))));
    }
    ++i;
  }
  if (!SetType(c, type, args)) {
    usable = false;
    return std::nullopt;
  }
  c.typeName = Upper(type);
  c.xusertype = c.xtype;
  bool not_null = false;
  for (size_t j = i; j + 1 < t.size(); ++j)
    if (Is(t[j], "NOT") && Is(t[j + 1], "NULL")) not_null = true;
  c.nullText = not_null ? " NOT NULL" : " NULL";
  return c;
}

void AddColumn(TableInfo& table, std::optional<ColumnInfo> column, uint16_t& colid) {
  if (!column) return;
  column->colid = ++colid;
  table.columns.emplace(colid, std::move(*column));
}

// Fixed columns from offset 4 in column order, bit columns eight to a
// byte; variable columns -1, -2, ...
void LayOut(TableInfo& table) {
  int16_t offset = kFirstFixedOffset;
  int16_t variable = 0;
  uint8_t bits_used = kBitsPerByte;
  int16_t bit_byte = 0;
  for (auto& [colid, c] : table.columns) {
    if (IsVariable(c.xtype)) {
      c.xoffset = --variable;
    } else if (c.xtype == 104) {
      if (bits_used == kBitsPerByte) {
        bit_byte = offset++;
        bits_used = 0;
      }
      c.xoffset = bit_byte;
      c.bitpos = bits_used++;
    } else {
      c.xoffset = offset;
      offset = static_cast<int16_t>(offset + c.length);
    }
  }
}

}  // namespace

std::vector<TableInfo> ParseCreateTables(std::string_view sql) {
  const std::vector<std::string> t = Tokens(StripComments(sql));
  std::vector<TableInfo> out;
  for (size_t i = 0; i + 2 < t.size(); ++i) {
    if (!Is(t[i], "CREATE") || !Is(t[i + 1], "TABLE")) continue;
    size_t j = i + 2;
    std::vector<std::string> parts;
    while (j < t.size() && t[j] != "(") {
      if (t[j] != ".") parts.push_back(NameOf(t[j]));
      ++j;
    }
    if (j >= t.size() || parts.empty()) continue;
    TableInfo table;
    const std::string owner = parts.size() >= 2 ? parts[parts.size() - 2] : "dbo";
    table.fullName = owner + "." + parts.back();
    // The column list: items separated by commas at depth 1.
    bool usable = true;
    int depth = 0;
    std::vector<std::string> item;
    uint16_t colid = 0;
    for (++j; j < t.size(); ++j) {
      if (t[j] == "(") ++depth;
      if (t[j] == ")" && depth-- == 0) break;
      if (t[j] == "," && depth == 0) {
        AddColumn(table, ParseColumn(item, usable), colid);
        item.clear();
        continue;
      }
      item.push_back(t[j]);
    }
    AddColumn(table, ParseColumn(item, usable), colid);
    i = j;
    if (!usable || table.columns.empty()) continue;
    LayOut(table);
    out.push_back(std::move(table));
  }
  return out;
}

CreatedShape ShapeOfCreated(const TableInfo& table) {
  CreatedShape shape;
  for (const auto& [colid, c] : table.columns) {
    ++shape.columns;
    if (c.xoffset < 0) {
      ++shape.variables;
    } else {
      const uint16_t end = static_cast<uint16_t>(c.xoffset + (c.xtype == 104 ? 1 : c.length));
      shape.fixedEnd = std::max(shape.fixedEnd, end);
    }
  }
  return shape;
}

}  // namespace tollamer
