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
  Page() : bytes_(std::make_unique<Bytes>()) { bytes_->fill(0); }
  explicit Page(std::span<const uint8_t> source) : Page() {
    std::copy_n(source.begin(), std::min(source.size(), bytes_->size()), bytes_->begin());
  }
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
  using Bytes = std::array<uint8_t, page_layout::kPageSize>;
  std::unique_ptr<Bytes> bytes_;
};

}  // namespace tollamer
