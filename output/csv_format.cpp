#include "output/csv_format.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "engine/values/number_text.h"
#include "engine/values/value_format.h"
#include "output/quotes_doubled.h"
#include "platform/utf16_put.h"

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

// `size` bytes copied by a few stores that may overlap (no call for the
// short texts of most fields); the two ranges do not overlap.
void CopyShort(char* to, const char* from, size_t size) {
  if (size >= 16) {
#if defined(__SSE2__) || defined(_M_X64)
    size_t i = 0;
    for (; i + 16 <= size; i += 16)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
    if (i < size)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + size - 16),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + size - 16)));
#else
    std::memcpy(to, from, size);
#endif
    return;
  }
  const auto pair = [&](auto word) {
    constexpr size_t n = sizeof word;
    decltype(word) last;
    std::memcpy(&word, from, n);
    std::memcpy(&last, from + size - n, n);
    std::memcpy(to, &word, n);
    std::memcpy(to + size - n, &last, n);
  };
  if (size >= 8) return pair(uint64_t{});
  if (size >= 4) return pair(uint32_t{});
  if (size >= 2) return pair(uint16_t{});
  if (size == 1) *to = *from;
}

// The lowest set high bit of a HasByte-style mask marks the first match
// exactly (a borrow reaches only the bytes above a match).
constexpr uint64_t QuoteBytesIn(uint64_t w) {
  constexpr uint64_t kEach = 0x0101010101010101ull;
  return HasByte(w, kEach * ',') | HasByte(w, kEach * '"') | HasByte(w, kEach * '\r') |
         HasByte(w, kEach * '\n');
}

// What a look over a field's text found.
struct FieldScan {
  size_t firstQuote;  // the first byte that makes the field quoted (size: none)
  bool nonAscii;      // a byte of 0x80 or more
};

// The text looked over once, sixteen bytes a step (the last step
// overlapping the one before), for the bytes that make the field quoted
// and for bytes past ASCII.
FieldScan ScanField(const char* in, size_t size) {
  size_t quote = size;
#if defined(__SSE2__) || defined(_M_X64)
  if (size >= 16) {
    const __m128i comma = _mm_set1_epi8(','), dquote = _mm_set1_epi8('"');
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    int high = 0;
    const auto look = [&](size_t at) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
      const __m128i hit =
          _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, comma), _mm_cmpeq_epi8(v, dquote)),
                       _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
      const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
      high |= _mm_movemask_epi8(v);
      // None before `at` (the overlap was looked at with no match).
      if (mask != 0 && quote == size) quote = at + static_cast<size_t>(std::countr_zero(mask));
    };
    size_t i = 0;
    for (; i + 16 <= size; i += 16) look(i);
    if (i < size) look(size - 16);
    return {quote, high != 0};
  }
#endif
  if (size >= 8) {
    uint64_t first, last;
    std::memcpy(&first, in, sizeof first);
    std::memcpy(&last, in + size - 8, sizeof last);
    const uint64_t a = QuoteBytesIn(first), b = QuoteBytesIn(last);
    if (a != 0)
      quote = static_cast<size_t>(std::countr_zero(a)) / 8;
    else if (b != 0)
      quote = size - 8 + static_cast<size_t>(std::countr_zero(b)) / 8;
    return {quote, ((first | last) & 0x8080808080808080ull) != 0};
  }
  bool high = false;
  for (size_t i = 0; i < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    high |= c >= 0x80;
    if (kQuoteBytes[c] && quote == size) quote = i;
  }
  return {quote, high};
}

