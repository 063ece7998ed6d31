// The builder answers its lookups from indexes built in one pass over each
// system page list. Here the same catalog is built by walking the lists
// again for every lookup, as a plain reading of the system tables would,
// and both must agree in every field, order and page list.
#include <gtest/gtest.h>

#include "engine/catalog/sql2005/columns_2005.h"
#include "engine/catalog/sql2005/iam_page_2005.h"
#include "engine/catalog/sql2005/locate_system_tables_2005.h"
#include "engine/catalog/sql2005/module_text_2005.h"
#include "engine/catalog/sql2005/system_row_layout_2005.h"
#include "engine/catalog/sql2005/system_rows_2005.h"
#include "engine/catalog/sql2005/system_tables_2005.h"
#include "engine/catalog/type_texts.h"
#include "engine/pagestore/iam_chain.h"
#include "tests/catalog2005/catalog2005_test_support.h"

namespace tollamer::sql2005 {
namespace {

using namespace fixtures;
using namespace fixtures::sql2005;

// ---- The straightforward walks -------------------------------------------

struct Walker {
  CMdfDatabase& db;
  const SystemPages2005& lists = db.systemPages2005;
  const PageStore& store = db.Store();

  template <typename F>
  void Rows(const SystemPageList& list, SlotFilter keep, F f) {
    ForEachSystemRow(store, list, keep, f);
  }

  std::string TypeName(uint32_t id) {
    std::string name;
    bool found = false;
    Rows(lists.sysscalartypes, AnySlot, [&](ByteView p, uint16_t o) {
      auto r = DecodeScalarTypeRow(p, o);
      if (found || !r || r->id != id) return true;
      name = ScalarTypeName(p, o);
      found = true;
      return false;
    });
    return name;
  }
  std::string Schema(uint16_t id) {
    if (lists.sysclsobjs.empty()) return {};
    SystemPageList first;
    first.Append(*lists.sysclsobjs.begin());
    std::string name;
    bool found = false;
    Rows(first, AnySlot, [&](ByteView p, uint16_t o) {
      auto r = DecodeClsObjRow(p, o);
      if (found || !r || r->cls != 50 || r->id != id) return true;
      name = ClsObjName(p, o);
      found = true;
      return false;
    });
    return name;
  }
  uint64_t RowCount(uint32_t id) {
    uint64_t rows = 0;
    bool found = false;
    Rows(lists.sysrowsets, AnySlot, [&](ByteView p, uint16_t o) {
      auto r = DecodeRowsetRow(p, o);
      if (found || !r || r->idMajor != id) return true;
      rows = r->rcRows;
      found = true;
      return false;
    });
    return rows;
  }
  void Columns(uint32_t id, std::map<uint16_t, ColumnInfo>& out) {
    Rows(lists.syscolpars, ColumnSlot, [&](ByteView p, uint16_t o) {
      auto r = DecodeColParRow(p, o);
      if (!r || (r->status & 0x90) == 0x90 || r->id != id) return true;
      ColumnInfo c;
      c.name = ColParName(p, o);
      c.typeName = TypeName(r->utype);
      c.sizeText = ColumnSizeText2005(r->xtype, r->utype, r->length, r->prec, r->scale);
      c.nullText = ColumnNullText(static_cast<uint8_t>(r->status));
      c.xtype = r->xtype;
      c.xusertype = r->utype;
      c.xprec = r->prec;
      c.xscale = r->scale;
      c.length = r->length;
      c.colid = r->colid;
      c.xoffset = 1;
      out.emplace(r->colid, c);
      return true;
    });
  }
  std::string ModuleText(uint32_t id) {
    std::string text;
    Rows(lists.sysobjvalues, ModuleTextSlot, [&](ByteView p, uint16_t o) {
      auto r = DecodeObjValueRow(p, o);
      if (r && r->objId == id)
        if (auto piece = ReadModuleTextPiece(store, p, o)) text += *piece;
      return true;
    });
    return text;
  }
  void AppendIfData(uint32_t table, uint64_t page) {
    auto h = store.ReadHeader(page);
    if (h && h->type == 1) db.dataPageLists[table].push_back(page);
  }
  bool FollowUnit(uint32_t table, const AllocUnitRow& u) {
    auto iam = ReadIamPage(store, u.firstIam);
    if (!iam) return false;
    for (uint64_t p : iam->singlePages) AppendIfData(table, p);
    db.catalog.tables.at(table).gridPageCount = 1;
    std::vector<uint64_t> extents;
    if (!WalkIamChain(store, u.firstIam, extents)) return false;
    for (uint64_t e : extents) {
      for (uint64_t k = 0; k < 8; ++k) AppendIfData(table, 8 * e + k);
      ++db.catalog.tables.at(table).gridPageCount;
    }
    return true;
  }
  bool Locate(uint32_t table) {
    for (uint64_t page_number : lists.sysidxstats) {
      SystemPageList one;
      one.Append(page_number);
      std::optional<uint64_t> rowset;
      Rows(one, IdxStatSlot, [&](ByteView p, uint16_t o) {
        auto r = DecodeIdxStatRow(p, o);
        if (!r || r->id != table || r->indid > 1) return true;
        rowset = r->rowset;
        return false;
      });
      if (!rowset) continue;
      std::set<uint64_t> refs;
      if (*rowset == 0)
        Rows(lists.sysrowsetrefs, RowsetRefSlot, [&](ByteView p, uint16_t o) {
          auto r = DecodeRowsetRefRow(p, o);
          if (r && r->objId == table) refs.insert(r->rowsetId);
          return true;
        });
      bool failed = false, done = false;
      Rows(lists.sysallocunits, RowsetRefSlot, [&](ByteView p, uint16_t o) {
        if (failed || done) return false;
        auto u = DecodeAllocUnitRow(p, o);
        if (!u || u->type != 1) return true;
        if (*rowset != 0 ? u->ownerId != *rowset : !refs.contains(u->ownerId)) return true;
        if (!FollowUnit(table, *u)) failed = true;
        else if (*rowset != 0) done = true;
        return !(failed || done);
      });
      if (failed) return false;
      if (done) return true;
    }
    return true;
  }
  void Owner(uint32_t table) {
    auto it = db.dataPageLists.find(table);
    if (it == db.dataPageLists.end() || it->second.empty()) return;
    db.pageOwnerMap.try_emplace(store.ReadHeader(it->second.front())->objId, table);
  }

