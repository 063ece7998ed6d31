// The ten exports: file names, separators, lookups, replacement, unsafe
// names, encodings and failures to write; and the keys, constraints,
// identity and triggers each version's system rows give the scripts.
#include "output/schema_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/catalog/sql2000/open_catalog2000.h"
#include "engine/catalog/sql2005/open_catalog_2005.h"
#include "engine/catalog/table_lookup.h"
#include "output/safe_file_name.h"
#include "output/schema_export_constraints.h"
#include "output/script_texts.h"
#include "tests/fixtures/sql2000_database.h"
#include "tests/fixtures/sql2005_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> FilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

Catalog SampleCatalog() {
  Catalog c;
  c.tables[200] = {.id = 200, .fullName = "dbo.B", .columns = {{1, {"k", "int", "", " NOT NULL"}}}};
  c.tables[100] = {.id = 100, .fullName = "dbo.A",
                   .columns = {{1, {"x", "char", "(4)", " NULL"}}, {2, {"y", "int", "", " NULL"}}}};
  c.views = {{5, "dbo.v2", "CREATE VIEW v2 AS SELECT 2"}, {4, "dbo.v1", "CREATE VIEW v1 AS SELECT 1"}};
  c.procedures = {{6, "p", "CREATE PROC p AS SELECT 1"}};
  c.functions = {{7, "f", "CREATE FUNCTION f() RETURNS int AS BEGIN RETURN 1 END"},
                 {8, "g", "CREATE FUNCTION g() RETURNS int AS BEGIN RETURN 2 END"}};
  c.userTypes = {{"id", "varchar(11)", "NOT NULL"}, {"tid", "varchar(6)", "NULL"}};
  return c;
}

// A table without an owner, one whose columns are lost and a table type:
// no statement that a server would refuse.
TEST(TableScriptTest, NoOwnerLostColumnsAndTableTypes) {
  TableInfo t{.fullName = "Orders"};
  t.columns[1] = {"id", "int", "", " NOT NULL"};
  EXPECT_EQ(BuildTableScript(t), "CREATE TABLE [].[Orders]\r\n(\r\n[id] int  NOT NULL\r\n)\r\n");
  TableInfo lost{.fullName = "dbo.a.b"};
  EXPECT_EQ(BuildTableScript(lost),
            "-- [dbo].[a.b]: its columns are lost (no column rows found in the system tables)\r\n");
  EXPECT_EQ(BuildTypeStatement({"list", "", "NOT NULL"}).substr(0, 11), "-- [list]: ");
}

