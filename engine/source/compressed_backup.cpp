#include "engine/source/compressed_backup.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <thread>

#include "engine/source/compressed_backup_layout.h"
#include "engine/source/xpress_huffman.h"

namespace tollamer {

using namespace compressed_backup;

namespace {

// A correct block's reader stops within a word or two of its stored end;
// more bytes left over mean the stored bytes say more than the block holds.
constexpr size_t kMaxTrailingInput = 4;
constexpr size_t kCacheBlocks = 16;
constexpr size_t kWindowBytes = 64 * 1024;
// Reads of more whole blocks than this decode them on several threads.
constexpr size_t kParallelBlocks = 32;
constexpr unsigned kMaxDecodeThreads = 4;

unsigned DecodeThreads() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMaxDecodeThreads);
}

// work(0) ... work(count - 1) shared among `threads` threads, this one
// among them.
void InParallel(size_t count, unsigned threads, const std::function<void(size_t)>& work) {
  threads = static_cast<unsigned>(std::min<size_t>(threads, count));
  auto share = [&](unsigned first) {
    for (size_t k = first; k < count; k += threads) work(k);
  };
  std::vector<std::thread> helpers;
  for (unsigned t = 1; t < threads; ++t) helpers.emplace_back(share, t);
  share(0);
  for (std::thread& helper : helpers) helper.join();
}

constexpr uint8_t kZstdMagic[4] = {0x28, 0xB5, 0x2F, 0xFD};
constexpr uint8_t kGzipMagic[2] = {0x1F, 0x8B};

struct Record {
  RecordTag tag = RecordTag::kPadding;
  unsigned units = 0;
  uint32_t bodyLength = 0;
  uint32_t check = 0;
  uint64_t next = 0;  // where the record after it starts
  bool filemark = false;
};

uint64_t RoundUp(uint64_t at) { return (at + kAlignment - 1) / kAlignment * kAlignment; }

// Reads the file through a window of kWindowBytes, so that walking headers
// and searching for one costs a read per window rather than per position.
class Window {
 public:
  explicit Window(const platform::ReadOnlyFile& file) : file_(file), length_(file.Length()) {}
  uint64_t FileLength() const { return length_; }
  // `count` bytes at `at`, or nothing past the end of the file.
  const uint8_t* Bytes(uint64_t at, size_t count) {
    if (at > length_ || count > length_ - at || count > kWindowBytes) return nullptr;
    if (at < start_ || at + count > start_ + size_) {
      start_ = at;
      size_ = file_.ReadAt(at, bytes_);
      if (size_ < count) return nullptr;
    }
    return bytes_.data() + (at - start_);
  }

 private:
  const platform::ReadOnlyFile& file_;
  uint64_t length_;
  std::array<uint8_t, kWindowBytes> bytes_{};
  uint64_t start_ = 0;
  size_t size_ = 0;
};

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The record (or filemark) starting at `at`, when its header makes sense and
// it fits in the file.
std::optional<Record> RecordAt(Window& window, uint64_t at) {
  const uint64_t length = window.FileLength();
  if (at % kAlignment == 0) {
    const uint8_t* magic = window.Bytes(at, sizeof kFilemarkMagic);
    if (magic && std::memcmp(magic, kFilemarkMagic, sizeof kFilemarkMagic) == 0) {
      if (length - at < kFilemarkSize) return std::nullopt;
      Record r;
      r.filemark = true;
      r.next = at + kFilemarkSize;
      return r;
    }
  }
  const uint8_t* h = window.Bytes(at, kHeaderSize);
  if (!h) return std::nullopt;
  Record r;
  r.tag = static_cast<RecordTag>(h[kTag]);
  r.units = h[kUnits];
  r.bodyLength = static_cast<uint32_t>(h[kLength] | h[kLength + 1] << 8);
  const uint64_t body = at + kHeaderSize;
  switch (r.tag) {
    case RecordTag::kBlock: {
      if (r.units == 0 || r.units > kMaxUnits || r.bodyLength == 0) return std::nullopt;
      const uint8_t* check = window.Bytes(body, kCheckSize);
      if (!check || length - body - kCheckSize < r.bodyLength) return std::nullopt;
      r.check = Le32(check);
      r.next = body + kCheckSize + r.bodyLength;
      return r;
    }
    case RecordTag::kPadding:
      r.next = body + r.bodyLength;
      if (r.units != 0 || r.next > length || r.next % kAlignment != 0 ||
          r.bodyLength >= kAlignment)
        return std::nullopt;
      return r;
    case RecordTag::kChainEnd:
      if (r.units != 0 || r.bodyLength != 0) return std::nullopt;
      r.next = std::min(RoundUp(body), length);
      return r;
  }
  return std::nullopt;
}

