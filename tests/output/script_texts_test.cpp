// The table script and the type statement, byte for byte.
#include "output/script_texts.h"

#include <gtest/gtest.h>

namespace tollamer {
namespace {

ColumnInfo Column(uint16_t colid, std::string name, std::string type, std::string size,
                  std::string null_text) {
  ColumnInfo c;
  c.colid = colid;
  c.name = std::move(name);
  c.typeName = std::move(type);
  c.sizeText = std::move(size);
  c.nullText = std::move(null_text);
  return c;
}

TEST(TableScriptTest, ColumnLinesCommasAndClosing) {
  TableInfo t;
  t.fullName = "dbo.Orders";
  // Inserted out of order: the script follows ascending column id.
  t.columns[3] = Column(3, "Note", "text", "", " NULL");
  t.columns[1] = Column(1, "c", "varchar", "(50)", " NULL");
  t.columns[2] = Column(2, "Price", "decimal", "(10,2)", " NOT NULL");
  EXPECT_EQ(BuildTableScript(t),
            "CREATE TABLE [dbo].[Orders]\r\n(\r\n"
            "[c] varchar(50)  NULL,\r\n"
            "[Price] decimal(10,2)  NOT NULL,\r\n"
            "[Note] text  NULL\r\n"
            ")\r\n");
}

TEST(TableScriptTest, OwnerEndsAtTheFirstPointAndLostColumnsGiveAComment) {
  TableInfo t;
  t.fullName = "Orders";
  t.columns[1] = Column(1, "id", "int", "", " NOT NULL");
  EXPECT_EQ(BuildTableScript(t), "CREATE TABLE [].[Orders]\r\n(\r\n[id] int  NOT NULL\r\n)\r\n");
  // No column known: never "( )", which no server would run.
  TableInfo lost;
  lost.fullName = "dbo.a.b";
  EXPECT_EQ(BuildTableScript(lost),
            "-- [dbo].[a.b]: its columns are lost (no column rows found in the system tables)\r\n");
}

TEST(TypeStatementTest, BlankAfterTheFirstCommaOnly) {
  EXPECT_EQ(BuildTypeStatement({"id", "varchar(11)", "NOT NULL"}),
            "EXEC sp_addtype N'id', N'varchar(11)',N'NOT NULL'");
  EXPECT_EQ(BuildTypeStatement({"flag", "bit", "NULL"}), "EXEC sp_addtype N'flag', N'bit',N'NULL'");
  // A table type has no base type: a comment, not a statement that fails.
  EXPECT_EQ(BuildTypeStatement({"list", "", "NOT NULL"}).substr(0, 12), "-- N'list': ");
}

}  // namespace
}  // namespace tollamer
