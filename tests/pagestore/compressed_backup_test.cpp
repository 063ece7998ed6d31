// The LZ77+Huffman decoder on hand-made streams and round trips, and
// compressed backups opened through their decoded stream, damaged blocks
// and blocks of other algorithms included.
#include <gtest/gtest.h>

#include <random>

#include "engine/pagestore/page_store.h"
#include "engine/source/compressed_backup_layout.h"
#include "engine/source/xpress_huffman.h"
#include "engine/source/xpress_huffman_encoder.h"
#include "tests/fixtures/compressed_backup_writer.h"
#include "tests/fixtures/tools_fixtures.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

using fixtures::Bytes;

// A table giving two symbols 1-bit codes: the lower symbol 0, the higher 1.
Bytes TwoSymbolTable(unsigned low, unsigned high) {
  Bytes table(256, 0);
  for (unsigned s : {low, high}) table[s / 2] |= static_cast<uint8_t>(s % 2 ? 0x10 : 0x01);
  return table;
}

Bytes Stream(Bytes table, std::initializer_list<uint8_t> rest) {
  table.insert(table.end(), rest);
  return table;
}

constexpr unsigned kA = 'a';
// Match symbols: 256 + 16 * distance bits + (length - 3, 15 for more).
constexpr unsigned kRepeat9 = 256 + 6;       // distance 1, length 9
constexpr unsigned kRepeatLong = 256 + 15;   // distance 1, length in raw bytes
constexpr unsigned kBack4to7 = 256 + 32;     // distance 4 + 2 bits, length 3

