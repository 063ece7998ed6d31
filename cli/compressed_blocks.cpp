#include "cli/compressed_blocks.h"

#include "cli/cli_report.h"

namespace tollamer::cli {

std::string CompressionText(const DecodedBackupFile& decoded) {
  return "compressed (MS_XPRESS), " + std::to_string(decoded.BlockCount()) + " blocks";
}

uint64_t ReportLostBlocks(const CompressedLosses& losses) {
  for (const DamagedBlock& block : losses.blocks)
    Error("compressed block at byte %llu does not decode (%s): stream bytes %llu to %llu "
          "are lost, and the pages they held are missing\n",
          static_cast<unsigned long long>(block.fileOffset), block.why,
          static_cast<unsigned long long>(block.streamOffset),
          static_cast<unsigned long long>(block.streamOffset + block.length));
  if (losses.gaps)
    Error("compressed backup: %llu bytes in %llu places hold no readable record header and "
          "were skipped: the pages they held are missing\n",
          static_cast<unsigned long long>(losses.gapBytes),
          static_cast<unsigned long long>(losses.gaps));
  return losses.Count();
}

}  // namespace tollamer::cli
