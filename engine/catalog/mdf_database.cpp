#include "engine/catalog/mdf_database.h"

namespace tollamer {

void CMdfDatabase::Teardown() {
  systemPages2000.Clear();
  catalog.Clear();
  dataPageLists.clear();
  systemPages2005.Clear();
  pageOwnerMap.clear();
  store_.Close();
}

}  // namespace tollamer