TEST(XpressHuffmanTest, HandMadeStreamsDecodeOrFailWithTheirStatus) {
  struct Case {
    const char* what;
    Bytes stream;
    size_t out;
    XpressStatus status;
    std::string expected;
  };
  const Bytes a_repeat = TwoSymbolTable(kA, kRepeat9);
  const Bytes a_long = TwoSymbolTable(kA, kRepeatLong);
  Bytes over = TwoSymbolTable(kA, kRepeat9);
  over[0] = 0x11;  // a third 1-bit code
  const std::vector<Case> cases = {
      // bits 0 1: 'a', then nine bytes from one back.
      {"overlapping match", Stream(a_repeat, {0x00, 0x40, 0, 0}), 10, XpressStatus::kOk,
       std::string(10, 'a')},
      // bits 0 1 and raw byte 12: 12 + 15 + 3 = 30 more.
      {"length in a raw byte", Stream(a_long, {0x00, 0x40, 0, 0, 12}), 31, XpressStatus::kOk,
       std::string(31, 'a')},
      // raw 255 then the word 300: 303 more.
      {"length in a raw word", Stream(a_long, {0x00, 0x40, 0, 0, 255, 0x2C, 0x01}), 304,
       XpressStatus::kOk, std::string(304, 'a')},
      {"raw word below 15", Stream(a_long, {0x00, 0x40, 0, 0, 255, 14, 0}), 304,
       XpressStatus::kBadMatch, ""},
      {"raw byte missing", Stream(a_long, {0x00, 0x40, 0, 0}), 31, XpressStatus::kTruncated, ""},
      // bits 0000 1 10: four 'a', then from 4 + 2 = 6 back: before the start.
      {"match before the start", Stream(TwoSymbolTable(kA, kBack4to7), {0x00, 0x0C, 0, 0}), 7,
       XpressStatus::kBadMatch, ""},
      {"match past the end", Stream(a_repeat, {0x00, 0x40, 0, 0}), 5, XpressStatus::kBadMatch, ""},
      {"over-subscribed table", Stream(over, {0, 0, 0, 0}), 1, XpressStatus::kBadTable, ""},
      {"no code at all", Bytes(260, 0), 1, XpressStatus::kBadTable, ""},
      // Only 'a' has a code (0): a 1 bit starts none.
      {"code the table lacks", Stream(TwoSymbolTable(kA, kA), {0x00, 0x80, 0, 0}), 2,
       XpressStatus::kBadCode, ""},
      {"table cut short", Bytes(100, 0), 1, XpressStatus::kTruncated, ""},
      {"bits run out", Stream(a_repeat, {}), 40, XpressStatus::kTruncated, ""},
      {"nothing to decode", Bytes(), 0, XpressStatus::kOk, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes out(c.out, 0xEE);
    EXPECT_EQ(DecodeXpressHuffman(c.stream, out), c.status);
    if (c.status == XpressStatus::kOk) {
      EXPECT_EQ(std::string(out.begin(), out.end()), c.expected);
    }
  }
}

// The fixtures' encoder and the decoder agree on every kind of input:
// noise (literals only), runs, short periods, long repeats, and more than
// one 64 KiB chunk.
TEST(XpressHuffmanTest, EncodedStreamsDecodeToTheirInput) {
  std::mt19937 random(7);
  for (size_t size : {size_t{1}, size_t{3}, size_t{700}, size_t{65536}, size_t{65536 * 2 + 513}}) {
    for (int kind = 0; kind < 4; ++kind) {
      Bytes in(size);
      for (size_t i = 0; i < size; ++i)
        in[i] = kind == 0   ? static_cast<uint8_t>(random())
                : kind == 1 ? 0
                : kind == 2 ? static_cast<uint8_t>(i % 5)
                            : (i >= 300 && random() % 8 ? in[i - 300] : static_cast<uint8_t>(random()));
      const std::vector<uint8_t> stream = EncodeXpressHuffman(in);
      Bytes out(size);
      size_t consumed = 0;
      ASSERT_EQ(DecodeXpressHuffman(stream, out, &consumed), XpressStatus::kOk) << size << "/" << kind;
      EXPECT_EQ(out, in) << size << "/" << kind;
      EXPECT_LE(stream.size(), consumed + 4) << "the reader stops where the stream ends";
    }
  }
}

fixtures::FileBuilder Database() {
  fixtures::FileBuilder f(48);
  for (uint32_t p = 0; p < 48; ++p)
    if (p < 4 || p >= 16) f.SetPage(p, fixtures::OneRowDataPage(p, 100 + p));
  return f;
}

TEST(CompressedBackupTest, OpensAsTheBackupItCompressesAndDamageCostsOnlyItsBlock) {
  testing::TempDir dir;
  const Bytes plain = Database().BackupImage(0x4000);
  const Bytes packed = fixtures::CompressedBackupImage(plain);
  ASSERT_LT(packed.size(), plain.size());
  RecordingMessages messages;
  PageStore store(messages);
  ASSERT_TRUE(store.OpenFile(dir.Write("c.bak", packed)));
  ASSERT_TRUE(store.Decoded());
  EXPECT_EQ(store.Kind(), FileKind::kBackup);
  EXPECT_EQ(store.PagesHeld(), 36u);
  EXPECT_EQ(store.Decoded()->BlockCount(), 1 + (plain.size() - 4096 + 65535) / 65536);
  EXPECT_EQ(store.Decoded()->LossCount(), 0u);
  for (uint32_t p : {0u, 3u, 16u, 47u}) {
    std::optional<Page> page = store.ReadRawPage(p);
    ASSERT_TRUE(page) << p;
    const Bytes expected = fixtures::OneRowDataPage(p, 100 + p);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), page->bytes().begin())) << p;
  }
  // The map pass's notes of data pages say what the headers say.
  for (uint32_t p = 0; p < 50; ++p) {
    std::optional<PageHeader> h = store.ReadHeader(p);
    EXPECT_EQ(store.IsDataPage(p), h && h->HasType(page_layout::PageType::kData)) << p;
  }

  // A stored byte of the second block changed: its check fails, its pages
  // go missing, the pages of the other blocks stay.
  const std::vector<StreamPiece>& pieces = store.Decoded()->Index().pieces;
  auto second = std::find_if(pieces.begin() + 2, pieces.end(), [](const StreamPiece& p) { return p.compressed; });
  ASSERT_NE(second, pieces.end());
  Bytes flipped = packed;
  flipped[second->fileOffset + 40] ^= 0x5A;
  // The third block's header spoiled: the chain is picked up at the block after it.
  Bytes unchained = packed;
  const uint64_t third = std::next(second)->fileOffset - compressed_backup::kHeaderSize - 4;
  unchained[third] = 0x77;
  // The head's "MSSQLBAK" and the first block spoiled: the chain after the
  // head says what the file is, and the blocks after the first how they
  // are encoded and checked.
  Bytes headless = packed;
  headless[0] ^= 0xFF;
  headless[std::find_if(pieces.begin(), pieces.end(), [](const StreamPiece& p) { return p.compressed; })
               ->fileOffset + 40] ^= 0x5A;
  // The file's first part lost, the cut inside the second block: the
  // chain is found from byte 0, the blocks after the cut read.
  const Bytes cut(packed.begin() + static_cast<ptrdiff_t>(second->fileOffset + 40), packed.end());
  PageStore tail_only(messages);
  ASSERT_TRUE(tail_only.OpenFile(dir.Write("cut.bak", cut)));
  ASSERT_TRUE(tail_only.Decoded());
  EXPECT_GE(tail_only.Decoded()->Index().gaps, 1u);
  EXPECT_TRUE(tail_only.ReadPage(47));
  for (const auto& [name, image] : {std::pair{"flipped", flipped}, std::pair{"unchained", unchained},
                                    std::pair{"headless", headless}}) {
    SCOPED_TRACE(name);
    PageStore damaged(messages);
    ASSERT_TRUE(damaged.OpenFile(dir.Write(std::string(name) + ".bak", image)));
    ASSERT_TRUE(damaged.Decoded());
    EXPECT_EQ(damaged.Decoded()->LossCount(), 1u);
    // (The first block holds the tape's head, no page.)
    if (name != std::string("headless")) {
      EXPECT_LT(damaged.PagesHeld(), 36u);
    }
    EXPECT_GE(damaged.PagesHeld(), 36u - 8u);
    EXPECT_TRUE(damaged.ReadPage(0) && damaged.ReadPage(47));
  }
}

