#include "output/suspect_rows.h"

#include "engine/values/value_types.h"
#include "output/csv_format.h"
#include "output/data_export.h"
#include "output/data_export_buffer.h"

namespace tollamer {

TableInfo SuspectRowsTable(const TableInfo& table, const std::string& full_name) {
  namespace vt = value_type;
  TableInfo out = table;
  out.fullName = full_name;
  uint16_t next = out.columns.empty() ? 1 : out.columns.rbegin()->first + 1;
  struct Location {
    const char* name;
    uint8_t xtype;
    uint16_t length;
  };
  for (const Location& l : {Location{"_page", vt::kBigInt, 8}, Location{"_slot", vt::kInt, 4},
                            Location{"_reason", vt::kVarChar, 64}}) {
    ColumnInfo c;
    c.name = l.name;
    c.xtype = c.xusertype = l.xtype;
    c.length = l.length;
    c.nullText = " NULL";
    c.colid = next;
    out.columns.emplace(next++, c);
  }
  return out;
}

std::vector<TypedValue> SuspectRowValues(const SuspectRow& row) {
  std::vector<TypedValue> values = row.values;
  values.push_back(TypedValue::Integer(static_cast<int64_t>(row.page)));
  values.push_back(TypedValue::Integer(row.slot));
  values.push_back(TypedValue::Text(row.reason ? row.reason : ""));
  return values;
}

std::string SuspectFilePath(const std::string& table_path) {
  const size_t dot = table_path.rfind('.');
  const size_t slash = table_path.find_last_of("/\\");
  const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (has_extension ? table_path.substr(0, dot) : table_path) + kSuspectFileSuffix + ".csv";
}

bool WriteSuspectCsv(const TableInfo& table, const std::vector<SuspectRow>& rows,
                     const std::string& path, std::string& error) {
  std::unique_ptr<BufferedOutput> out = BufferedOutput::Create(path, error);
  if (!out) return false;
  AppendCsvHeader(out->Buffer(), ColumnNames(SuspectRowsTable(table, table.fullName)));
  for (const SuspectRow& row : rows) {
    AppendCsvRow(out->Buffer(), SuspectRowValues(row));
    if (!out->MaybeFlush()) {
      error = "write failed: " + out->Error();
      return false;
    }
  }
  if (out->Commit()) return true;
  error = "write failed: " + out->Error();
  return false;
}

bool ImportSuspectRows(const TableInfo& table, const std::vector<SuspectRow>& rows,
                       ImportTarget& target, std::string& target_name, std::string& error) {
  if (!target.BeginTable(SuspectRowsTable(table, table.fullName + kSuspectTableSuffix),
                         target_name)) {
    error = target.Error();
    return false;
  }
  for (const SuspectRow& row : rows) {
    if (!target.AddRow(SuspectRowValues(row))) {
      error = target.Error();
      target.AbortTable();
      return false;
    }
  }
  if (target.EndTable()) return true;
  error = target.Error();
  target.AbortTable();
  return false;
}

}  // namespace tollamer
