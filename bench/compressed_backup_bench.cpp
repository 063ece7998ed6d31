// A backup written WITH COMPRESSION against the same backup uncompressed:
// the wide table's data file of shaped_file.h (1 GiB by default) wrapped as
// SQL Server writes a full backup (tape headers, the allocated pages in
// runs of at most 64 behind 512-byte stream headers), and the same stream
// in MS_XPRESS blocks through the fixtures' writer. Measured in the same
// run, warm: the decoder alone (MB/s of decoded output on one core) and
// `tollamer-cli export-data` of each backup, rows checked. The target: the
// compressed export within 1.5 times the uncompressed one.
//
//   compressed_backup_bench [FOLDER] [MIB]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_result.h"
#include "bench/cli_process.h"
#include "bench/shaped_file.h"
#include "engine/pagestore/page_layout.h"
#include "engine/source/compressed_backup.h"
#include "tests/fixtures/compressed_backup_writer.h"
#include "tests/fixtures/file_builder.h"

namespace {

using namespace tollamer;
namespace fs = std::filesystem;

constexpr uint32_t kBaseOffset = 0x4000;
constexpr size_t kPage = page_layout::kPageSize;
constexpr size_t kRunPages = 64;

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The data file's allocated pages as a backup stream, written plain to
// `bak` and compressed to `packed`.
bool WriteBackups(const std::string& mdf, const std::string& bak, const std::string& packed) {
  std::FILE* in = std::fopen(mdf.c_str(), "rb");
  std::FILE* plain = std::fopen(bak.c_str(), "wb");
  std::FILE* small = std::fopen(packed.c_str(), "wb");
  bool ok = in && plain && small;
  fixtures::CompressedBackupWriter writer([small](std::span<const uint8_t> b) {
    return std::fwrite(b.data(), 1, b.size(), small) == b.size();
  });
  auto put = [&](std::span<const uint8_t> b) {
    ok = ok && std::fwrite(b.data(), 1, b.size(), plain) == b.size() && writer.Append(b);
  };
  // The image of an empty database: its head up to the pages, and its
  // tail (a stream header and the end-of-set block) after them.
  const fixtures::Bytes image = fixtures::FileBuilder(0).BackupImage(kBaseOffset);
  put(std::span(image).first(kBaseOffset));
  std::vector<uint8_t> stream_header(512, 0);
  std::copy_n("MQDA", 4, stream_header.begin());
  std::vector<uint8_t> page(kPage);
  size_t in_run = 0;
  while (ok && std::fread(page.data(), 1, kPage, in) == kPage) {
    if (std::all_of(page.begin(), page.end(), [](uint8_t b) { return b == 0; })) continue;
    if (in_run == kRunPages) {
      put(stream_header);
      in_run = 0;
    }
    put(page);
    ++in_run;
  }
  put(stream_header);
  put(std::span(image).subspan(kBaseOffset + stream_header.size()));
  ok = ok && writer.Finish();
  for (std::FILE* f : {in, plain, small})
    if (f) ok = std::fclose(f) == 0 && ok;
  return ok;
}

// The whole decoded stream read in 2 MiB pieces (32 blocks: short enough to
// be decoded on the calling thread alone).
void MeasureDecoder(const std::string& packed) {
  platform::OpenResult opened = platform::OpenReadOnlyExclusive(packed);
  DecodedBackupOpen decoded = OpenDecodedBackup(std::move(opened.file));
  if (!decoded.file) {
    std::printf("cannot decode %s: %s\n", packed.c_str(), decoded.refusal.c_str());
    return;
  }
  bench::CatSeconds(packed);
  std::vector<uint8_t> buffer(2 << 20);
  const auto start = std::chrono::steady_clock::now();
  uint64_t total = 0;
  for (uint64_t at = 0; at < decoded.file->Length(); at += buffer.size())
    total += decoded.file->ReadAt(at, buffer);
  const double seconds = Seconds(start);
  std::printf("decoder: %.1f MiB decoded from %.1f MiB in %.3f s: %.1f MB/s of output on one core, "
              "%llu blocks, %llu lost\n",
              total / double(1 << 20), fs::file_size(packed) / double(1 << 20), seconds,
              total / 1e6 / seconds, static_cast<unsigned long long>(decoded.file->BlockCount()),
              static_cast<unsigned long long>(decoded.file->LossCount()));
  bench::PrintResult("MS_XPRESS decode (one core)", total / double(1 << 20), seconds, -1, "-");
}

// One warm run of export-data; below 0 when it failed or did not write
// `rows` rows.
bench::CliRun Export(const std::string& bak, const std::string& out_dir, uint64_t rows) {
  bench::CliRun best;
  const char* cli = std::getenv("TOLLAMER_BENCH_CLI");
  const std::string report = out_dir + ".log";
  {
    fs::remove_all(out_dir);
    bench::CatSeconds(bak);  // the file in the page cache
    bench::CliRun run = bench::RunCliProcess(cli ? cli : TOLLAMER_CLI_PATH,
                                             {"export-data", bak, "--out", out_dir}, report);
    const std::string marker = std::to_string(rows) + " rows written";
    std::FILE* f = std::fopen(report.c_str(), "r");
    char line[512] = {};
    bool counted = false;
    while (f && std::fgets(line, sizeof line, f)) counted = counted || std::string(line).find(marker) != std::string::npos;
    if (f) std::fclose(f);
    if (run.seconds < 0 || !counted) return {};
    if (best.seconds < 0 || run.seconds < best.seconds) best = run;
  }
  fs::remove_all(out_dir);
  fs::remove(report);
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : fs::temp_directory_path().string();
  const uint64_t mib = argc > 2 ? std::stoull(argv[2]) : 1024;
  const std::string mdf = folder + "/tollamer-bench-compressed-source.mdf";
  const std::string bak = folder + "/tollamer-bench-plain.bak";
  const std::string packed = folder + "/tollamer-bench-compressed.bak";
  // With TOLLAMER_BENCH_KEEP the backups and their row count stay for the
  // next run, which takes them as they are (they take minutes to write).
  const bool keep = std::getenv("TOLLAMER_BENCH_KEEP") != nullptr;
  const std::string rows_note = packed + ".rows";
  bench::ShapedFile source;
  if (std::FILE* note = keep ? std::fopen(rows_note.c_str(), "r") : nullptr) {
    unsigned long long rows = 0;
    if (std::fscanf(note, "%llu", &rows) == 1 && fs::exists(bak) && fs::exists(packed)) {
      source.path = mdf;
      source.rows = rows;
    }
    std::fclose(note);
  }
  if (source.path.empty()) {
    source = bench::WriteShapedFile(bench::FileShape::kWide, mdf, mib << 20);
    if (source.path.empty() || !WriteBackups(mdf, bak, packed)) {
      std::fprintf(stderr, "cannot write the backups in %s\n", folder.c_str());
      return 1;
    }
    fs::remove(mdf);
    if (std::FILE* note = keep ? std::fopen(rows_note.c_str(), "w") : nullptr) {
      std::fprintf(note, "%llu\n", static_cast<unsigned long long>(source.rows));
      std::fclose(note);
    }
  }
  const double plain_mib = fs::file_size(bak) / double(1 << 20);
  std::printf("backup %.0f MiB, compressed %.0f MiB (%.1f%%), %llu rows\n", plain_mib,
              fs::file_size(packed) / double(1 << 20), 100.0 * fs::file_size(packed) / fs::file_size(bak),
              static_cast<unsigned long long>(source.rows));
  MeasureDecoder(packed);
  // Three runs of each in turn, the best of each kept: other work on the
  // machine then weighs on both alike.
  bench::CliRun plain, small;
  for (int i = 0; i < 3; ++i) {
    for (auto [file, best] : {std::pair{&bak, &plain}, std::pair{&packed, &small}}) {
      const bench::CliRun run = Export(*file, folder + "/tollamer-bench-csv", source.rows);
      if (run.seconds < 0) {
        std::fprintf(stderr, "the export of %s failed or wrote the wrong row count\n", file->c_str());
        return 1;
      }
      if (best->seconds < 0 || run.seconds < best->seconds) *best = run;
    }
  }
  if (plain.seconds < 0 || small.seconds < 0) {
    std::fprintf(stderr, "an export failed or wrote the wrong row count\n");
    return 1;
  }
  std::printf("export-data warm: uncompressed %.3f s, compressed %.3f s, ratio %.2f (target 1.5)\n",
              plain.seconds, small.seconds, small.seconds / plain.seconds);
  bench::PrintResult("export-data csv, backup (warm)", plain_mib, plain.seconds, -1, "-", plain.peakMiB);
  bench::PrintResult("export-data csv, compressed backup", plain_mib, small.seconds,
                     small.seconds / plain.seconds, "uncompressed backup", small.peakMiB);
  if (!keep) {
    fs::remove(bak);
    fs::remove(packed);
  }
  return 0;
}