// Each kind's file of all objects (tables by ascending object id, whatever
// the insertion order; an old file is replaced, not appended to) and the
// file of one selected object.
TEST(SchemaExportTest, FileNamesAndTextsOfEveryKind) {
  testing::TempDir dir;
  const std::string folder = dir.path().string();
  const Catalog c = SampleCatalog();
  dir.Write("AllProcs.sql", fixtures::Bytes(5000, 'z'));
  struct Case {
    SchemaObjectKind kind;
    const char* all_file;
    std::string all_text;
    const char* selected;
    const char* selected_file;
    std::string selected_text;
  };
  const std::string a = "CREATE TABLE [dbo].[A]\r\n(\r\n[x] char(4)  NULL,\r\n[y] int  NULL\r\n)\r\nGO";
  const std::string g = "CREATE FUNCTION g() RETURNS int AS BEGIN RETURN 2 END";
  const std::string tid = "EXEC sp_addtype N'tid', N'varchar(6)',N'NULL'";
  const Case cases[] = {
      {SchemaObjectKind::kTable, "AllTable.sql",
       a + "\r\n\r\nCREATE TABLE [dbo].[B]\r\n(\r\n[k] int  NOT NULL\r\n)\r\nGO\r\n\r\n", "dbo.A",
       "dbo.A(TableStruct).sql", a},
      {SchemaObjectKind::kView, "AllViews.sql",
       "CREATE VIEW v2 AS SELECT 2\r\ngo\r\n\r\nCREATE VIEW v1 AS SELECT 1\r\ngo\r\n\r\n", "dbo.v1",
       "dbo.v1(View).sql", "CREATE VIEW v1 AS SELECT 1"},
      {SchemaObjectKind::kProcedure, "AllProcs.sql", "CREATE PROC p AS SELECT 1\r\ngo\r\n\r\n", "p",
       "p(Proc).sql", "CREATE PROC p AS SELECT 1"},
      {SchemaObjectKind::kFunction, "AllFun.sql",
       "CREATE FUNCTION f() RETURNS int AS BEGIN RETURN 1 END\r\ngo\r\n\r\n" + g + "\r\ngo\r\n\r\n", "g",
       "g(Func).sql", g},
      {SchemaObjectKind::kUserType, "AllUtype.sql",
       "EXEC sp_addtype N'id', N'varchar(11)',N'NOT NULL'\r\n  GO\r\n\r\n" + tid + "\r\n  GO\r\n\r\n",
       "tid", "tid(Type).sql", tid},
  };
  for (const Case& k : cases) {
    ExportResult all = ExportAllObjects(c, k.kind, folder, OutputEncoding::kUtf8);
    ASSERT_EQ(all.status, ExportStatus::kWritten) << all.error;
    EXPECT_EQ(all.path, folder + "/" + k.all_file);
    EXPECT_EQ(testing::ReadText(all.path), k.all_text);
  }
  // Nothing but the five files: no temporary left over.
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"AllFun.sql", "AllProcs.sql",
                                                            "AllTable.sql", "AllUtype.sql",
                                                            "AllViews.sql"}));
  for (const Case& k : cases) {
    ExportResult one = ExportSelectedObject(c, k.kind, k.selected, folder, OutputEncoding::kUtf8);
    ASSERT_EQ(one.status, ExportStatus::kWritten) << one.error;
    EXPECT_EQ(one.path, folder + "/" + k.selected_file);
    EXPECT_EQ(testing::ReadText(one.path), k.selected_text);
  }
}

TEST(SelectedObjectLookupTest, ExactCaseSensitiveFirstMatchInTheKindsOwnList) {
  Catalog c = SampleCatalog();
  // Tables: the full name, the name without its owner, in brackets, in any
  // case, without its blanks, or the object id.
  c.tables[300] = {.id = 300, .fullName = "sales.Order Details"};
  c.tables[301] = {.id = 301, .fullName = "dbo.Order Details"};
  c.tables[302] = {.id = 302, .fullName = "dbo.ORDER details"};
  c.tables[303] = {.id = 303, .fullName = "dbo.Straße x]"};
  const std::vector<std::pair<const char*, uint32_t>> found = {
      {"dbo.B", 200}, {"B", 200}, {"200", 200}, {"dbo.b", 200}, {"[dbo].[b]", 200},
      {"dbo.Order Details", 301}, {"dbo.ORDER details", 302}, {"sales.orderdetails", 300},
      {"[dbo].[STRASSE x]]]", 0}, {"[dbo].[STRAßE X]]]", 303}, {"straßex]", 303}};
  for (const auto& [name, id] : found) {
    TableLookup r = LookupTable(c, name);
    EXPECT_EQ(r.table ? r.table->id : 0, id) << name;
  }
  // Several tables at the first tier that answers: ambiguous, with all of them.
  TableLookup ambiguous = LookupTable(c, "order details");
  EXPECT_EQ(ambiguous.table, nullptr);
  EXPECT_EQ(ambiguous.candidates.size(), 3u);
  EXPECT_EQ(LookupTable(c, "Order Details").candidates.size(), 2u);
  EXPECT_EQ(LookupTable(c, "Order Details", {"SALES"}).table->id, 300u);
  TableSelection picked = SelectTables(c, {"b", "300"}, {});
  EXPECT_EQ(picked.ids, (std::vector<uint32_t>{200, 300}));
  EXPECT_EQ(SelectTables(c, {}, {"sales"}).ids, (std::vector<uint32_t>{300}));
  EXPECT_EQ(SelectTables(c, {"orderdetails"}, {}).candidates.size(), 3u);
  EXPECT_EQ(SelectTables(c, {"nope"}, {}).missing, "nope");
  // A view is not found through the table list, nor a table through the views.
  EXPECT_EQ(FindTableByName(c, "dbo.v1"), nullptr);
  EXPECT_EQ(FindSelectedModule(c, SchemaObjectKind::kView, "dbo.A"), nullptr);
  EXPECT_EQ(FindSelectedModule(c, SchemaObjectKind::kProcedure, "f"), nullptr);
  // Names are taken whole, "(" and all.
  c.views.push_back({9, "dbo.w(1)", "first"});
  c.views.push_back({10, "dbo.w(1)", "second"});
  const ModuleInfo* w = FindSelectedModule(c, SchemaObjectKind::kView, "dbo.w(1)");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->text, "first");
  EXPECT_EQ(FindSelectedModule(c, SchemaObjectKind::kView, "dbo.w"), nullptr);
  EXPECT_EQ(FindSelectedUserType(c, "ID"), nullptr);
  ASSERT_NE(FindSelectedUserType(c, "id"), nullptr);
}

