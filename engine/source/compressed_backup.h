// A backup written WITH COMPRESSION (layout in compressed_backup_layout.h),
// read as the plain tape-format stream it stands for: DecodedBackupFile is a
// platform::ReadOnlyFile whose bytes are the decoded blocks and the
// filemarks between them, so the page map and everything above it read a
// compressed backup exactly as an uncompressed one.
//
// Opening reads only the record headers (one pass, one small read per
// record) and keeps one entry per block; a read decodes just the blocks it
// touches, straight into the caller's buffer when it covers a whole block,
// else through a small cache of recently decoded blocks. A read of more than
// 32 whole blocks (the page map's pass) shares them among up to four
// threads, and a cache miss right after a miss on the block before decodes
// the next blocks with it on the other cores. Memory stays flat in the
// file's size (an entry of 32 bytes per 64 KiB block, 16 cached blocks).
//
// Damage costs only its block: a block whose check, decoding or decoded
// size is wrong reads as zeros (its page images are then not found) and is
// listed; a record header that makes no sense is skipped up to the next
// header that does, found by searching the bytes after it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"

namespace tollamer {

// One stretch of the decoded stream: a compressed block, or bytes stored
// as they are (a filemark).
struct StreamPiece {
  uint64_t streamOffset = 0;  // where its bytes begin in the decoded stream
  uint64_t fileOffset = 0;    // where its stored bytes begin in the file
  uint32_t storedLength = 0;  // bytes in the file
  uint32_t length = 0;        // bytes in the decoded stream
  uint32_t check = 0;         // a block's stored check
  bool compressed = false;
};

struct CompressedBackupIndex {
  std::vector<StreamPiece> pieces;  // in stream order, end to end
  uint64_t blocks = 0;
  uint64_t streamLength = 0;
  // Stretches of the file where the record chain was lost and picked up
  // again further on, and the bytes they cover.
  uint64_t gaps = 0;
  uint64_t gapBytes = 0;
};

// True when the file begins with a compressed backup's "MSSQLBAK", or,
// that head damaged, its first record is a block confirmed by the next.
bool HasCompressedBackupHead(const platform::ReadOnlyFile& file);

// One pass over the record headers from the first record to the end.
CompressedBackupIndex IndexCompressedBackup(const platform::ReadOnlyFile& file);

// How many of the first blocks say how a backup's blocks are encoded and
// whether they carry checks: one of them may be damaged.
inline constexpr size_t kProbedBlocks = 8;

// What the blocks hold, judged from the first kProbedBlocks blocks: the
// LZ77+Huffman data of MS_XPRESS when one of them decodes; else a frame of
// another algorithm recognised by the first one's magic (zstd's 28 B5 2F
// FD, gzip's 1F 8B); or nothing this reader knows (another algorithm
// without a magic, or encrypted data).
enum class BlockEncoding { kXpress, kZstd, kGzip, kUnknown, kNoBlocks };
BlockEncoding ProbeBlockEncoding(const platform::ReadOnlyFile& file,
                                 const CompressedBackupIndex& index);

// The rotate-and-XOR check a block's header carries over its stored bytes.
uint32_t BlockCheck(std::span<const uint8_t> stored);

struct DamagedBlock {
  uint64_t fileOffset = 0;    // the block's stored bytes
  uint64_t streamOffset = 0;  // its place in the decoded stream
  uint32_t length = 0;        // decoded bytes lost
  const char* why = "";
};

// What a compressed backup lost: blocks that did not decode, and stretches
// where the record chain was lost (gaps, with the bytes they cover).
struct CompressedLosses {
  std::vector<DamagedBlock> blocks;
  uint64_t gaps = 0;
  uint64_t gapBytes = 0;
  uint64_t Count() const { return blocks.size() + gaps; }
};

class DecodedBackupFile final : public platform::ReadOnlyFile {
 public:
  DecodedBackupFile(std::unique_ptr<platform::ReadOnlyFile> file, CompressedBackupIndex index);

  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const override;
  uint64_t Length() const override { return index_.streamLength; }

  uint64_t BlockCount() const { return index_.blocks; }
  const CompressedBackupIndex& Index() const { return index_; }
  // The blocks found not to decode so far (every block, once the stream
  // has been read through), in stream order.
  std::vector<DamagedBlock> DamagedBlocks() const;
  CompressedLosses Losses() const { return {DamagedBlocks(), index_.gaps, index_.gapBytes}; }
  uint64_t LossCount() const { return Losses().Count(); }

 private:
  // A block's decoded bytes, left unset until decoded into.
  using BlockBytes = std::unique_ptr<uint8_t[]>;
  struct CachedBlock {
    size_t piece = SIZE_MAX;
    uint64_t lastUse = 0;
    BlockBytes bytes;
  };

  size_t PieceAt(uint64_t offset) const;
  // The piece's decoded bytes into `out` (its full length); zeros and a
  // damage entry when they cannot be had.
  void DecodePiece(size_t piece, std::span<uint8_t> out) const;
  void CopyThroughCache(size_t piece, uint64_t from, std::span<uint8_t> out) const;
  bool CopyFromCache(size_t piece, uint64_t from, std::span<uint8_t> out) const;  // under mutex_

  std::unique_ptr<platform::ReadOnlyFile> file_;
  CompressedBackupIndex index_;
  bool checksHold_ = false;  // one of the first blocks' checks matched its bytes
  // Per piece: its stored bytes were found to match their check, so that a
  // block decoded again (the page map's pass, then the rows') is not
  // checked again.
  mutable std::unique_ptr<std::atomic<bool>[]> checked_;
  mutable std::mutex mutex_;  // guards the cache and the damage list
  mutable std::vector<CachedBlock> cache_;
  mutable uint64_t uses_ = 0;
  mutable size_t lastMiss_ = SIZE_MAX - 1;  // the last block a cache miss decoded
  mutable std::vector<DamagedBlock> damaged_;
};

// A compressed backup's decoded stream, or why it is not read: `refusal`
// names the algorithm found ("ZSTD", ...) when the blocks are not MS_XPRESS.
struct DecodedBackupOpen {
  std::unique_ptr<DecodedBackupFile> file;
  std::string refusal;
};
DecodedBackupOpen OpenDecodedBackup(std::unique_ptr<platform::ReadOnlyFile> file);

}  // namespace tollamer
