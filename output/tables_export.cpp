// The export of many tables. Their data pages are read in one walk over the
// file (engine/rows/file_order_rows.h), each page's rows going to its
// table's open file, so that a database of many tables costs one read of
// its pages rather than one walk per table. The outcomes are then given in
// the tables' order, each with the messages its walk raised, as the walk of
// one table after the other gives them. A table whose page list goes back
// in the file is walked on its own at its turn, so that its rows keep their
// order. Files are opened for at most kTablesPerWalk tables at a time: more
// tables take more walks. Once a walk ends, the rests of its files all
// start going to the disk before each is flushed and renamed in turn.
#include <memory>
#include <optional>
#include <set>

#include "engine/rows/file_order_rows.h"
#include "output/data_export.h"
#include "output/safe_file_name.h"
#include "output/table_export.h"

namespace tollamer {

namespace {

constexpr size_t kTablesPerWalk = 256;
// The buffer of each file while many are open at once.
constexpr size_t kSharedWalkBufferBytes = 32 << 10;

struct TableEntry {
  uint32_t id = 0;
  std::optional<std::string> path;  // nothing: no file name for the table
  std::unique_ptr<TableExport> file;
  TableExport::Start start = TableExport::Start::kNotInCatalog;
  PreparedRows rows;
  bool listed = false;  // PrepareTypedRows found a page list
  bool inWalk = false;  // read by the shared walk
};

TableDataResult NoFileName(const CMdfDatabase& db, uint32_t id) {
  TableDataResult failed;
  failed.tableId = id;
  if (auto it = db.catalog.tables.find(id); it != db.catalog.tables.end())
    failed.tableName = it->second.fullName;
  failed.error = kNoFileNameError;
  return failed;
}

// Opens the group's files and reads the rows of those whose lists run
// forward through the file. False when the walk was cancelled.
bool WalkGroup(CMdfDatabase& db, VersionSetting version, std::vector<TableEntry>& group,
               DataFormat format, const DataProgress& progress) {
  const size_t buffer = group.size() > 16 ? kSharedWalkBufferBytes : kDefaultFlushBytes;
  std::vector<FileOrderTable> walked;
  std::vector<TableEntry*> entry_of;
  for (TableEntry& e : group) {
    if (!e.path) continue;
    e.file = std::make_unique<TableExport>(db, e.id, format, *e.path, buffer);
    e.start = e.file->Begin();
    if (e.start != TableExport::Start::kReady) continue;
    e.listed = PrepareTypedRows(db, version, e.id, e.rows);
    e.inWalk = e.listed && e.rows.InFileOrder();
    if (!e.inWalk) continue;
    walked.push_back({&e.rows, e.file->RowFormatter(), e.file->Form(), e.file->WantsRowEnds()});
    entry_of.push_back(&e);
  }
  if (walked.empty()) return true;
  if (progress.tableStarted) progress.tableStarted(entry_of.front()->file->Table());
  bool cancelled = false;
  ForEachTypedRowInFileOrder(
      walked,
      [&](size_t t, TableRowsPiece& piece) {
        if (progress.Cancelled()) {
          cancelled = true;
          return false;
        }
        TableExport& file = *entry_of[t]->file;
        if (!piece.batch.text.empty()) file.Take(piece.batch);
        return true;
      },
      progress.pages);
  return !cancelled;
}

}  // namespace

std::vector<std::optional<std::string>> TableDataPaths(const CMdfDatabase& db,
                                                       const std::vector<uint32_t>& ids,
                                                       DataFormat format,
                                                       const std::string& folder) {
  std::vector<std::optional<std::string>> paths;
  std::set<std::string> used;
  for (uint32_t id : ids) {
    auto it = db.catalog.tables.find(id);
    std::string name = it == db.catalog.tables.end()
                           ? std::to_string(id) + (format == DataFormat::kCsv ? ".csv" : ".sql")
                           : DataFileName(it->second, format);
    if (!used.insert(name).second) {
      name.insert(name.rfind('.'), "_" + std::to_string(id));
      used.insert(name);
    }
    paths.push_back(PathInFolder(folder, name));
  }
  return paths;
}

std::vector<TableDataResult> ExportTablesData(CMdfDatabase& db, VersionSetting version,
                                              const std::vector<uint32_t>& table_ids,
                                              DataFormat format, const std::string& folder,
                                              const DataProgress& progress) {
  std::vector<uint32_t> ids = table_ids;
  if (ids.empty())
    for (const auto& [id, t] : db.catalog.tables) ids.push_back(id);
  const std::vector<std::optional<std::string>> paths = TableDataPaths(db, ids, format, folder);
  PrepareManyTables(db, ids);
  std::vector<TableDataResult> results;
  for (size_t first = 0; first < ids.size(); first += kTablesPerWalk) {
    if (progress.Cancelled()) break;
    std::vector<TableEntry> group(std::min(kTablesPerWalk, ids.size() - first));
    for (size_t i = 0; i < group.size(); ++i) {
      group[i].id = ids[first + i];
      group[i].path = paths[first + i];
    }
    const bool completed = WalkGroup(db, version, group, format, progress);
    // The walked files' rests start going to the disk together, before each
    // is flushed and renamed in turn below.
    if (completed)
      for (TableEntry& e : group)
        if (e.inWalk) e.file->StartWriteBack();
    // The outcomes in the tables' order.
    for (TableEntry& e : group) {
      const bool ready = e.file && e.start == TableExport::Start::kReady;
      if (progress.Cancelled() || (!completed && e.inWalk)) {
        if (ready) {
          if (progress.tableStarted) progress.tableStarted(e.file->Table());
          results.push_back(e.file->Finish(true, true, e.rows.stats));
          if (progress.tableDone) progress.tableDone(results.back());
        }
        return results;
      }
      if (!e.path) {
        results.push_back(NoFileName(db, e.id));
        if (progress.tableDone) progress.tableDone(results.back());
        continue;
      }
      if (e.start == TableExport::Start::kNotInCatalog) {
        results.push_back(e.file->Result());
        continue;
      }
      if (progress.tableStarted) progress.tableStarted(e.file->Table());
      if (!ready) {
        if (e.start == TableExport::Start::kNothingToWrite && progress.tableDone)
          progress.tableDone(e.file->Result());
        results.push_back(e.file->Result());
      } else if (e.inWalk) {
        e.rows.said.Replay(db.Messages());
        results.push_back(e.file->Finish(true, false, e.rows.stats));
        if (progress.tableDone) progress.tableDone(results.back());
      } else if (!e.listed) {
        results.push_back(e.file->Finish(false, false, e.rows.stats));
        if (progress.tableDone) progress.tableDone(results.back());
      } else {
        results.push_back(WalkTableExport(db, version, *e.file, progress));
      }
      e.file.reset();  // closed (or its temporary removed) before the next
    }
  }
  return results;
}

}  // namespace tollamer