// A record is taken when its header makes sense and so does the one after it
// (or the file ends there): the check that keeps a search from stopping on
// bytes of compressed data that happen to look like a header.
std::optional<Record> ConfirmedRecordAt(Window& window, uint64_t at) {
  std::optional<Record> r = RecordAt(window, at);
  if (!r || r->filemark) return r;
  if (r->next >= window.FileLength() || RecordAt(window, r->next)) return r;
  return std::nullopt;
}


// A block record at `at` whose stored bytes hold its check, followed by
// another such block: bytes of another kind of file match a check of 32
// bits by chance once in four billion.
bool CheckedBlocksAt(const platform::ReadOnlyFile& file, Window& window, uint64_t at) {
  for (int k = 0; k < 2; ++k) {
    std::optional<Record> r = RecordAt(window, at);
    if (!r || r->filemark || r->tag != RecordTag::kBlock) return false;
    std::vector<uint8_t> stored(r->bodyLength);
    if (file.ReadAt(at + kHeaderSize + kCheckSize, stored) != stored.size() ||
        BlockCheck(stored) != r->check)
      return false;
    at = r->next;
  }
  return true;
}

bool HasMagic(const platform::ReadOnlyFile& file) {
  uint8_t magic[sizeof kMagic] = {};
  return file.ReadAt(0, magic) == sizeof magic && std::memcmp(magic, kMagic, sizeof magic) == 0;
}

// A file that begins as a data file or as a backup in the clear is no
// compressed backup that lost its head.
bool BeginsAsAnotherFile(const platform::ReadOnlyFile& file) {
  uint8_t head[sizeof kTapeMagic] = {};
  if (file.ReadAt(0, head) != sizeof head) return true;
  return std::memcmp(head, kTapeMagic, sizeof kTapeMagic) == 0 ||
         std::memcmp(head, kDataFileStart, sizeof kDataFileStart) == 0;
}

}  // namespace

bool HasCompressedBackupHead(const platform::ReadOnlyFile& file) {
  if (HasMagic(file)) return true;
  // A damaged head: the chain of records that follows it says what the
  // file is.
  Window window(file);
  std::optional<Record> first = ConfirmedRecordAt(window, kFirstRecord);
  if (first && first->tag == RecordTag::kBlock) return true;
  // The head lost with the start of the file: a chain of checked blocks
  // begins within the bytes of one block from its start.
  if (BeginsAsAnotherFile(file)) return false;
  const uint64_t end = std::min<uint64_t>(file.Length(), kHeadlessSearch);
  for (uint64_t at = 0; at < end; ++at)
    if (ConfirmedRecordAt(window, at) && CheckedBlocksAt(file, window, at)) return true;
  return false;
}

CompressedBackupIndex IndexCompressedBackup(const platform::ReadOnlyFile& file) {
  CompressedBackupIndex index;
  Window window(file);
  const uint64_t length = file.Length();
  // Without its head, the file is searched for its first record from byte 0.
  uint64_t at = HasMagic(file) || ConfirmedRecordAt(window, kFirstRecord) ? kFirstRecord : 0;
  while (at < length) {
    std::optional<Record> r = RecordAt(window, at);
    if (!r) {
      // The chain is lost here: search on for the next record that makes
      // sense. Every position is tried once, so the walk stays linear.
      const uint64_t lost = at;
      while (++at < length && !ConfirmedRecordAt(window, at)) {
      }
      ++index.gaps;
      index.gapBytes += at - lost;
      continue;
    }
    if (r->filemark) {
      index.pieces.push_back({index.streamLength, at, static_cast<uint32_t>(kFilemarkSize),
                              static_cast<uint32_t>(kFilemarkSize), 0, false});
      index.streamLength += kFilemarkSize;
    } else if (r->tag == RecordTag::kBlock) {
      const uint32_t decoded = r->units * static_cast<uint32_t>(kUnitBytes);
      index.pieces.push_back({index.streamLength, at + kHeaderSize + kCheckSize, r->bodyLength,
                              decoded, r->check, true});
      index.streamLength += decoded;
      ++index.blocks;
    }
    at = r->next;
  }
  return index;
}

