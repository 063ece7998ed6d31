// T-SQL INSERT statements that recreate recovered rows on a SQL Server
// after the table scripts of the schema export: N'' literals for Unicode
// text (and for any text outside ASCII), 0x literals for binary, NULL,
// ISO 8601 date literals, "GO" after every 1,000 rows. timestamp
// (rowversion) columns are left out: the server fills them itself and
// refuses explicit values.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "engine/rows/row_text_plan.h"
#include "engine/rows/typed_value.h"

namespace tollamer {

inline constexpr size_t kRowsPerBatch = 1000;
// The line that ends a batch of statements.
inline constexpr std::string_view kBatchEnd = "GO\r\n";

// [name] with ] doubled.
std::string BracketName(std::string_view name);
// N'text' with ' doubled.
std::string NameLiteral(std::string_view text);
// "owner.name" as [owner].[name]; a name without a point as [name].
std::string BracketFullName(const std::string& full_name);

// The literal of one value of `column`.
std::string SqlLiteral(const ColumnInfo& column, const TypedValue& value);

// Writes the statements of one table. `columns` are the table's columns in
// ascending column id, as the rows hold them. A table with an IDENTITY
// column takes its stored values only between SET IDENTITY_INSERT ON and
// OFF, which the header and footer then hold.
class SqlInsertWriter {
 public:
  SqlInsertWriter(const std::string& table_full_name, const std::vector<const ColumnInfo*>& columns,
                  bool identity_insert = false);

  std::string Header() const;
  // One INSERT statement, with "GO" after every kRowsPerBatch-th row.
  void AppendRow(std::string& out, const std::vector<TypedValue>& row);
  // One INSERT statement alone (safe on several threads at once); the rows
  // are then counted in order with CountRow, which is true when a "GO"
  // is due after the row.
  void AppendStatement(std::string& out, const std::vector<TypedValue>& row) const;
  bool CountRow() { return ++rows_ % kRowsPerBatch == 0; }
  // The statements as a row plan's form (row_text_plan.h).
  const TextForm& Form() const { return form_; }
  // The last "GO" when rows remain after the last batch.
  std::string Footer() const;

 private:
  TextForm form_;
  std::vector<const ColumnInfo*> columns_;
  std::vector<bool> written_;  // per column: false for timestamp columns
  std::string prefix_;         // INSERT INTO [o].[t] ([a], [b]) VALUES (
  std::string identityTable_;  // [o].[t] when IDENTITY_INSERT is switched
  size_t rows_ = 0;
};

}  // namespace tollamer
