// Whether a page is as the server wrote it: its checksum or its torn-page
// bits, whichever m_flagBits says it carries (page_layout.h).
//
//   FLAG    FIELD CHECKED           RULE
//   0x0200  m_tornBits (0x3C, 4)    the page checksum: for each sector
//           holds the checksum      s = 0..15, the XOR of its 128 little-endian
//                                   32-bit words, the checksum field itself
//                                   taken as zero, rotated left by 15 - s
//                                   bits; the 16 results XORed together
//   0x0100  m_tornBits bits 0-1     the write pattern (01 or 10) the server
//           hold the write pattern  put in the two low bits of the last byte
//                                   of every sector 1..15 (their own bits are
//                                   kept in m_tornBits, see torn_page.h); a
//                                   sector showing another pattern was not
//                                   written with the rest of the page
//
// Only a page whose header version is 1 and whose type is a known one is
// judged: bytes that are no page header at all (never written, or
// overwritten) carry no claim to check.
// Pages with neither flag (written before 2005, or with verification off)
// carry nothing to check.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

#include "engine/pagestore/byte_view.h"

namespace tollamer {

enum class PageCheck : uint8_t {
  kUnprotected,    // no checksum and no torn bits to check
  kGood,           // the checksum or the torn bits agree with the bytes
  kChecksumFails,  // the stored checksum is not the one the bytes give
  kTorn,           // a sector's torn bits differ from the write pattern
};

// The checksum the page's bytes give (the checksum field taken as zero);
// nothing when fewer than a page of bytes are given.
std::optional<uint32_t> PageChecksum(ByteView page);

// `raw_page` as stored, before the torn bits are repaired.
PageCheck CheckPage(ByteView raw_page);

// "fails its checksum", "torn" (a failing verdict's words for messages).
const char* PageCheckText(PageCheck check);

// The pages that failed their check while the file was read, each once.
// Safe to note from several threads; asking costs nothing while none failed.
class PageCheckFailures {
 public:
  void Note(uint64_t page_number, PageCheck check);
  // The failing verdict of a page noted before, kGood when none was noted.
  PageCheck Of(uint64_t page_number) const;
  std::map<uint64_t, PageCheck> Pages() const;
  size_t Count(PageCheck check) const;
  void Clear();

 private:
  std::atomic<bool> any_{false};
  mutable std::mutex mutex_;
  std::map<uint64_t, PageCheck> pages_;
};

}  // namespace tollamer