// The field of `text` at `p` (room for 2 * size + 2 bytes), the first byte
// that makes it quoted at `quote` (size: none): copied whole, or in quotes
// with its quotes doubled.
char* PutScannedField(char* p, const char* in, size_t size, size_t quote) {
  if (size == 0) {
    *p++ = '"';
    *p++ = '"';
    return p;
  }
  if (quote == size) {
    CopyShort(p, in, size);
    return p + size;
  }
  *p++ = '"';
#if defined(__SSE2__) || defined(_M_X64)
  if (size >= 16 && size <= 64) {
    // The quotes' places as bits, then the runs between them copied whole.
    const __m128i dq = _mm_set1_epi8('"');
    const auto quotes_at = [&](size_t at) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
      return uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, dq)))} << at;
    };
    uint64_t quotes = 0;
    size_t at = 0;
    for (; at + 16 <= size; at += 16) quotes |= quotes_at(at);
    if (at < size) quotes |= quotes_at(size - 16);
    size_t from = 0;
    for (; quotes != 0; quotes &= quotes - 1) {
      const size_t to = static_cast<size_t>(std::countr_zero(quotes)) + 1;
      CopyShort(p, in + from, to - from);
      p += to - from;
      *p++ = '"';
      from = to;
    }
    CopyShort(p, in + from, size - from);
    p += size - from;
    *p++ = '"';
    return p;
  }
#endif
  CopyShort(p, in, quote);
  unsigned high = 0;  // known from the scan
  p = PutQuotesDoubled(p + quote, in + quote, size - quote, '"', high);
  *p++ = '"';
  return p;
}

// AppendCsvField written at `p` (room for 2 * size + 2 bytes), the text
// looked over once before it is copied.
char* PutCsvField(char* p, std::string_view text, bool quote_empty) {
  if (text.empty()) return quote_empty ? PutScannedField(p, text.data(), 0, 0) : p;
  const FieldScan scan = ScanField(text.data(), text.size());
  return PutScannedField(p, text.data(), text.size(), scan.firstQuote);
}

// 8-bit text as its field when all of it is ASCII; null when it is not.
char* PutCsvAscii(char* p, std::string_view text) {
  const FieldScan scan = ScanField(text.data(), text.size());
  if (scan.nonAscii) return nullptr;
  return PutScannedField(p, text.data(), text.size(), scan.firstQuote);
}

// Non-zero when one of the four UTF-16 units of `w` equals `unit`.
constexpr uint64_t HasUnit(uint64_t w, uint16_t unit) {
  const uint64_t x = w ^ (0x0001000100010001ull * unit);
  return (x - 0x0001000100010001ull) & ~x & 0x8000800080008000ull;
}

// Whether a unit of the UTF-16LE text is a comma, a quote, CR or LF:
// eight units a step, the last step overlapping the one before.
bool AnyQuoteUnit(const uint8_t* in, size_t units) {
#if defined(__SSE2__) || defined(_M_X64)
  if (units >= 8) {
    const __m128i comma = _mm_set1_epi16(','), dquote = _mm_set1_epi16('"');
    const __m128i cr = _mm_set1_epi16('\r'), lf = _mm_set1_epi16('\n');
    const auto hit = [&](size_t at) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * at));
      return _mm_movemask_epi8(_mm_or_si128(
                 _mm_or_si128(_mm_cmpeq_epi16(v, comma), _mm_cmpeq_epi16(v, dquote)),
                 _mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)))) != 0;
    };
    size_t i = 0;
    for (; i + 8 <= units; i += 8)
      if (hit(i)) return true;
    return i < units && hit(units - 8);
  }
#endif
  if (units >= 4) {
    uint64_t first, last;
    std::memcpy(&first, in, sizeof first);
    std::memcpy(&last, in + 2 * (units - 4), sizeof last);
    for (const uint64_t w : {first, last})
      if (HasUnit(w, ',') | HasUnit(w, '"') | HasUnit(w, '\r') | HasUnit(w, '\n')) return true;
    return false;
  }
  for (size_t i = 0; i < units; ++i)
    if (in[2 * i + 1] == 0 && kQuoteBytes[in[2 * i]]) return true;
  return false;
}

// UTF-16LE text as its field, converted as it is written (room for
// 3 * units + 2 bytes).
char* PutCsvWide(char* p, const uint8_t* in, size_t units) {
  if (units == 0 || AnyQuoteUnit(in, units)) {
    *p++ = '"';
    p = platform::PutUtf16LeAsUtf8(p, in, units, '"');
    *p++ = '"';
    return p;
  }
  return platform::PutUtf16LeAsUtf8(p, in, units);
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
    f.putAscii = PutCsvAscii;
    f.putWide = [](char* at, const uint8_t* utf16, size_t units, bool) {
      return PutCsvWide(at, utf16, units);
    };
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
