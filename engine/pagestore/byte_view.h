// A bounds-checked, non-owning view of bytes read from a file. Every
// accessor answers "nothing" rather than reading past the end, so a damaged
// offset in a page can never reach memory outside it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>

namespace tollamer {

class ByteView {
 public:
  ByteView() = default;
  ByteView(std::span<const uint8_t> bytes) : bytes_(bytes) {}  // NOLINT: implicit by design
  ByteView(const uint8_t* data, size_t size) : bytes_(data, size) {}
  // Any contiguous byte container (std::vector, std::array).
  template <typename Container>
    requires std::is_convertible_v<const Container&, std::span<const uint8_t>>
  ByteView(const Container& bytes) : bytes_(bytes) {}  // NOLINT: implicit by design

  size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  const uint8_t* data() const { return bytes_.data(); }
  std::span<const uint8_t> span() const { return bytes_; }

  // True when [offset, offset + length) lies inside the view.
  bool Contains(size_t offset, size_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }

  // The sub-range [offset, offset + length), or nothing when it does not fit.
  std::optional<ByteView> Slice(size_t offset, size_t length) const {
    if (!Contains(offset, length)) return std::nullopt;
    return ByteView(bytes_.subspan(offset, length));
  }

  // The bytes from `offset` to the end (empty when offset is past the end).
  ByteView From(size_t offset) const {
    if (offset >= bytes_.size()) return {};
    return ByteView(bytes_.subspan(offset));
  }

  // Little-endian integer of type T at `offset`.
  template <typename T>
  std::optional<T> Le(size_t offset) const {
    static_assert(std::is_integral_v<T>);
    if (!Contains(offset, sizeof(T))) return std::nullopt;
    std::make_unsigned_t<T> value = 0;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&value, bytes_.data() + offset, sizeof(T));  // one load
    } else {
      for (size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<std::make_unsigned_t<T>>(bytes_[offset + i]) << (8 * i);
    }
    return static_cast<T>(value);
  }

  std::optional<uint8_t> U8(size_t offset) const { return Le<uint8_t>(offset); }
  std::optional<uint16_t> U16(size_t offset) const { return Le<uint16_t>(offset); }
  std::optional<uint32_t> U32(size_t offset) const { return Le<uint32_t>(offset); }
  std::optional<uint64_t> U64(size_t offset) const { return Le<uint64_t>(offset); }
  std::optional<int16_t> I16(size_t offset) const { return Le<int16_t>(offset); }
  std::optional<int32_t> I32(size_t offset) const { return Le<int32_t>(offset); }
  std::optional<int64_t> I64(size_t offset) const { return Le<int64_t>(offset); }

  // Reads where the caller has already checked the range and a default of 0
  // for an out-of-range field is the right answer (header fields of a page
  // known to hold 96 bytes, for example).
  template <typename T>
  T LeOr(size_t offset, T fallback = 0) const {
    return Le<T>(offset).value_or(fallback);
  }

  bool AllZero(size_t offset, size_t length) const {
    if (!Contains(offset, length)) return false;
    for (size_t i = 0; i < length; ++i)
      if (bytes_[offset + i] != 0) return false;
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
};

}  // namespace tollamer