  void Build() {
    Rows(lists.sysscalartypes, AnySlot, [&](ByteView p, uint16_t o) {
      auto r = DecodeScalarTypeRow(p, o);
      if (!r || r->id == r->xtype || r->id == 256) return true;
      TypeShape shape{r->xtype, r->xtype, r->length, r->prec, r->scale};
      db.catalog.userTypes.push_back({TypeName(r->id), UserTypeBaseText(TypeName(r->xtype), shape),
                                      UserTypeNullText(static_cast<uint8_t>(r->status))});
      return true;
    });
    Rows(lists.sysschobjs, ObjectListSlot, [&](ByteView p, uint16_t o) {
      auto r = DecodeSchObjRow(p, o);
      if (!r) return true;
      std::string type(r->type.begin(), r->type.end());
      std::string name = SchObjName(p, o);
      if (type == "U ") {
        TableInfo t;
        t.id = r->id;
        t.rowCount = RowCount(r->id);
        t.fullName = Schema(r->nsid) + "." + name;
        Columns(r->id, t.columns);
        if (db.catalog.tables.emplace(r->id, t).second) {
          Locate(r->id);
          Owner(r->id);
        }
      } else if (type == "V ") {
        db.catalog.views.push_back({r->id, Schema(r->nsid) + "." + name, ModuleText(r->id)});
      } else if (type == "P ") {
        db.catalog.procedures.push_back({r->id, name, ModuleText(r->id)});
      } else if (type == "FN") {
        db.catalog.functions.push_back({r->id, name, ModuleText(r->id)});
      }
      return true;
    });
  }
};

// ---- The comparison ---------------------------------------------------------

Database2005 ManyTables(size_t count) {
  Database2005 d;
  d.schemas = {{1, "dbo"}, {4, "sys"}, {7, "hr"}};
  d.userTypes = {{257, "code", 175, 6, 0, 0, true}, {258, "money2", 108, 9, 12, 4, false}};
  for (uint32_t i = 0; i < count; ++i) {
    Table2005 t{10000 + 7 * (count - i), "Table " + std::to_string(i), i % 3 == 0 ? 7u : 1u};
    t.rowCount = i * 11;
    t.dataPages = i % 5 == 0 ? 0 : 1 + i % 19;
    t.clustered = i % 2 == 0;
    t.viaRowsetRefs = i % 7 == 3;
    if (i % 13 == 5) t.pageObjId = 0x2000;  // several tables share an m_objId
    t.columns = {{"id", 56, 0, 4, 10, 0, true},      {"name", 231, 0, 80},
                 {"code", 175, 257, 6, 0, 0, true},  {"amount", 108, 258, 9, 12, 4},
                 {"when", 42, 0, 8, 27, i % 8 == 0 ? 3 : 7}, {"blob", 165, 0, 0xFFFF}};
    if (i % 4 == 1) t.columns.push_back({"again", 61, 0, 8, 23, 3, false, 2});
    d.tables.push_back(t);
  }
  for (uint32_t i = 0; i < count / 4; ++i) {
    const char* types[] = {"V ", "P ", "FN", "TR"};
    d.modules.push_back({900000 + i, "module " + std::to_string(i), types[i % 4], i % 2 ? 7u : 1u,
                         {"CREATE something " + std::to_string(i), " AS BEGIN", " END"},
                         i % 3 == 0, i % 5 == 0});
  }
  return d;
}

void ExpectSameColumns(const ColumnInfo& a, const ColumnInfo& b) {
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.typeName, b.typeName);
  EXPECT_EQ(a.sizeText, b.sizeText);
  EXPECT_EQ(a.nullText, b.nullText);
  EXPECT_EQ(a.xtype, b.xtype);
  EXPECT_EQ(a.xusertype, b.xusertype);
  EXPECT_EQ(a.xprec, b.xprec);
  EXPECT_EQ(a.xscale, b.xscale);
  EXPECT_EQ(a.length, b.length);
  EXPECT_EQ(a.colid, b.colid);
}

void ExpectSameModules(const std::vector<ModuleInfo>& a, const std::vector<ModuleInfo>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].id, b[i].id);
    EXPECT_EQ(a[i].fullName, b[i].fullName);
    EXPECT_EQ(a[i].text, b[i].text);
  }
}

