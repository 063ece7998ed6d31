// One 8192-byte page, owned by value. Every read hands out its own copy.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/page_layout.h"

namespace tollamer {

class Page {
 public:
  Page() : bytes_(std::make_unique_for_overwrite<Bytes>()) { bytes_->fill(0); }
  // The source's bytes, zeros after them when it is shorter than a page.
  explicit Page(std::span<const uint8_t> source) : bytes_(std::make_unique_for_overwrite<Bytes>()) {
    size_t n = std::min(source.size(), bytes_->size());
    std::copy_n(source.begin(), n, bytes_->begin());
    std::fill(bytes_->begin() + n, bytes_->end(), uint8_t{0});
  }
  // A page whose bytes are to be written in full before they are read.
  static Page ForOverwrite() { return Page(Uninitialized{}); }
  Page(const Page& other) : bytes_(std::make_unique<Bytes>(*other.bytes_)) {}
  Page& operator=(const Page& other) {
    *bytes_ = *other.bytes_;
    return *this;
  }
  Page(Page&&) noexcept = default;
  Page& operator=(Page&&) noexcept = default;

  ByteView view() const { return ByteView(bytes_->data(), bytes_->size()); }
  std::span<uint8_t> bytes() { return {bytes_->data(), bytes_->size()}; }
  std::span<const uint8_t> bytes() const { return {bytes_->data(), bytes_->size()}; }

 private:
  struct Uninitialized {};
  explicit Page(Uninitialized) : bytes_(std::make_unique_for_overwrite<Bytes>()) {}
  using Bytes = std::array<uint8_t, page_layout::kPageSize>;
  std::unique_ptr<Bytes> bytes_;
};

}  // namespace tollamer
