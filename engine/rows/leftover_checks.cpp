#include "engine/rows/leftover_checks.h"

#include <cmath>
#include <cstring>

#include "engine/catalog/catalog_model.h"
#include "engine/values/value_format.h"

namespace tollamer {

namespace {

namespace vt = value_type;

constexpr int32_t kFirstDateTimeDay = -53690;   // 1753-01-01 from 1900-01-01
constexpr int32_t kLastDateTimeDay = 2958463;   // 9999-12-31 from 1900-01-01
constexpr uint32_t kTicksPerDay = 300u * 86400u;
constexpr uint16_t kMinutesPerDay = 1440;
constexpr uint32_t kLastDate = 3652058;  // 9999-12-31 from 0001-01-01
constexpr int16_t kMaxZoneMinutes = 840;
constexpr uint8_t kMaxScale = 7;
constexpr size_t kTextPointerBytes = 16;
// Smallest in-row pointer of an off-row value (a LOB root or row-overflow
// pointer), and the most a variable column can hold in row.
constexpr size_t kMinOffRowPointer = 16;
constexpr size_t kMaxInRowBytes = 8000;

uint64_t Le(ByteView v, size_t offset, size_t width) {
  uint64_t n = 0;
  for (size_t i = 0; i < width; ++i) n |= uint64_t{v.LeOr<uint8_t>(offset + i)} << (8 * i);
  return n;
}

uint64_t UnitsPerDay(uint8_t scale) {
  uint64_t n = 86400;
  for (uint8_t i = 0; i < std::min(scale, kMaxScale); ++i) n *= 10;
  return n;
}

// The stored bytes of a time part: 3 up to scale 2, 4 up to 4, else 5.
size_t TimeBytes(uint8_t scale) { return scale <= 2 ? 3 : scale <= 4 ? 4 : 5; }

bool NoNul(ByteView v) { return std::memchr(v.data(), 0, v.size()) == nullptr; }

bool Utf16WellFormed(ByteView v) {
  if (v.size() % 2 != 0) return false;
  for (size_t i = 0; i < v.size(); i += 2) {
    const uint16_t u = v.LeOr<uint16_t>(i);
    if (u == 0) return false;
    if (u >= 0xD800 && u <= 0xDBFF) {  // a high surrogate needs a low one next
      if (i + 2 >= v.size()) return false;
      const uint16_t low = v.LeOr<uint16_t>(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      i += 2;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

bool DecimalValid(ByteView v, uint8_t precision) {
  if (v.empty() || v.data()[0] > 1) return false;
  unsigned __int128 magnitude = 0;
  for (size_t i = v.size(); i > 1; --i) magnitude = (magnitude << 8) | v.data()[i - 1];
  unsigned __int128 limit = 1;
  for (uint8_t i = 0; i < precision && i < 38; ++i) limit *= 10;
  return magnitude < limit;
}

bool NewDateTimeValid(uint8_t xtype, ByteView v, uint8_t scale) {
  if (xtype == vt::kDate) return Le(v, 0, 3) <= kLastDate;
  const size_t time_bytes = TimeBytes(scale);
  if (v.size() < time_bytes) return false;
  if (Le(v, 0, time_bytes) >= UnitsPerDay(scale)) return false;
  if (xtype == vt::kTime) return true;
  if (v.size() < time_bytes + 3 || Le(v, time_bytes, 3) > kLastDate) return false;
  if (xtype != vt::kDateTimeOffset) return true;
  const int16_t zone = v.LeOr<int16_t>(time_bytes + 3);
  return zone >= -kMaxZoneMinutes && zone <= kMaxZoneMinutes;
}

bool IsNotNull(const ColumnInfo& c) { return c.nullText.find("NOT") != std::string::npos; }

}  // namespace

bool FixedValueValid(const ColumnInfo& c, ByteView v) {
  switch (c.xtype) {
    case vt::kDateTime: {
      if (v.size() < 8) return false;
      const int32_t days = v.LeOr<int32_t>(4);
      return v.LeOr<uint32_t>(0) < kTicksPerDay && days >= kFirstDateTimeDay &&
             days <= kLastDateTimeDay;
    }
    case vt::kSmallDateTime: return v.size() >= 4 && v.LeOr<uint16_t>(0) < kMinutesPerDay;
    case vt::kDate:
    case vt::kTime:
    case vt::kDateTime2:
    case vt::kDateTimeOffset: return NewDateTimeValid(c.xtype, v, c.xscale);
    case vt::kDecimal:
    case vt::kNumeric: return DecimalValid(v, c.xprec);
    case vt::kReal: {
      float f = 0;
      if (v.size() < sizeof f) return false;
      std::memcpy(&f, v.data(), sizeof f);
      return std::isfinite(f);
    }
    case vt::kFloat: {
      double d = 0;
      if (v.size() < sizeof d) return false;
      std::memcpy(&d, v.data(), sizeof d);
      return std::isfinite(d);
    }
    case vt::kChar: return NoNul(v);
    case vt::kNChar: return Utf16WellFormed(v);
    default: return true;
  }
}

bool VariableValueValid(const ColumnInfo& c, ByteView v, bool complex, bool off_row_values) {
  const bool max_type = c.length == kMaxLength;
  switch (c.xtype) {
    case vt::kText:
    case vt::kNText:
    case vt::kImage: return v.size() == kTextPointerBytes;
    default: break;
  }
  if (complex) {
    // SQL 7.0/2000 rows keep no values off the row.
    if (!off_row_values) return false;
    return v.size() >= kMinOffRowPointer && v.size() <= kMaxInRowBytes;
  }
  if (!max_type && v.size() > c.length) return false;
  switch (c.xtype) {
    case vt::kVarChar: return NoNul(v);
    case vt::kNVarChar: return Utf16WellFormed(v);
    default: return true;
  }
}

bool LeftoverCellsValid(const std::vector<ColumnPlan>& plan, ByteView record,
                        const std::vector<CellLocation>& cells, bool off_row_values) {
  for (size_t i = 0; i < cells.size() && i < plan.size(); ++i) {
    const ColumnInfo& c = *plan[i].column;
    const CellLocation& cell = cells[i];
    switch (cell.kind) {
      case CellKind::kNull:
        if (plan[i].place != ColumnPlace::kComputed && IsNotNull(c)) return false;
        break;
      case CellKind::kNotStored:
      case CellKind::kBit: break;
      case CellKind::kFixed: {
        std::optional<ByteView> v = record.Slice(cell.offset, c.length);
        if (!v || !FixedValueValid(c, *v)) return false;
        break;
      }
      case CellKind::kVariable: {
        std::optional<ByteView> v = record.Slice(cell.offset, cell.length);
        if (!v || !VariableValueValid(c, *v, cell.complex, off_row_values)) return false;
        break;
      }
    }
  }
  return true;
}

}  // namespace tollamer
