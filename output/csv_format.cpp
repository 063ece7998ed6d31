#include "output/csv_format.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "engine/values/number_text.h"
#include "engine/values/value_format.h"

namespace tollamer {

void AppendExportText(std::string& out, const TypedValue& v) {
  switch (v.kind) {
    case TypedKind::kNull: return;
    case TypedKind::kInteger: {
      char buf[24];
      out.append(buf, std::to_chars(buf, buf + sizeof buf, v.integer).ptr);
      return;
    }
    case TypedKind::kDecimal:
    case TypedKind::kText: out += v.text; return;
    case TypedKind::kFloat: out += FloatText(v); return;
    case TypedKind::kMoney: AppendMoneyText(out, v.integer); return;
    case TypedKind::kDateTime: AppendIsoDateTimeText(out, v.time, ' '); return;
    case TypedKind::kBytes:
      out += "0x";
      AppendHexDigits(out, ByteView(v.bytes.data(), v.bytes.size()));
      return;
    case TypedKind::kGuid:
      if (v.bytes.size() == kUniqueIdentifierBytes) {
        char buf[kUniqueIdentifierText];
        out.append(buf, PutUniqueIdentifierText(buf, v.bytes.data()));
      }
      return;
  }
}

std::string ExportText(const TypedValue& v) {
  std::string out;
  AppendExportText(out, v);
  return out;
}

namespace {

// The bytes that make a field quoted.
constexpr bool NeedsQuote(unsigned char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; }

// Non-zero when one of the eight bytes of `w` equals the byte repeated in
// `pattern` (the classic has-zero-byte test on w ^ pattern).
constexpr uint64_t HasByte(uint64_t w, uint64_t pattern) {
  const uint64_t x = w ^ pattern;
  return (x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull;
}

// Whether the text holds a comma, a quote, CR or LF: eight bytes a step.
bool AnyQuoteByte(std::string_view text) {
  constexpr uint64_t kEach = 0x0101010101010101ull;
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, text.data() + i, sizeof w);
    if (HasByte(w, kEach * ',') | HasByte(w, kEach * '"') | HasByte(w, kEach * '\r') |
        HasByte(w, kEach * '\n'))
      return true;
  }
  for (; i < text.size(); ++i)
    if (NeedsQuote(static_cast<unsigned char>(text[i]))) return true;
  return false;
}

}  // namespace

void AppendCsvField(std::string& out, std::string_view text, bool quote_empty) {
  const bool quote = (text.empty() && quote_empty) || AnyQuoteByte(text);
  if (!quote) {
    out.append(text.data(), text.size());
    return;
  }
  // Quotes are doubled: the text between two quotes goes in one piece.
  out.push_back('"');
  size_t from = 0;
  for (size_t at = text.find('"'); at != std::string_view::npos; at = text.find('"', at + 1)) {
    out.append(text.data() + from, at + 1 - from);
    out.push_back('"');
    from = at + 1;
  }
  out.append(text.data() + from, text.size() - from);
  out.push_back('"');
}

void AppendCsvValue(std::string& out, const TypedValue& v) {
  if (v.IsNull()) return;
  if (v.kind == TypedKind::kText) {
    AppendCsvField(out, v.text, true);
    return;
  }
  // Numbers, dates, hex and GUIDs hold no comma, quote or line break.
  AppendExportText(out, v);
}

namespace {

// A row whose fields together may take at most this many bytes is written
// in one piece, straight into the output's room; a longer one (a large
// value) field by field.
constexpr size_t kShortRowBytes = 64 * 1024;

// The most bytes each kind's CSV field takes.
constexpr size_t kMaxIntegerText = 20;  // "-9223372036854775808"

size_t FieldBound(const TypedValue& v) {
  switch (v.kind) {
    case TypedKind::kNull: return 0;
    case TypedKind::kInteger: return kMaxIntegerText;
    case TypedKind::kDecimal: return v.text.size();
    case TypedKind::kFloat: return kMaxFloatText;
    case TypedKind::kMoney: return kMaxMoneyText;
    case TypedKind::kDateTime: return kMaxIsoDateTimeText;
    case TypedKind::kText: return 2 * v.text.size() + 2;  // every byte a quote, in quotes
    case TypedKind::kBytes: return 2 + 2 * v.bytes.size();
    case TypedKind::kGuid: return kUniqueIdentifierText;
  }
  return 0;
}

char* PutText(char* p, std::string_view text) {
  if (!text.empty()) std::memcpy(p, text.data(), text.size());
  return p + text.size();
}

// AppendCsvField written at `p` (room for 2 * size + 2 bytes).
char* PutCsvField(char* p, std::string_view text, bool quote_empty) {
  const bool quote = (text.empty() && quote_empty) || AnyQuoteByte(text);
  if (!quote) return PutText(p, text);
  *p++ = '"';
  size_t from = 0;
  for (size_t at = text.find('"'); at != std::string_view::npos; at = text.find('"', at + 1)) {
    p = PutText(p, text.substr(from, at + 1 - from));
    *p++ = '"';
    from = at + 1;
  }
  p = PutText(p, text.substr(from));
  *p++ = '"';
  return p;
}

// AppendCsvValue written at `p` (room for FieldBound(v) bytes).
char* PutCsvValue(char* p, const TypedValue& v) {
  switch (v.kind) {
    case TypedKind::kNull: return p;
    case TypedKind::kInteger: return std::to_chars(p, p + kMaxIntegerText, v.integer).ptr;
    case TypedKind::kDecimal: return PutText(p, v.text);
    case TypedKind::kFloat: return PutFloatText(p, v);
    case TypedKind::kMoney: return PutMoneyText(p, v.integer);
    case TypedKind::kDateTime: return PutIsoDateTimeText(p, v.time, ' ');
    case TypedKind::kText: return PutCsvField(p, v.text, true);
    case TypedKind::kBytes:
      *p++ = '0';
      *p++ = 'x';
      return PutHexDigits(p, ByteView(v.bytes.data(), v.bytes.size()));
    case TypedKind::kGuid:
      return v.bytes.size() == kUniqueIdentifierBytes ? PutUniqueIdentifierText(p, v.bytes.data())
                                                      : p;
  }
  return p;
}

}  // namespace

void AppendCsvRow(std::string& out, const std::vector<TypedValue>& row) {
  size_t bound = row.size() + 2;  // commas, CR LF
  for (const TypedValue& v : row) bound += FieldBound(v);
  if (bound > kShortRowBytes) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) out.push_back(',');
      AppendCsvValue(out, row[i]);
    }
    out += "\r\n";
    return;
  }
  const size_t start = out.size();
  out.resize(start + bound);
  char* const base = out.data();
  char* p = base + start;
  for (size_t i = 0; i < row.size(); ++i) {
    if (i) *p++ = ',';
    p = PutCsvValue(p, row[i]);
  }
  *p++ = '\r';
  *p++ = '\n';
  out.resize(static_cast<size_t>(p - base));
}

const TextForm& CsvTextForm() {
  static const TextForm form = [] {
    TextForm f;
    f.separator = ",";
    f.rowEnd = "\r\n";
    f.putText = [](char* at, std::string_view text, bool) { return PutCsvField(at, text, true); };
    f.appendValue = [](std::string& out, const ColumnInfo&, const TypedValue& v) {
      AppendCsvValue(out, v);
    };
    return f;
  }();
  return form;
}

void AppendCsvHeader(std::string& out, const std::vector<std::string>& names) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) out.push_back(',');
    AppendCsvField(out, names[i], true);
  }
  out += "\r\n";
}

}  // namespace tollamer
