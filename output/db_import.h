// Import of recovered tables into a database: each source table becomes a
// table of the target with mapped column types (type_mapping.h), filled
// with every recoverable row. A target table of the same name is replaced;
// ExistingTable tells beforehand which would be.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/server_version.h"
#include "engine/rows/typed_value.h"
#include "output/data_export.h"

namespace tollamer {

// A database that takes tables. Each call returns false on failure, with
// the reason in Error(); a failed table leaves the target usable for the
// next one.
class ImportTarget {
 public:
  virtual ~ImportTarget() = default;
  // Creates (or replaces) the table; `target_name` says where it went.
  virtual bool BeginTable(const TableInfo& table, std::string& target_name) = 0;
  // Appends the row to `batch` in the form the target sends it. Runs on
  // the decoding worker threads while a table is sent, so it reads only
  // what BeginTable settled.
  virtual void PrepareRow(const std::vector<TypedValue>& row, std::string& batch) const = 0;
  // Sends the `rows` rows prepared into `batch`, in order.
  virtual bool AddPreparedRows(std::string_view batch, uint64_t rows) = 0;
  // One row, prepared and sent.
  bool AddRow(const std::vector<TypedValue>& row);
  virtual bool EndTable() = 0;
  // EndTable that may return once the rows are on their way, before they
  // are in (a target that loads several tables at once): `loading` then
  // says so, and the table's outcome comes from NextOutcome.
  virtual bool EndTableQueued(bool& loading) {
    loading = false;
    return EndTable();
  }
  // The outcome of the first table EndTableQueued left loading whose
  // outcome is not yet told (false: the reason in `error`); nothing while
  // it loads, unless `wait`, or when none is left.
  virtual std::optional<bool> NextOutcome(bool /*wait*/, std::string& /*error*/) {
    return std::nullopt;
  }
  // Drops what was sent of a table that failed.
  virtual void AbortTable() = 0;
  virtual const std::string& Error() const = 0;
  // The target's name of a table it already holds that BeginTable would
  // replace for a source table named `full_name` (owner.name); with
  // `as_prefix`, of any table whose name begins so. Nothing when none is.
  virtual std::optional<std::string> ExistingTable(const std::string& full_name,
                                                   bool as_prefix) = 0;
  // Drops the table an earlier run left for a source table named
  // `full_name`; one this target made keeps. True when none is left.
  virtual bool DropLeftTable(const std::string& full_name) = 0;

 private:
  std::string one_row_;
};

// "sqlite:PATH" or a PostgreSQL connection string ("postgresql://…",
// "postgres://…", or "host=… dbname=…"); nothing (and `error` set) when
// the target cannot be opened. `sessions`: PostgreSQL's most connections
// loading tables at once (0: one per core, at least two).
std::unique_ptr<ImportTarget> OpenImportTarget(const std::string& spec, std::string& error,
                                               unsigned sessions = 0);

// The given tables (all catalog tables when `table_ids` is empty) in
// ascending object id. A table's rows load while the next is decoded where
// the target can (EndTableQueued); progress.tableDone still comes in table
// order, once the table's outcome is known.
std::vector<TableDataResult> ImportTables(CMdfDatabase& db, VersionSetting version,
                                          const std::vector<uint32_t>& table_ids,
                                          ImportTarget& target, const DataProgress& progress = {});

// "owner_name" for "owner.name" (SQLite), and the parts of a full name.
std::string FlatTableName(const std::string& full_name);
std::pair<std::string, std::string> OwnerAndName(const std::string& full_name);
// "name" with " doubled.
std::string QuotedIdentifier(std::string_view name);

}  // namespace tollamer
