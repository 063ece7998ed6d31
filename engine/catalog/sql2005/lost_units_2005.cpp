#include "engine/catalog/sql2005/lost_units_2005.h"

#include <algorithm>
#include <optional>

#include "engine/catalog/sql2005/system_tables_2005.h"
#include "engine/catalog/sql2005/unit_pages_2005.h"

namespace tollamer::sql2005 {

using namespace page_layout;

namespace {

constexpr int16_t kFirstFixedOffset = 4;
constexpr uint8_t kBitType = 104;
// The pairing table's size limit (8 bytes a cell): a file that lost this
// many links has lost its sysallocunits, not a page of it.
constexpr size_t kMaxPairingCells = size_t{1} << 22;

bool Fits(const RecordShape& expected, const RecordShape& found) {
  return expected.columns == found.columns &&
         (expected.fixedSize == 0 || expected.fixedSize == found.fixedSize);
}

struct LostLink {
  uint64_t rowset = 0;
  uint32_t table = 0;
  RecordShape shape;
  bool holdsRows = false;  // its sysrowsets row counts rows
  bool unlisted = false;   // an object the catalog does not list: any shape
};

struct LostUnit {
  uint64_t unit = 0;
  RecordShape shape;
};

// An unlisted object's rowset may hold any unit: its shape is not known.
bool Fits(const LostLink& link, const LostUnit& unit) {
  return link.unlisted || Fits(link.shape, unit.shape);
}

uint64_t RecordedRows(const CMdfDatabase& db, uint32_t table) {
  auto it = db.catalog.tables.find(table);
  return it == db.catalog.tables.end() ? 0 : it->second.rowCount.value_or(0);
}

// The pairing of `links` with `units` that keeps both orders and pairs the
// most tables whose rowset counts rows, then the most rowsets of objects
// the catalog does not list (internal and system tables), then the most
// other tables; each table's pair gives it the unit's pages. A table
// counted empty thus takes a unit only where no unlisted object's rowset
// could hold it.
size_t Pair(CMdfDatabase& db, const AllocationIndex2005& index, std::vector<LostLink> links,
            const std::vector<LostUnit>& units) {
  std::sort(links.begin(), links.end(),
            [](const LostLink& a, const LostLink& b) { return a.rowset < b.rowset; });
  const size_t n = links.size(), m = units.size();
  if (n == 0 || m == 0 || n * m > kMaxPairingCells) return 0;
  // A pair of a table holding rows outweighs all other pairs together.
  auto weight = [&](const LostLink& link) -> uint64_t {
    return link.holdsRows ? 2 * n + 2 : link.unlisted ? 2 : 1;
  };
  // best[i][j]: the heaviest pairing among the first i links and j units.
  std::vector<std::vector<uint64_t>> best(n + 1, std::vector<uint64_t>(m + 1, 0));
  for (size_t i = 1; i <= n; ++i)
    for (size_t j = 1; j <= m; ++j) {
      best[i][j] = std::max(best[i - 1][j], best[i][j - 1]);
      if (Fits(links[i - 1], units[j - 1]))
        best[i][j] = std::max(best[i][j], best[i - 1][j - 1] + weight(links[i - 1]));
    }
  size_t paired = 0;
  for (size_t i = n, j = m; i > 0 && j > 0;) {
    if (Fits(links[i - 1], units[j - 1]) &&
        best[i][j] == best[i - 1][j - 1] + weight(links[i - 1])) {
      if (!links[i - 1].unlisted) {
        TakeUnitPages2005(db, links[i - 1].table, index, units[j - 1].unit);
        ++paired;
      }
      --i;
      --j;
    } else if (best[i][j] == best[i - 1][j]) {
      --i;
    } else {
      --j;
    }
  }
  return paired;
}

}  // namespace

RecordShape ExpectedShape2005(const TableInfo& table) {
  RecordShape shape;
  const PhysicalLayout2005& layout = table.physicalLayout2005;
  if (!layout.known) {
    shape.columns = static_cast<uint16_t>(table.columns.size());
    return shape;
  }
  shape.columns = static_cast<uint16_t>(layout.columns.size() + layout.hidden.size());
  size_t end = kFirstFixedOffset;
  for (const PhysicalColumn2005& h : layout.hidden)
    if (h.leafOffset >= kFirstFixedOffset) return shape;  // a hidden fixed column: size unknown
  for (const auto& [colid, p] : layout.columns) {
    if (p.leafOffset < kFirstFixedOffset) continue;
    const ColumnInfo& c = table.columns.at(colid);
    const size_t size = c.xtype == kBitType ? 1 : c.length;
    end = std::max(end, static_cast<size_t>(p.leafOffset) + size);
  }
  shape.fixedSize = static_cast<uint16_t>(end);
  return shape;
}

size_t MatchLostUnits2005(CMdfDatabase& db, const AllocationIndex2005& index) {
  std::vector<LostLink> links;
  for (const auto& [id, table] : db.catalog.tables) {
    auto list = db.dataPageLists.find(id);
    if (list != db.dataPageLists.end() && !list->second.empty()) continue;
    const std::vector<uint64_t>* rowsets = index.IdxRowsets(id);
    if (!rowsets || rowsets->empty() || rowsets->front() == 0) rowsets = index.DataRowsets(id);
    if (!rowsets || rowsets->empty() || rowsets->front() == 0) continue;
    const uint64_t rowset = rowsets->front();
    const std::vector<size_t>* units = index.UnitsOf(rowset);
    if (units && !units->empty()) continue;
    links.push_back(LostLink{rowset, id, ExpectedShape2005(table), RecordedRows(db, id) > 0});
  }
  if (links.empty()) return 0;
  for (uint32_t id : index.ObjectsWithDataRowsets()) {
    if (db.catalog.tables.contains(id)) continue;
    const std::vector<uint64_t>* rowsets = index.DataRowsets(id);
    if (!rowsets || rowsets->empty() || rowsets->front() == 0) continue;
    const std::vector<size_t>* units = index.UnitsOf(rowsets->front());
    if (units && !units->empty()) continue;
    LostLink link{rowsets->front(), id, RecordShape{}};
    link.unlisted = true;
    links.push_back(link);
  }

  std::vector<LostUnit> units;
  const UnitPages2005& scan = index.UnitPages();
  for (uint64_t unit : scan.UnitIds()) {
    if (unit < kFirstUserUnitId || index.HasUnitRow(unit)) continue;
    if (std::optional<RecordShape> shape = ReadRecordShape(db.Store(), *scan.PagesOf(unit)))
      units.push_back(LostUnit{unit, *shape});
  }
  if (units.empty()) return 0;
  std::sort(units.begin(), units.end(),
            [](const LostUnit& a, const LostUnit& b) { return a.unit < b.unit; });
  return Pair(db, index, std::move(links), units);
}

}  // namespace tollamer::sql2005
