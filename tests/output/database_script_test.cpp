// Scripts that rebuild a database whatever its names hold: every bracketed
// identifier closes where its name ends, in every statement; Database.sql's
// order, collations, referential actions, filters and module options.
#include <gtest/gtest.h>

#include <set>

#include "output/database_script.h"
#include "output/schema_export_constraints.h"
#include "output/script_texts.h"
#include "output/sql_insert.h"

namespace tollamer {
namespace {

// The bracketed identifiers of a T-SQL text (]] read as one ]), skipping
// 'literals' ('' inside) and -- comments. `balanced` is false when the text
// ends inside an identifier or a literal.
struct Tokens {
  std::vector<std::string> identifiers;
  bool balanced = true;
};
Tokens Tokenize(const std::string& sql) {
  Tokens out;
  for (size_t at = 0; at < sql.size();) {
    const char c = sql[at];
    if (c == '-' && sql.compare(at, 2, "--") == 0) {
      at = sql.find('\n', at);
      if (at == std::string::npos) break;
    } else if (c == '[' || c == '\'') {
      const char close = c == '[' ? ']' : '\'';
      std::string text;
      bool closed = false;
      for (++at; at < sql.size(); ++at) {
        if (sql[at] != close) {
          text.push_back(sql[at]);
        } else if (at + 1 < sql.size() && sql[at + 1] == close) {
          text.push_back(close);
          ++at;
        } else {
          closed = true;
          ++at;
          break;
        }
      }
      out.balanced = out.balanced && closed;
      if (c == '[') out.identifiers.push_back(text);
    } else {
      ++at;
    }
  }
  return out;
}

TEST(IdentifierEscapingTest, EveryBracketedIdentifierClosesWhereItsNameEnds) {
  const std::string schema = "s]'\";-- ü", table = "x]'\";--", other = "Ordér ]]Détails",
                    column = "c]'\"; ü", key = "PK ]x'", index = "ix];'\"", check = "CK]'--",
                    fk = "FK \"]'", type = "t]'\"", def = "DF];";
  Catalog c;
  c.collationId = 0x0000D008;
  TableInfo t{.id = 1, .fullName = schema + "." + table};
  t.columns[1] = {column, "int", "", " NOT NULL"};
  t.columns[2] = {"plain", type, "", " NULL"};
  t.columns[2].xtype = 167;
  t.constraints.indexes = {{IndexInfo::Kind::kPrimaryKey, key, true, true, {{1, false}}, {}, {}},
                           {IndexInfo::Kind::kIndex, index, false, false, {{2, true}}, {1}, {}}};
  t.constraints.defaults = {{def, 2, "('x')"}};
  t.constraints.checks = {{check, "([plain]<>'')"}};
  t.constraints.foreignKeys = {{fk, 2, {1}, {1}}};
  c.tables[1] = t;
  c.tables[2] = {.id = 2, .fullName = "dbo." + other};
  c.tables[2].columns[1] = {column, "int", "", " NOT NULL"};
  c.userTypes = {{type, "varchar(10)", "NULL"}};
  c.views = {{3, schema + ".v]", "CREATE VIEW [v]]] AS SELECT 1", schema, true, true}};

  std::vector<std::string> statements = {BuildDatabaseScript(c), BuildTypeStatement(c.userTypes[0])};
  for (const auto& [id, table_info] : c.tables) {
    statements.push_back(BuildTableScript(table_info));
    statements.push_back(BuildKeyStatements(table_info));
    statements.push_back(BuildForeignKeyStatements(c, table_info));
  }
  const std::vector<const ColumnInfo*> columns = {&t.columns[1], &t.columns[2]};
  SqlInsertWriter insert(t.fullName, columns, true);
  statements.push_back(insert.Header());
  std::string row;
  insert.AppendRow(row, {TypedValue::Integer(1), TypedValue::Text("it's")});
  statements.push_back(row);
  const std::set<std::string> names = {schema, table, other, column, "plain", key, index,
                                       check, fk, type, def, "v]", "dbo"};
  for (const std::string& text : statements) {
    Tokens tokens = Tokenize(text);
    EXPECT_TRUE(tokens.balanced) << text;
    for (const std::string& id : tokens.identifiers) EXPECT_TRUE(names.contains(id)) << id << "\n" << text;
  }
  // The type statement names its type in a literal, ' doubled.
  EXPECT_EQ(BuildTypeStatement(c.userTypes[0]).substr(0, 25), "EXEC sp_addtype N't]''\"',");
  // A comment keeps a name's line break from ending it.
  TableInfo lost{.fullName = "dbo.a\r\nDROP TABLE x"};
  EXPECT_EQ(BuildTableScript(lost).find('\n'), BuildTableScript(lost).size() - 1);
}

TEST(DatabaseScriptTest, SchemasTypesTablesKeysThenModulesInDependencyOrder) {
  Catalog c;
  c.collationId = 0x0000D008;  // Latin1_General_CI_AS
  TableInfo parent{.id = 1, .fullName = "sales.parent"};
  parent.columns[1] = {"id", "int", "", " NOT NULL"};
  parent.columns[2] = {"name", "varchar", "(20)", " NULL"};
  parent.columns[2].xtype = 167;
  parent.columns[2].collationId = 0x3400D008;  // SQL_Latin1_General_CP1_CI_AS
  parent.constraints.indexes = {
      {IndexInfo::Kind::kPrimaryKey, "PK_parent", true, true, {{1, false}}, {}, {}},
      {IndexInfo::Kind::kIndex, "ix_name", false, true, {{2, true}}, {1}, "([name] IS NOT NULL)"}};
  TableInfo child{.id = 2, .fullName = "dbo.child"};
  child.columns[1] = {"parent_id", "int", "", " NULL"};
  child.constraints.foreignKeys = {{"FK_child", 1, {1}, {1}, ReferentialAction::kCascade,
                                    ReferentialAction::kSetNull}};
  c.tables = {{1, parent}, {2, child}};
  c.userTypes = {{"phone", "varchar(20)", "NOT NULL"}};
  c.views = {{10, "dbo.v_all", "CREATE VIEW v_all AS SELECT dbo.f_total() AS t", "dbo", true, false}};
  c.functions = {{11, "f_total", "CREATE FUNCTION f_total() RETURNS int AS BEGIN RETURN 1 END"}};
  c.procedures = {{12, "p_run", "CREATE PROC p_run AS SELECT * FROM v_all"}};
  c.triggers = {{13, "dbo.tr", "CREATE TRIGGER tr ON child AFTER INSERT AS SELECT 1", "dbo", false, true}};

  const std::string script = BuildDatabaseScript(c);
  const std::vector<std::string> in_order = {
      "-- Database collation: Latin1_General_CI_AS\r\n",
      "CREATE SCHEMA [sales]\r\nGO\r\n",
      "CREATE TYPE [phone] FROM varchar(20) NOT NULL\r\nGO\r\n",
      "[name] varchar(20) COLLATE SQL_Latin1_General_CP1_CI_AS  NULL\r\n",
      "CREATE TABLE [dbo].[child]",
      "ADD CONSTRAINT [PK_parent] PRIMARY KEY CLUSTERED ([id])",
      "CREATE UNIQUE NONCLUSTERED INDEX [ix_name] ON [sales].[parent] ([name] DESC) INCLUDE ([id]) "
      "WHERE ([name] IS NOT NULL)\r\nGO\r\n",
      "REFERENCES [sales].[parent] ([id]) ON DELETE CASCADE ON UPDATE SET NULL\r\nGO\r\n",
      "CREATE FUNCTION f_total()",
      "SET ANSI_NULLS ON\r\nGO\r\n\r\nSET QUOTED_IDENTIFIER OFF\r\nGO\r\n\r\nCREATE VIEW v_all",
      "CREATE PROC p_run",
      "SET ANSI_NULLS OFF\r\nGO\r\n\r\nSET QUOTED_IDENTIFIER ON\r\nGO\r\n\r\nCREATE TRIGGER tr"};
  size_t at = 0;
  for (const std::string& piece : in_order) {
    const size_t found = script.find(piece, at);
    ASSERT_NE(found, std::string::npos) << piece << "\n--- after " << at << " of\n" << script;
    at = found + piece.size();
  }
  // A column in the database's collation takes no COLLATE; dbo no schema.
  EXPECT_EQ(script.find("[id] int COLLATE"), std::string::npos);
  EXPECT_EQ(script.find("CREATE SCHEMA [dbo]"), std::string::npos);
  // Modules that name each other keep catalog order.
  c.functions[0].text = "CREATE FUNCTION f_total() RETURNS int AS BEGIN RETURN (SELECT 1 FROM v_all) END";
  std::vector<const ModuleInfo*> order = ModulesInDependencyOrder(c);
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[2]->fullName, "p_run");
}

}  // namespace
}  // namespace tollamer