TEST(SelectedObjectExportTest, NoMatchWritesNothingAndTheFolderIsChecked) {
  testing::TempDir dir;
  Catalog c = SampleCatalog();
  // The selected-table command with a view selected writes nothing.
  EXPECT_EQ(ExportSelectedObject(c, SchemaObjectKind::kTable, "dbo.v1", dir.path().string()).status,
            ExportStatus::kNoSuchObject);
  EXPECT_EQ(ExportSelectedObject(c, SchemaObjectKind::kFunction, "F", dir.path().string()).status,
            ExportStatus::kNoSuchObject);
  EXPECT_TRUE(FilesIn(dir.path()).empty());
  // A view is looked up before the folder: no match wins over a missing folder;
  // a table is looked up only once the folder is accepted.
  EXPECT_EQ(ExportSelectedObject(c, SchemaObjectKind::kView, "nope", dir.File("missing")).status,
            ExportStatus::kNoSuchObject);
  EXPECT_EQ(ExportSelectedObject(c, SchemaObjectKind::kTable, "nope", dir.File("missing")).status,
            ExportStatus::kFolderMissing);

  // A missing folder, a trailing separator and a script that cannot be created.
  ExportResult r = ExportAllObjects(c, SchemaObjectKind::kTable, dir.File("nowhere"));
  EXPECT_EQ(r.status, ExportStatus::kFolderMissing);
  EXPECT_FALSE(fs::exists(dir.File("nowhere")));
  // A regular file is not a folder either.
  dir.Write("plain", {1});
  EXPECT_EQ(ExportAllObjects(c, SchemaObjectKind::kView, dir.File("plain")).status,
            ExportStatus::kFolderMissing);
  EXPECT_EQ(ExportAllObjects(c, SchemaObjectKind::kView, "").status, ExportStatus::kFolderMissing);

  // A trailing separator is kept.
  const std::string folder = dir.path().string() + "/";
  r = ExportAllObjects(c, SchemaObjectKind::kProcedure, folder);
  ASSERT_EQ(r.status, ExportStatus::kWritten);
  EXPECT_EQ(r.path, folder + "/AllProcs.sql");
  // A directory already holds the script's name: the rename into place
  // fails, reported, and nothing is left.
  fs::create_directory(dir.File("AllFun.sql"));
  fs::create_directory(dir.File("AllFun.sql") + "/inside");
  r = ExportAllObjects(c, SchemaObjectKind::kFunction, dir.path().string());
  EXPECT_EQ(r.status, ExportStatus::kWriteFailed);
  EXPECT_FALSE(r.error.empty());
  EXPECT_EQ(FilesIn(dir.path()),
            (std::vector<std::string>{"AllFun.sql", "AllProcs.sql", "inside", "plain"}));
}

