// The SQL 2000 row readers on one mutated data page of a fixed table.
#include "fuzz/page_rows_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tollamer::fuzz::FuzzPageRows(tollamer::fuzz::FixedKind::kEveryType2000,
                                      tollamer::VersionSetting::kSql2000, data, size);
}