uint32_t BlockCheck(std::span<const uint8_t> stored) {
  uint32_t check = 0;
  size_t i = 0;
  // Four words a step: a rotation spreads over XOR, so the chain of four
  // steps is rotl(check, 4) ^ rotl(w0, 3) ^ rotl(w1, 2) ^ rotl(w2, 1) ^ w3.
  for (; i + 16 <= stored.size(); i += 16) {
    const uint8_t* w = stored.data() + i;
    check = std::rotl(check, 4) ^ std::rotl(Le32(w), 3) ^ std::rotl(Le32(w + 4), 2) ^
            std::rotl(Le32(w + 8), 1) ^ Le32(w + 12);
  }
  for (; i + 4 <= stored.size(); i += 4) check = std::rotl(check, 1) ^ Le32(stored.data() + i);
  if (i < stored.size()) {
    uint8_t last[4] = {};
    std::memcpy(last, stored.data() + i, stored.size() - i);
    check = std::rotl(check, 1) ^ Le32(last);
  }
  return check;
}

namespace {

// The stored bytes of the first `count` compressed blocks (fewer when the
// file has fewer), each empty when it cannot be read.
std::vector<std::pair<const StreamPiece*, std::vector<uint8_t>>> FirstBlocks(
    const platform::ReadOnlyFile& file, const std::vector<StreamPiece>& pieces, size_t count) {
  std::vector<std::pair<const StreamPiece*, std::vector<uint8_t>>> blocks;
  for (const StreamPiece& p : pieces) {
    if (!p.compressed) continue;
    if (blocks.size() == count) break;
    std::vector<uint8_t> stored(p.storedLength);
    if (file.ReadAt(p.fileOffset, stored) != stored.size()) stored.clear();
    blocks.emplace_back(&p, std::move(stored));
  }
  return blocks;
}

}  // namespace

BlockEncoding ProbeBlockEncoding(const platform::ReadOnlyFile& file,
                                 const CompressedBackupIndex& index) {
  const auto blocks = FirstBlocks(file, index.pieces, kProbedBlocks);
  if (blocks.empty()) return BlockEncoding::kNoBlocks;
  for (const auto& [piece, stored] : blocks) {
    std::vector<uint8_t> decoded(piece->length);
    if (!stored.empty() && DecodeXpressHuffman(stored, decoded) == XpressStatus::kOk)
      return BlockEncoding::kXpress;
  }
  const std::vector<uint8_t>& stored = blocks.front().second;
  if (stored.size() >= sizeof kZstdMagic && std::memcmp(stored.data(), kZstdMagic, sizeof kZstdMagic) == 0)
    return BlockEncoding::kZstd;
  if (stored.size() >= sizeof kGzipMagic && std::memcmp(stored.data(), kGzipMagic, sizeof kGzipMagic) == 0)
    return BlockEncoding::kGzip;
  return BlockEncoding::kUnknown;
}

DecodedBackupFile::DecodedBackupFile(std::unique_ptr<platform::ReadOnlyFile> file,
                                     CompressedBackupIndex index)
    : file_(std::move(file)),
      index_(std::move(index)),
      checked_(std::make_unique<std::atomic<bool>[]>(index_.pieces.size())) {
  // Whether this writer's checks are the rotate-and-XOR one: decided once,
  // on the first blocks (one of them may be damaged), so that a writer
  // using those bytes otherwise does not have every block judged damaged.
  for (const auto& [piece, stored] : FirstBlocks(*file_, index_.pieces, kProbedBlocks))
    checksHold_ = checksHold_ || (!stored.empty() && BlockCheck(stored) == piece->check);
}

size_t DecodedBackupFile::PieceAt(uint64_t offset) const {
  auto it = std::upper_bound(index_.pieces.begin(), index_.pieces.end(), offset,
                             [](uint64_t o, const StreamPiece& p) { return o < p.streamOffset; });
  return static_cast<size_t>(it - index_.pieces.begin()) - 1;
}

size_t DecodedBackupFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
  if (offset >= index_.streamLength || index_.pieces.empty()) return 0;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(out.size(), index_.streamLength - offset));
  struct Whole {
    size_t piece;
    std::span<uint8_t> out;
  };
  std::vector<Whole> whole;
  size_t done = 0;
  for (size_t i = PieceAt(offset); done < want && i < index_.pieces.size(); ++i) {
    const StreamPiece& p = index_.pieces[i];
    const uint64_t from = offset + done - p.streamOffset;
    const size_t count = static_cast<size_t>(std::min<uint64_t>(want - done, p.length - from));
    std::span<uint8_t> part = out.subspan(done, count);
    if (from == 0 && count == p.length)
      whole.push_back({i, part});
    else
      CopyThroughCache(i, from, part);
    done += count;
  }
  // A long read (the page map's one pass) shares its blocks among threads;
  // shorter ones (the row readers', which run on threads of their own)
  // decode on the calling thread.
  InParallel(whole.size(), whole.size() > kParallelBlocks ? DecodeThreads() : 1u,
             [&](size_t k) { DecodePiece(whole[k].piece, whole[k].out); });
  return done;
}