TEST(CompressedBackupTest, OtherAlgorithmsAndEncryptionAreRefusedSayingWhich) {
  testing::TempDir dir;
  const Bytes packed = fixtures::CompressedBackupImage(Database().BackupImage(0x4000));
  RecordingMessages opened_messages;
  PageStore opened(opened_messages);
  ASSERT_TRUE(opened.OpenFile(dir.Write("c.bak", packed)));
  const std::vector<StreamPiece> pieces = opened.Decoded()->Index().pieces;
  struct Case {
    const char* what;
    std::vector<uint8_t> start;
    const char* said;
  };
  for (const Case& c : std::vector<Case>{{"zstd", {0x28, 0xB5, 0x2F, 0xFD}, "ZSTD"},
                                          {"gzip", {0x1F, 0x8B, 8, 0}, "QAT_DEFLATE"},
                                          {"unknown", {0xFF, 0xFF, 0xFF, 0xFF}, "other than MS_XPRESS"}}) {
    SCOPED_TRACE(c.what);
    // Every block's stored bytes start so (and hold no valid code lengths).
    Bytes image = packed;
    for (const StreamPiece& p : pieces) {
      if (!p.compressed) continue;
      const auto at = image.begin() + static_cast<ptrdiff_t>(p.fileOffset);
      std::fill_n(at, std::min<size_t>(256, p.storedLength), 0xFF);
      std::copy(c.start.begin(), c.start.end(), at);
    }
    RecordingMessages messages;
    PageStore store(messages);
    EXPECT_FALSE(store.OpenFile(dir.Write(std::string(c.what) + ".bak", image)));
    EXPECT_EQ(store.Refusal(), OpenRefusal::kBackupCompressed);
    EXPECT_NE(store.LastError().find(c.said), std::string::npos) << store.LastError();
  }
}

}  // namespace
}  // namespace tollamer
