// The backup converter over the input as a backup, writing nowhere.
#include <atomic>

#include "fuzz/fuzz_support.h"
#include "tools/backup_conversion.h"
#include "engine/pagestore/page_start.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tollamer::fuzz::MemorySource backup({data, size});
  tollamer::fuzz::DiscardOutput out;
  std::atomic<bool> running{true};
  tollamer::tools::ConversionObserver observer;
  (void)tollamer::tools::ConvertBackup(backup, out, running, observer);
  (void)tollamer::IsBackupPageStart({data, size});
  (void)tollamer::OwnPageNumber({data, size});
  return 0;
}