void DecodedBackupFile::DecodePiece(size_t piece, std::span<uint8_t> out) const {
  const StreamPiece& p = index_.pieces[piece];
  if (!p.compressed) {
    const size_t got = file_->ReadAt(p.fileOffset, out);
    std::fill(out.begin() + got, out.end(), uint8_t{0});
    return;
  }
  thread_local std::vector<uint8_t> stored;
  stored.resize(p.storedLength);
  const char* why = nullptr;
  size_t consumed = 0;
  if (file_->ReadAt(p.fileOffset, stored) != stored.size()) {
    why = "its bytes could not be read";
  } else if (checksHold_ && !checked_[piece].load(std::memory_order_relaxed) &&
             BlockCheck(stored) != p.check) {
    why = "its check does not match its bytes";
  } else if (XpressStatus status = DecodeXpressHuffman(stored, out, &consumed);
             status != XpressStatus::kOk) {
    why = XpressStatusText(status);
  } else if (consumed + kMaxTrailingInput < stored.size()) {
    why = "it decodes to fewer bytes than it stores";
  }
  if (!why) {
    checked_[piece].store(true, std::memory_order_relaxed);
    return;
  }
  std::fill(out.begin(), out.end(), uint8_t{0});
  std::lock_guard lock(mutex_);
  auto at = std::lower_bound(damaged_.begin(), damaged_.end(), p.streamOffset,
                             [](const DamagedBlock& d, uint64_t o) { return d.streamOffset < o; });
  if (at == damaged_.end() || at->streamOffset != p.streamOffset)
    damaged_.insert(at, {p.fileOffset, p.streamOffset, p.length, why});
}

bool DecodedBackupFile::CopyFromCache(size_t piece, uint64_t from, std::span<uint8_t> out) const {
  for (CachedBlock& c : cache_) {
    if (c.piece != piece) continue;
    c.lastUse = ++uses_;
    std::memcpy(out.data(), c.bytes.get() + from, out.size());
    return true;
  }
  return false;
}

void DecodedBackupFile::CopyThroughCache(size_t piece, uint64_t from, std::span<uint8_t> out) const {
  size_t count = 1;
  {
    std::lock_guard lock(mutex_);
    if (CopyFromCache(piece, from, out)) return;
    // Misses block after block (a pass over the pages, one page at a time):
    // the blocks ahead are decoded with it, side by side on the other cores.
    if (lastMiss_ + 1 == piece) count = std::min<size_t>(DecodeThreads(), index_.pieces.size() - piece);
    lastMiss_ = piece + count - 1;
  }
  // Decoded outside the lock, so that readers on other threads go on.
  std::vector<BlockBytes> blocks(count);
  InParallel(count, static_cast<unsigned>(count), [&](size_t k) {
    const size_t length = index_.pieces[piece + k].length;
    blocks[k] = std::make_unique_for_overwrite<uint8_t[]>(length);
    DecodePiece(piece + k, std::span<uint8_t>(blocks[k].get(), length));
  });
  std::memcpy(out.data(), blocks[0].get() + from, out.size());
  std::lock_guard lock(mutex_);
  for (size_t k = 0; k < count; ++k) {
    if (cache_.size() < kCacheBlocks) {
      cache_.push_back({piece + k, ++uses_, std::move(blocks[k])});
      continue;
    }
    auto oldest = std::min_element(cache_.begin(), cache_.end(), [](const CachedBlock& a, const CachedBlock& b) {
      return a.lastUse < b.lastUse;
    });
    *oldest = {piece + k, ++uses_, std::move(blocks[k])};
  }
}

std::vector<DamagedBlock> DecodedBackupFile::DamagedBlocks() const {
  std::lock_guard lock(mutex_);
  return damaged_;
}

DecodedBackupOpen OpenDecodedBackup(std::unique_ptr<platform::ReadOnlyFile> file) {
  DecodedBackupOpen opened;
  CompressedBackupIndex index = IndexCompressedBackup(*file);
  switch (ProbeBlockEncoding(*file, index)) {
    case BlockEncoding::kXpress:
      opened.file = std::make_unique<DecodedBackupFile>(std::move(file), std::move(index));
      break;
    case BlockEncoding::kZstd: opened.refusal = "compressed with ZSTD"; break;
    case BlockEncoding::kGzip: opened.refusal = "compressed with QAT_DEFLATE (gzip frames)"; break;
    case BlockEncoding::kUnknown:
      opened.refusal = "compressed with an algorithm other than MS_XPRESS, or encrypted";
      break;
    case BlockEncoding::kNoBlocks: opened.refusal = "compressed, but no compressed block was found"; break;
  }
  return opened;
}

}  // namespace tollamer
