// The SQL 2005+ row readers (plain and compressed records) on one mutated
// data page of a fixed table.
#include "fuzz/page_rows_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tollamer::fuzz::FuzzPageRows(tollamer::fuzz::FixedKind::kEveryType2008,
                                      tollamer::VersionSetting::kSql2005, data, size);
}