TEST(CatalogIndex2005, IndexedBuildEqualsThePlainWalk) {
  Built2005 built = BuildDatabase2005(ManyTables(160));
  PageOwnerConflict conflict;
  auto indexed = OpenBuilt(built.file, conflict);
  ASSERT_FALSE(indexed->result.usedFallback);
  EXPECT_EQ(indexed->messages.stops.size(), 1u);  // the shared m_objId

  auto walked = WriteAndOpen(built.file);
  ASSERT_TRUE(LocateSystemTables2005(walked->db.Store(), walked->db.systemPages2005).ok);
  Walker{walked->db}.Build();

  const Catalog& a = indexed->db.catalog;
  const Catalog& b = walked->db.catalog;
  ASSERT_EQ(a.tables.size(), 160u);
  ASSERT_EQ(a.tables.size(), b.tables.size());
  for (const auto& [id, ta] : a.tables) {
    const TableInfo& tb = b.tables.at(id);
    EXPECT_EQ(ta.fullName, tb.fullName);
    EXPECT_EQ(ta.rowCount, tb.rowCount);
    EXPECT_EQ(ta.gridPageCount, tb.gridPageCount) << ta.fullName;
    ASSERT_EQ(ta.columns.size(), tb.columns.size());
    for (const auto& [colid, c] : ta.columns) ExpectSameColumns(c, tb.columns.at(colid));
  }
  ExpectSameModules(a.views, b.views);
  ExpectSameModules(a.procedures, b.procedures);
  ExpectSameModules(a.functions, b.functions);
  ASSERT_EQ(a.userTypes.size(), b.userTypes.size());
  for (size_t i = 0; i < a.userTypes.size(); ++i) {
    EXPECT_EQ(a.userTypes[i].name, b.userTypes[i].name);
    EXPECT_EQ(a.userTypes[i].baseTypeText, b.userTypes[i].baseTypeText);
    EXPECT_EQ(a.userTypes[i].nullText, b.userTypes[i].nullText);
  }
  EXPECT_EQ(indexed->db.dataPageLists, walked->db.dataPageLists);
  EXPECT_EQ(indexed->db.pageOwnerMap, walked->db.pageOwnerMap);
  EXPECT_FALSE(indexed->db.dataPageLists.empty());
}

}  // namespace
}  // namespace tollamer::sql2005