TEST(UnsafeNameTest, ViewClimbingOutOfTheFolderStaysInside) {
  testing::TempDir outer;
  fs::path folder = outer.path() / "a" / "b";
  fs::create_directories(folder);
  const Catalog c{.views = {{1, "../../x", "CREATE VIEW [../../x] AS SELECT 1"}}};
  ExportResult r = ExportSelectedObject(c, SchemaObjectKind::kView, "../../x", folder.string());
  ASSERT_EQ(r.status, ExportStatus::kWritten) << r.error;
  EXPECT_EQ(fs::path(r.path).parent_path(), folder);
  EXPECT_EQ(fs::path(r.path).filename(), "______x(View).sql");
  // The script keeps the real name.
  EXPECT_EQ(testing::ReadText(r.path), "\xEF\xBB\xBF" "CREATE VIEW [../../x] AS SELECT 1");
  EXPECT_EQ(FilesIn(outer.path()), (std::vector<std::string>{"______x(View).sql", "a", "b"}));
}

TEST(UnsafeNameTest, EveryUnsafeCharacterBecomesAnUnderscore) {
  EXPECT_EQ(SafeFileNamePart("dbo.Orders"), "dbo.Orders");
  EXPECT_EQ(SafeFileNamePart("a/b\\c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(SafeFileNamePart(std::string("t\x01\t\x7F", 4)), "t___");
  EXPECT_EQ(SafeFileNamePart(".."), "__");
  EXPECT_EQ(SafeFileNamePart("a...b.c"), "a___b.c");
  EXPECT_EQ(SafeFileNamePart("dbo.订单"), "dbo.订单");
  EXPECT_EQ(SelectedObjectFileName(SchemaObjectKind::kTable, "C:\\x"), "C__x(TableStruct).sql");
  EXPECT_EQ(PathInFolder("/d", ".."), std::nullopt);
  EXPECT_EQ(PathInFolder("/d", "a/b"), std::nullopt);
  EXPECT_EQ(PathInFolder("/d", ""), std::nullopt);
  EXPECT_EQ(PathInFolder("/d", "a.sql"), "/d/a.sql");
}

TEST(EncodingTest, ChineseTableNameInUtf8AndGbk) {
  testing::TempDir dir;
  Catalog c;
  TableInfo t{.id = 1, .fullName = "dbo.订单"};
  t.columns[1] = {"编号", "int", "", " NOT NULL"};
  c.tables[1] = t;
  const std::string folder = dir.path().string();

  ExportResult utf8 = ExportSelectedObject(c, SchemaObjectKind::kTable, "dbo.订单", folder);
  ASSERT_EQ(utf8.status, ExportStatus::kWritten);
  EXPECT_EQ(fs::path(utf8.path).filename(), "dbo.订单(TableStruct).sql");
  EXPECT_EQ(testing::ReadText(utf8.path),  // a byte-order mark first
            "\xEF\xBB\xBF" "CREATE TABLE [dbo].[订单]\r\n(\r\n[编号] int  NOT NULL\r\n)\r\nGO");

  ExportResult gbk = ExportAllObjects(c, SchemaObjectKind::kTable, folder, OutputEncoding::kGbk);
  ASSERT_EQ(gbk.status, ExportStatus::kWritten);
  // 订 = B6 A9, 单 = B5 A5, 编 = B1 E0, 号 = BA C5 in GBK.
  EXPECT_EQ(testing::ReadText(gbk.path),
            "CREATE TABLE [dbo].[\xB6\xA9\xB5\xA5]\r\n(\r\n[\xB1\xE0\xBA\xC5] int  NOT NULL\r\n)"
            "\r\nGO\r\n\r\n");
  EXPECT_EQ(gbk.unmappable, 0u);

  // A name GBK cannot hold (Thai, an emoji): written as '?', counted and named.
  c.tables[1].columns[2] = {"ชื่อ😀", "int", "", " NULL"};
  ExportResult lacking = ExportAllObjects(c, SchemaObjectKind::kTable, folder, OutputEncoding::kGbk);
  ASSERT_EQ(lacking.status, ExportStatus::kWritten);
  EXPECT_NE(testing::ReadText(lacking.path).find("[?????] int  NULL"), std::string::npos);
  EXPECT_EQ(lacking.unmappable, 5u);
  EXPECT_EQ(lacking.firstUnmappable,
            (std::vector<std::string>{"ช", "ื", "่", "อ", "😀"}));
}

// jobs (id 101) and employee (id 102), the same keys for both versions.
struct KeyCase {
  const char* name;
  void (*change)(fixtures::TableKeys& jobs, fixtures::TableKeys& employee);
  std::vector<std::string> statements;  // after the CREATE TABLE statements
};

using fixtures::KeyIndex;

fixtures::TableKeys JobsKeys() {
  return {.indexes = {{1, "PK_jobs", KeyIndex::Kind::kPrimaryKey, 201, true, true, {1}, {}, {}}},
          .dependents = {{202, "D ", "DF_jobs_desc", 2, "('New')"},
                         {203, "C ", "CK_jobs_lvl", 0, "([min_lvl]>=(10))"}},
          .identity = fixtures::KeyIdentity{1, 2, 14, 5, 100}};
}

fixtures::TableKeys EmployeeKeys() {
  return {.indexes = {{1, "employee_ind", KeyIndex::Kind::kIndex, 0, true, false, {3, 1}, {}, {}},
                      {2, "PK_emp_id", KeyIndex::Kind::kPrimaryKey, 211, false, true, {1}, {}, {}},
                      {3, "UQ_emp_lname", KeyIndex::Kind::kUnique, 212, false, true, {3}, {}, {}}},
          .foreignKeys = {{213, "FK_emp_job", 101, {2}, {1}}},
          .dependents = {{214, "TR", "emp_trig", 0, "CREATE TRIGGER emp_trig ON employee FOR INSERT AS RETURN"}}};
}

const std::string kEnd = "\r\nGO\r\n\r\n";
const std::string kJobsKey = "ALTER TABLE [dbo].[jobs] ADD CONSTRAINT [PK_jobs] PRIMARY KEY CLUSTERED ([job_id])";
const std::string kJobsDefault = "ALTER TABLE [dbo].[jobs] ADD CONSTRAINT [DF_jobs_desc] DEFAULT ('New') FOR [job_desc]";
const std::string kJobsCheck = "ALTER TABLE [dbo].[jobs] ADD CONSTRAINT [CK_jobs_lvl] CHECK ([min_lvl]>=(10))";
const std::string kEmpKey = "ALTER TABLE [dbo].[employee] ADD CONSTRAINT [PK_emp_id] PRIMARY KEY NONCLUSTERED ([emp_id])";
const std::string kEmpUnique = "ALTER TABLE [dbo].[employee] ADD CONSTRAINT [UQ_emp_lname] UNIQUE NONCLUSTERED ([lname])";
const std::string kEmpIndex = "CREATE CLUSTERED INDEX [employee_ind] ON [dbo].[employee] ([lname], [emp_id])";
const std::string kEmpForeign = "ALTER TABLE [dbo].[employee] ADD CONSTRAINT [FK_emp_job] FOREIGN KEY ([job_id]) REFERENCES [dbo].[jobs] ([job_id])";

// A lost or damaged row costs its own statement only.
const KeyCase kKeyCases[] = {
    {"every row intact", [](auto&, auto&) {},
     {kJobsKey, kJobsDefault, kJobsCheck, kEmpKey, kEmpUnique, kEmpIndex, kEmpForeign}},
    {"the default's text row is lost", [](auto& jobs, auto&) { jobs.dependents[0].text.clear(); },
     {kJobsKey, kJobsCheck, kEmpKey, kEmpUnique, kEmpIndex, kEmpForeign}},
    {"a foreign key names a table the file lost",
     [](auto&, auto& emp) { emp.foreignKeys[0].referencedTable = 999; },
     {kJobsKey, kJobsDefault, kJobsCheck, kEmpKey, kEmpUnique, kEmpIndex,
      "-- [FK_emp_job] of [dbo].[employee] left out: the columns of the referenced table "
      "(object 999) are not known\r\n\r\n"}},
    {"an index key names a column the table lacks",
     [](auto&, auto& emp) { emp.indexes[2].keys = {7}; },
     {kJobsKey, kJobsDefault, kJobsCheck, kEmpKey,
      "-- [UQ_emp_lname] of [dbo].[employee] left out: a key column is not among the table's "
      "columns\r\n\r\n",
      kEmpIndex, kEmpForeign}},
};

// The tables-file's statements after its CREATE TABLE statements.
std::string KeyStatements(const Catalog& c) {
  std::string out;
  for (const auto& [id, t] : c.tables) out += BuildKeyStatements(t);
  for (const auto& [id, t] : c.tables) out += BuildForeignKeyStatements(c, t);
  return out;
}

std::string Joined(const std::vector<std::string>& statements) {
  std::string out;
  for (const std::string& s : statements) out += s.starts_with("--") ? s : s + kEnd;
  return out;
}

// The file of a key case opened, its catalog read, and its scripts checked.
void CheckKeyScripts(const KeyCase& k, const fixtures::Bytes& image, bool is2000) {
  testing::TempDir dir;
  RecordingMessages messages;
  CMdfDatabase db(messages);
  ASSERT_TRUE(db.OpenFile(dir.Write("keys.mdf", image)));
  if (is2000) OpenCatalog2000(db);
  else sql2005::OpenCatalog2005(db);
  EXPECT_EQ(KeyStatements(db.catalog), Joined(k.statements));
  const Catalog& c = db.catalog;
  ASSERT_EQ(c.tables.size(), 2u);
  EXPECT_NE(BuildTableScript(c.tables.at(101)).find("[job_id] smallint IDENTITY(100,5)  NOT NULL,"),
            std::string::npos);
  ASSERT_EQ(c.triggers.size(), 1u);
  EXPECT_EQ(c.triggers[0].fullName, "dbo.emp_trig");
  EXPECT_EQ(c.triggers[0].text, "CREATE TRIGGER emp_trig ON employee FOR INSERT AS RETURN");
}

// jobs and employee, clustered, with their keys as `k` leaves them.
template <class Table>
std::vector<Table> KeyTables(const KeyCase& k) {
  Table jobs{101, "jobs", 1, {{"job_id", 52, 0, 2, 5, 0, true},
                              {"job_desc", 167, 0, 50, 0, 0, true},
                              {"min_lvl", 48, 0, 1, 3, 0, true}}};
  Table emp{102, "employee", 1, {{"emp_id", 175, 0, 9, 0, 0, true},
                                 {"job_id", 52, 0, 2, 5, 0, true},
                                 {"lname", 167, 0, 30, 0, 0, true}}};
  jobs.clustered = emp.clustered = true;
  jobs.keys = JobsKeys();
  emp.keys = EmployeeKeys();
  k.change(jobs.keys, emp.keys);
  return {jobs, emp};
}

TEST(SchemaKeysTest, EachVersionsRowsGiveEachStatement) {
  for (const KeyCase& k : kKeyCases) {
    SCOPED_TRACE(k.name);
    const fixtures::sql2000::Database2000 d{.tables = KeyTables<fixtures::sql2000::Table2000>(k)};
    CheckKeyScripts(k, fixtures::sql2000::BuildDatabase2000(d).Image(), true);
  }
  std::vector<KeyCase> cases(std::begin(kKeyCases), std::end(kKeyCases));
  // Included and descending columns, which only later files keep.
  cases.push_back({"included and descending columns",
                   [](auto&, auto& emp) {
                     emp.indexes[2] = {3, "IX_emp", KeyIndex::Kind::kIndex, 0, false, false,
                                       {3, 1}, {1}, {2}};
                   },
                   {kJobsKey, kJobsDefault, kJobsCheck, kEmpKey, kEmpIndex,
                    "CREATE NONCLUSTERED INDEX [IX_emp] ON [dbo].[employee] ([lname], [emp_id] "
                    "DESC) INCLUDE ([job_id])",
                    kEmpForeign}});
  for (auto version : {fixtures::FormatVersion::kSql2005, fixtures::FormatVersion::kSql2008}) {
    for (const KeyCase& k : cases) {
      SCOPED_TRACE(k.name);
      const fixtures::sql2005::Database2005 d{.version = version,
                                              .tables = KeyTables<fixtures::sql2005::Table2005>(k)};
      CheckKeyScripts(k, fixtures::sql2005::BuildDatabase2005(d).file.Image(), false);
    }
  }
}

}  // namespace
}  // namespace tollamer
