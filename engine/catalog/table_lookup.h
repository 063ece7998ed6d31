// Finding tables of the catalog by what a user calls them (name_match.h):
// owner.name or the name alone, in brackets or not, in any letter case, or
// without its blanks; or the object id.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/catalog/catalog_model.h"

namespace tollamer {

struct TableLookup {
  const TableInfo* table = nullptr;  // the one table named
  // More than one table answers the name at the same tier: the name is
  // ambiguous (table stays null). Empty when found or when none matches.
  std::vector<const TableInfo*> candidates;
};

// The table `name` names among the tables of `schemas` (any letter case;
// every schema when empty).
TableLookup LookupTable(const Catalog& catalog, std::string_view name,
                        const std::vector<std::string>& schemas = {});

// The table `name` names; null when none or several do.
const TableInfo* FindTableByName(const Catalog& catalog, const std::string& name);

// The tables a command works on: those `names` names among those of
// `schemas`; every table of `schemas` when no name is given; every table
// when neither is. Ids in catalog order, each once.
struct TableSelection {
  std::vector<uint32_t> ids;
  std::string missing;                    // the first name no table answers
  std::string ambiguous;                  // the first name several tables answer
  std::vector<std::string> candidates;    // their full names
  bool ok() const { return missing.empty() && ambiguous.empty(); }
};
TableSelection SelectTables(const Catalog& catalog, const std::vector<std::string>& names,
                            const std::vector<std::string>& schemas);

// True when `full_name`'s owner is one of `schemas` (any letter case), or
// `schemas` is empty.
bool InSchemas(std::string_view full_name, const std::vector<std::string>& schemas);

}  // namespace tollamer
