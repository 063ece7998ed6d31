// The table row reader of SQL 2005 files on a whole input file.
#include "fuzz/table_rows_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tollamer::fuzz::FuzzTableRows(data, size, tollamer::VersionSetting::kSql2005);
}
