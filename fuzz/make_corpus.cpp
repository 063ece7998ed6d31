// Writes the seed corpora of the fuzz targets into one folder per target:
// synthetic files and pages from the fixture writer, and whole files and
// single pages of the real SQL Server files when their folder is present.
// Usage: tollamer-fuzz-corpus OUTPUT_FOLDER [REAL_DATA_FOLDER]
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/pagestore/page_layout.h"
#include "fuzz/fixed_database.h"
#include "engine/source/xpress_huffman_encoder.h"
#include "tests/fixtures/cd_record_builder.h"
#include "tests/fixtures/compressed_backup_writer.h"
#include "tests/fixtures/file_builder.h"
#include "tests/fixtures/sample_database.h"
#include "tests/fixtures/sql2000_database.h"
#include "tests/fixtures/sql2005_database.h"
#include "tests/fixtures/tools_fixtures.h"
#include "tests/fixtures/user_rows_database.h"

namespace fs = std::filesystem;
using tollamer::fixtures::Bytes;
using tollamer::fixtures::FormatVersion;

namespace {

constexpr size_t kPage = tollamer::page_layout::kPageSize;
fs::path g_out;

void Seed(const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(g_out / target);
  std::ofstream out(g_out / target / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes PageOf(const Bytes& file, size_t n) {
  if ((n + 1) * kPage > file.size()) return {};
  return Bytes(file.begin() + static_cast<std::ptrdiff_t>(n * kPage),
               file.begin() + static_cast<std::ptrdiff_t>((n + 1) * kPage));
}

void Append(Bytes& b, std::initializer_list<uint8_t> more) { b.insert(b.end(), more); }

// A file followed by the large-value reader's parameters (see
// large_values_fuzz.cpp) naming a page and slot.
Bytes WithLobTail(Bytes file, uint32_t page, uint16_t slot, uint8_t flags) {
  Append(file, {static_cast<uint8_t>(page), static_cast<uint8_t>(page >> 8),
                static_cast<uint8_t>(page >> 16), static_cast<uint8_t>(page >> 24),
                static_cast<uint8_t>(slot), static_cast<uint8_t>(slot >> 8), flags, 165});
  // An in-row root pointer: type 2, level 0, a link of 12 bytes.
  Append(file, {0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                0x10, 0x00, 0x00, 0x00, static_cast<uint8_t>(page), static_cast<uint8_t>(page >> 8),
                0x00, 0x00, 0x01, 0x00, static_cast<uint8_t>(slot), 0x00});
  return file;
}

// Every seed of a whole database file.
void FileSeeds(const std::string& name, const Bytes& file, bool is2000) {
  Seed("page_store", name, file);
  Seed("iam_chain", name, file);
  Seed(is2000 ? "catalog2000" : "catalog2005", name, file);
  Seed(is2000 ? "rows2000" : "rows2005", name, file);
  int lob_seeds = 0;
  for (size_t n = 0; n * kPage < file.size() && lob_seeds < 4; ++n) {
    const uint8_t type = file[n * kPage + 1];
    if (type != 3 && type != 4) continue;
    Seed("large_values", name + "-p" + std::to_string(n),
         WithLobTail(file, static_cast<uint32_t>(n), 0, is2000 ? 2 : 3));
    ++lob_seeds;
  }
  int pages = 0;
  for (size_t n = 0; n * kPage < file.size() && pages < 24; ++n) {
    Bytes page = PageOf(file, n);
    if (page.empty() || page[1] != 1) continue;
    Seed("compressed_record", name + "-p" + std::to_string(n), page);
    Seed("excavation", name + "-p" + std::to_string(n), page);
    ++pages;
  }
  Seed("excavation", name + "-p0", PageOf(file, 0));
}

namespace page_layout = tollamer::page_layout;
constexpr size_t kTypeByte = page_layout::kType;
constexpr uint8_t kDataType = static_cast<uint8_t>(page_layout::PageType::kData);
constexpr uint8_t kTextMixType = static_cast<uint8_t>(page_layout::PageType::kTextMix);

// The page-level targets write their input over pages of the fixed
// databases: every data page of those files is a seed (the row targets'
// with the first text page after it), and for the system-page targets every
// page that has a header at all.
void FixedSeeds() {
  using tollamer::fuzz::FixedDatabase;
  using tollamer::fuzz::FixedKind;
  struct Target {
    const char* name;
    FixedKind kind;
    bool rows;
  };
  for (const Target& t : {Target{"page_rows2000", FixedKind::kEveryType2000, true},
                          Target{"page_rows2005", FixedKind::kEveryType2008, true},
                          Target{"system_page2000", FixedKind::kSample2000, false},
                          Target{"system_page2005", FixedKind::kSample2008, false}}) {
    const Bytes& file = FixedDatabase(t.kind);
    Bytes text;
    for (size_t n = 0; n * kPage < file.size() && text.empty(); ++n)
      if (file[n * kPage + kTypeByte] == kTextMixType) text = PageOf(file, n);
    for (size_t n = 0; n * kPage < file.size(); ++n) {
      Bytes page = PageOf(file, n);
      if (t.rows ? page[kTypeByte] != kDataType : page[kTypeByte] == 0) continue;
      if (t.rows) page.insert(page.end(), text.begin(), text.end());
      Seed(t.name, "p" + std::to_string(n), page);
    }
  }
}

void CompressedSeeds() {
  using tollamer::fixtures::CdPageBuilder;
  using tollamer::fixtures::CdRecordBuilder;
  using tollamer::fixtures::CompressedIntBytes;
  CdPageBuilder page(200);
  page.Anchor(CdRecordBuilder().Short(CompressedIntBytes(1000)).Null().Short({'a', 'b'}).Build());
  page.Dictionary({{'x', 'y', 'z'}, {0x80, 0x01}});
  page.AddRecord(CdRecordBuilder()
                     .Short(CompressedIntBytes(7))
                     .Long(Bytes(40, 'L'))
                     .Symbol(0)
                     .BitOne()
                     .Empty()
                     .Build());
  page.AddRecord(CdRecordBuilder().Short(CompressedIntBytes(-5)).Null().Symbol(1).WideCount().Build());
  Seed("compressed_record", "page-compressed", page.Build());
  Seed("page_rows2005", "page-compressed", page.Build());
}

Bytes Utf16Run(const std::string& ascii) {
  Bytes b{static_cast<uint8_t>(ascii.size())};
  for (char c : ascii) Append(b, {static_cast<uint8_t>(c), 0});
  return b;
}

void XmlSeeds() {
  Bytes b = {0xDF, 0xFF, 0x01, 0xB0, 0x04, 0xF0};
  Bytes name = Utf16Run("doc");
  b.insert(b.end(), name.begin(), name.end());
  b.push_back(0xF0);
  Bytes attr = Utf16Run("id");
  b.insert(b.end(), attr.begin(), attr.end());
  Append(b, {0xEF, 0x00, 0x00, 0x01, 0xEF, 0x00, 0x00, 0x02, 0xF8, 0x01, 0xF6, 0x02, 0x11});
  Bytes value = Utf16Run("7");
  b.insert(b.end(), value.begin(), value.end());
  b.push_back(0xF5);
  b.push_back(0x11);
  Bytes text = Utf16Run("a<b");
  b.insert(b.end(), text.begin(), text.end());
  Append(b, {0xF4, 0x01, 0xF7});
  Seed("xml_value", "element", b);
  // Formatter seeds: type, precision, scale, length (2), bit, then bytes.
  Seed("xml_value", "decimal", {106, 10, 2, 9, 0, 0, 1, 0x39, 0x30, 0, 0, 0, 0, 0, 0});
  Seed("xml_value", "datetime", {61, 0, 0, 8, 0, 0, 0x10, 0x20, 0, 0, 0x50, 0x9A, 0, 0});
  Seed("xml_value", "datetime2", {42, 0, 7, 8, 0, 0, 1, 2, 3, 4, 5, 0x30, 0x2A, 0x0B});
  Seed("xml_value", "nvarchar", {231, 0, 0, 8, 0, 0, 'h', 0, 'i', 0, 0x2D, 0x4E});
}

void VolumeSeeds() {
  // FAT32: 512-byte sectors, 1 sector per cluster, 4 reserved, 1 FAT of 1
  // sector, 64 sectors in all; cluster 5 in use.
  Bytes fat(64 * 512, 0);
  fat[11] = 0x00, fat[12] = 0x02, fat[13] = 1, fat[14] = 4, fat[16] = 1;
  fat[32] = 64, fat[36] = 1, fat[44] = 2, fat[50] = 6;
  std::copy_n("FAT32   ", 8, fat.begin() + 82);
  fat[510] = 0x55, fat[511] = 0xAA;
  fat[4 * 512 + 5 * 4] = 0xFF;
  Seed("volume", "fat32", fat);
  // NTFS: 1 sector per cluster, the MFT at cluster 8; record 6 names
  // $Bitmap and holds one run of 1 cluster at cluster 40.
  Bytes ntfs(48 * 512, 0);
  std::copy_n("NTFS    ", 8, ntfs.begin() + 3);
  ntfs[11] = 0x00, ntfs[12] = 0x02, ntfs[13] = 1, ntfs[40] = 48, ntfs[48] = 8;
  ntfs[510] = 0x55, ntfs[511] = 0xAA;
  const size_t rec = 8 * 512 + 6 * 1024;
  if (rec + 1024 <= ntfs.size()) {
    std::copy_n("FILE", 4, ntfs.begin() + static_cast<std::ptrdiff_t>(rec));
    ntfs[rec + 4] = 48, ntfs[rec + 6] = 3, ntfs[rec + 20] = 56;
    size_t a = rec + 56;
    ntfs[a] = 0x30, ntfs[a + 4] = 96, ntfs[a + 20] = 24;
    ntfs[a + 24 + 64] = 7;
    const char* n = "$Bitmap";
    for (int i = 0; i < 7; ++i) ntfs[a + 24 + 66 + 2 * i] = static_cast<uint8_t>(n[i]);
    a += 96;
    ntfs[a] = 0x80, ntfs[a + 4] = 72, ntfs[a + 8] = 1, ntfs[a + 32] = 64;
    ntfs[a + 64] = 0x11, ntfs[a + 65] = 1, ntfs[a + 66] = 40;
    a += 72;
    ntfs[a] = 0xFF, ntfs[a + 1] = 0xFF, ntfs[a + 2] = 0xFF, ntfs[a + 3] = 0xFF;
  }
  Seed("volume", "ntfs", ntfs);
  Seed("volume", "runlist", {0x21, 0x10, 0x00, 0x01, 0x31, 0x08, 0x00, 0xF0, 0xFF, 0x01, 0x04, 0x00});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [REAL_DATA_FOLDER]\n", argv[0]);
    return 2;
  }
  g_out = argv[1];
  const fs::path real = argc > 2 ? fs::path(argv[2]) : fs::path(TOLLAMER_REAL_DATA_DIR);

  namespace s2000 = tollamer::fixtures::sql2000;
  namespace s2005 = tollamer::fixtures::sql2005;
  const Bytes f2000 = s2000::BuildDatabase2000(s2000::SampleDatabase2000()).Image();
  const Bytes f2005 =
      s2005::BuildDatabase2005(s2005::SampleDatabase2005(FormatVersion::kSql2005)).file.Image();
  const Bytes f2008 = s2005::BuildDatabase2005(s2005::SampleDatabase2005()).file.Image();
  FileSeeds("fixture2000", f2000, true);
  FileSeeds("fixture2005", f2005, false);
  FileSeeds("fixture2008", f2008, false);
  namespace rows = tollamer::fixtures::user_rows;
  FileSeeds("everytype2000", rows::BuildEveryTypeDatabase2000().file.Image(), true);
  FileSeeds("everytype2008", rows::BuildEveryTypeDatabase2005(FormatVersion::kSql2008).built.file.Image(),
            false);
  tollamer::fixtures::SampleSpec small;
  small.pageCount = 24;
  Seed("page_store", "skeleton2008", tollamer::fixtures::BuildSampleDatabase(small).Image());

  tollamer::fixtures::FileBuilder backup = s2000::BuildDatabase2000(s2000::SampleDatabase2000());
  Seed("page_store", "backup2000", backup.BackupImage(0x1A00));
  Seed("backup_conversion", "backup2000", backup.BackupImage(0x1A00));
  Seed("backup_conversion", "numbered", tollamer::fixtures::NumberedPages(3, 6));
  const Bytes packed = tollamer::fixtures::CompressedBackupImage(backup.BackupImage(0x1A00));
  for (const char* target : {"page_store", "backup_conversion", "compressed_backup"})
    Seed(target, "compressed2000", packed);
  const Bytes page = backup.Image();
  Bytes units = {16, 0};  // one page decoded
  const std::vector<uint8_t> stream =
      tollamer::EncodeXpressHuffman(std::span(page).first(tollamer::page_layout::kPageSize));
  units.insert(units.end(), stream.begin(), stream.end());
  Seed("xpress_huffman", "page", units);
  const Bytes carvable = tollamer::fixtures::BuildCarvableDatabase(FormatVersion::kSql2000, 40).Image();
  Seed("excavation", "carvable2000", carvable);
  Seed("excavation", "numbered", tollamer::fixtures::NumberedPages(30, 4));
  CompressedSeeds();
  FixedSeeds();
  XmlSeeds();
  VolumeSeeds();

  int real_files = 0;
  if (fs::is_directory(real)) {
    for (const auto& entry : fs::directory_iterator(real)) {
      const std::string name = entry.path().filename().string();
      const std::string ext = entry.path().extension().string();
      if (ext == ".mdf") {
        Bytes file = ReadAll(entry.path());
        FileSeeds(entry.path().stem().string(), file, name.find("sql2000") != std::string::npos);
        ++real_files;
      } else if (ext == ".bak") {
        Bytes file = ReadAll(entry.path());
        Seed("backup_conversion", entry.path().stem().string(), file);
        Seed("page_store", entry.path().stem().string(), file);
        if (name.find("-compressed") != std::string::npos)
          Seed("compressed_backup", entry.path().stem().string(), file);
        ++real_files;
      }
    }
  }
  std::printf("seed corpora in %s (%d real files)\n", g_out.c_str(), real_files);
  return 0;
}
