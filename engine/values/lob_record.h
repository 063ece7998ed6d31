// Locating a large-value record on a text page, shared by the large-value
// readers. Internal to the values library.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "engine/pagestore/page.h"
#include "engine/pagestore/page_store.h"

namespace tollamer {

// A repaired page and the offset its slot array gives for one slot. The
// offset is as stored: callers apply their own range rules.
struct LobRecord {
  Page page;
  uint16_t offset = 0;

  ByteView PageView() const { return page.view(); }
  // The bytes from the record start to the page end.
  ByteView Bytes() const { return page.view().From(offset); }
  // Whether the page is a text page (header version 1, type 3 or 4): the
  // only pages large-value records lie on. Another page (zeroed, or
  // overwritten by a page of another kind) holds no part of the value.
  bool OnTextPage() const;
};

// Nothing when the page (a page key, page_address.h) cannot be read whole
// or its slot array has no entry for `slot` inside the page.
std::optional<LobRecord> LocateLobRecord(const PageStore& store, uint64_t page, uint16_t slot);

// The records visited while one value is read, so that links that loop end.
class LobVisits {
 public:
  // True the first time (page, slot) is seen.
  bool First(uint64_t page, uint16_t slot) { return seen_.insert({page, slot}).second; }

 private:
  std::set<std::pair<uint64_t, uint16_t>> seen_;
};

// Appends `data` as stored, or converted from UTF-16 when `unicode`.
void AppendLobData(ByteView data, bool unicode, std::string& value);

}  // namespace tollamer
