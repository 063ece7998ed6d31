#include "engine/catalog/table_lookup.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "engine/catalog/name_match.h"

namespace tollamer {

bool InSchemas(std::string_view full_name, const std::vector<std::string>& schemas) {
  if (schemas.empty()) return true;
  const std::string owner = FoldCase(OwnerOf(full_name));
  for (const std::string& s : schemas)
    if (FoldCase(Unbracketed(s)) == owner) return true;
  return false;
}

TableLookup LookupTable(const Catalog& catalog, std::string_view name,
                        const std::vector<std::string>& schemas) {
  std::vector<const TableInfo*> pool;
  std::vector<std::string> names;
  for (const auto& [id, t] : catalog.tables) {
    if (!InSchemas(t.fullName, schemas)) continue;
    pool.push_back(&t);
    names.push_back(t.fullName);
  }
  TableLookup out;
  std::vector<size_t> found = MatchObjectName(names, name);
  if (found.size() == 1) {
    out.table = pool[found[0]];
  } else if (found.size() > 1) {
    for (size_t k : found) out.candidates.push_back(pool[k]);
  } else {
    uint32_t id = 0;
    auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), id);
    if (error == std::errc() && end == name.data() + name.size()) {
      for (const TableInfo* t : pool)
        if (t->id == id) out.table = t;
    }
  }
  return out;
}

const TableInfo* FindTableByName(const Catalog& catalog, const std::string& name) {
  return LookupTable(catalog, name).table;
}

TableSelection SelectTables(const Catalog& catalog, const std::vector<std::string>& names,
                            const std::vector<std::string>& schemas) {
  TableSelection out;
  std::set<uint32_t> chosen;
  if (names.empty()) {
    for (const auto& [id, t] : catalog.tables)
      if (InSchemas(t.fullName, schemas)) chosen.insert(id);
  }
  for (const std::string& name : names) {
    TableLookup found = LookupTable(catalog, name, schemas);
    if (found.table) {
      chosen.insert(found.table->id);
    } else if (!found.candidates.empty()) {
      out.ambiguous = name;
      for (const TableInfo* t : found.candidates) out.candidates.push_back(t->fullName);
      return out;
    } else {
      out.missing = name;
      return out;
    }
  }
  out.ids.assign(chosen.begin(), chosen.end());
  return out;
}

}  // namespace tollamer
