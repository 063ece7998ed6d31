// The file-system readers of the free-cluster search: boot sector
// recognition, the NTFS run list and file record fix-ups, the NTFS volume
// bitmap and the FAT32 table, over the input as a volume image.
#include "fuzz/fuzz_support.h"
#include "tools/allocation_map.h"
#include "tools/file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  (void)tollamer::tools::DecodeRunList(tollamer::ByteView(input));
  std::vector<uint8_t> record(input.begin(), input.begin() + std::min<size_t>(size, 4096));
  (void)tollamer::tools::ApplyFixups(record);

  tollamer::fuzz::MemorySource source(input);
  std::vector<uint8_t> boot(input.begin(), input.begin() + std::min<size_t>(size, 512));
  boot.resize(512, 0);
  (void)tollamer::tools::RecognizeBootSector(boot);
  (void)tollamer::tools::RecognizeFileSystem(source, 0);
  if (auto map = tollamer::tools::ReadNtfsBitmap(source, 0, boot))
    (void)map->InUse(map->Clusters() / 2);
  (void)tollamer::tools::Fat32ClusterOrigin(0, boot);
  if (auto map = tollamer::tools::ReadFat32Table(source, 0, boot))
    (void)map->InUse(map->Clusters() + 1);
  return 0;
}
