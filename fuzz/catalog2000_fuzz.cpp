// The SQL 2000 catalog builder on a whole file, whole-file fallback
// included, through the one open sequence.
#include "engine/catalog/open/open_catalog.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tollamer::SilentMessages messages;
  tollamer::CMdfDatabase db(messages);
  if (!db.OpenFile(tollamer::fuzz::WriteScratchFile({data, size}))) return 0;
  (void)tollamer::OpenCatalog(db, tollamer::VersionSetting::kSql2000);
  db.Teardown();
  return 0;
}
