// The SQL 2000 catalog and row readers with one page of a fixed database
// mutated.
#include "fuzz/system_page_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tollamer::fuzz::FuzzSystemPage(tollamer::fuzz::FixedKind::kSample2000,
                                        tollamer::VersionSetting::kSql2000, data, size);
}
