#include "output/csv_format.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

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

// The bytes that make a field quoted, as a table.
constexpr std::array<bool, 256> kQuoteBytes = [] {
  std::array<bool, 256> table{};
  for (unsigned char c : {',', '"', '\r', '\n'}) table[c] = true;
  return table;
}();

// AppendCsvField written at `p` (room for 2 * size + 2 bytes) in one pass:
// the text is copied as it is until a byte that needs quotes; then what
// was copied moves one place for the opening quote and the rest follows
// with its quotes doubled.
char* PutCsvField(char* p, std::string_view text, bool quote_empty) {
  if (text.empty()) {
    if (quote_empty) {
      *p++ = '"';
      *p++ = '"';
    }
    return p;
  }
  const char* in = text.data();
  const size_t size = text.size();
  size_t i = 0;
#if defined(__SSE2__) || defined(_M_X64)
  // Sixteen bytes a step, each step stored before the next is looked at.
  const __m128i comma = _mm_set1_epi8(','), quote = _mm_set1_epi8('"');
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
  for (; i + 16 <= size; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, comma), _mm_cmpeq_epi8(v, quote)),
                                     _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
    if (_mm_movemask_epi8(hit) != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), v);
  }
#endif
  for (; i < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    if (kQuoteBytes[c]) break;
    p[i] = static_cast<char>(c);
  }
  if (i == size) return p + size;
  std::memmove(p + 1, p, i);
  *p = '"';
  p += 1 + i;
  for (; i < size; ++i) {
    if (in[i] == '"') *p++ = '"';
    *p++ = in[i];
  }
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
