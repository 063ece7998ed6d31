#include "engine/catalog/table_lookup.h"

#include <charconv>

namespace tollamer {

const TableInfo* FindTableByName(const Catalog& catalog, const std::string& name) {
  for (const auto& [id, t] : catalog.tables)
    if (t.fullName == name) return &t;
  for (const auto& [id, t] : catalog.tables) {
    size_t dot = t.fullName.find('.');
    if (dot != std::string::npos && t.fullName.compare(dot + 1, std::string::npos, name) == 0)
      return &t;
  }
  uint32_t id = 0;
  auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), id);
  if (error == std::errc() && end == name.data() + name.size()) {
    auto it = catalog.tables.find(id);
    if (it != catalog.tables.end()) return &it->second;
  }
  return nullptr;
}

}  // namespace tollamer
