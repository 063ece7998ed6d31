#include "cli/bak2mdf_command.h"

#include <atomic>
#include <cstdio>

#include "cli/cli_exit.h"
#include "cli/output_guard.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/compressed_blocks.h"
#include "cli/data_commands.h"
#include "cli/progress_reporter.h"
#include "tools/backup_conversion.h"

namespace tollamer::cli {

namespace {

class Progress final : public tools::ConversionObserver {
 public:
  void OnProgress(int percent) override { bar.Percent(percent); }
  ProgressReporter bar{"bak2mdf"};
};

}  // namespace

int RunBak2Mdf(const Bak2MdfOptions& options) {
  if (RefuseOutputOverInput(options.files, options.outPath) ||
      RefuseExisting(FirstExistingPath({options.outPath}), options.force))
    return kExitUsage;
  CliMessages messages;
  std::atomic<bool> running{true};
  Progress progress;
  tools::ConversionResult r =
      tools::ConvertBackupFiles(options.files.paths, options.files.store, options.outPath, running,
                                progress, messages);
  progress.bar.Done();
  if (!r.completed) {
    Error("conversion failed%s%s\n", r.error.empty() ? "" : ": ",
          r.error.c_str());
    return 1;
  }
  std::printf("pages written: %llu\n", static_cast<unsigned long long>(r.pagesWritten));
  std::printf("incomplete pages: %llu\n", static_cast<unsigned long long>(r.incompletePages));
  if (r.pagesWritten > 0)
    std::printf("highest page: %llu\n", static_cast<unsigned long long>(r.highestPage));
  std::printf("data file: %s\n", options.outPath.c_str());
  for (const std::string& path : r.secondaryFiles) std::printf("data file: %s\n", path.c_str());
  if (r.compressedBlocks)
    std::printf("compressed: MS_XPRESS, %llu blocks\n",
                static_cast<unsigned long long>(r.compressedBlocks));
  // What the backup lacks, the data files lack too.
  const bool gaps = TellFileGaps(GapTexts(r.missingStripes, r.stripes, r.gaps));
  if (ReportLostBlocks(r.losses)) {
    Error("incomplete: the data file lacks the pages of the compressed blocks that did not decode\n");
    return kExitLosses;
  }
  return gaps ? kExitLosses : kExitComplete;
}

}  // namespace tollamer::cli
