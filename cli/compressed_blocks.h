// What the CLI says about a compressed backup: its algorithm and blocks, and
// each block that did not decode.
#pragma once

#include <cstdint>
#include <string>

#include "engine/source/compressed_backup.h"

namespace tollamer::cli {

// "compressed (MS_XPRESS), 120 blocks".
std::string CompressionText(const DecodedBackupFile& decoded);

// One error line per block that did not decode and per stretch where the
// record chain was lost; returns how many there were.
uint64_t ReportLostBlocks(const CompressedLosses& losses);

}  // namespace tollamer::cli
