// What the resilience tests compare: the rows of a healthy file with the
// data page each lies on, and the rows recovered from a damaged copy, read
// in a child process under a time limit so that a crash or a hang of the
// reader fails the test instead of ending it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/catalog/open/open_catalog.h"
#include "engine/catalog/sql2000/table_pages2000.h"
#include "engine/catalog/sql2005/scan_file_2005.h"
#include "engine/rows/row_reader.h"
#include "engine/rows/table_rows.h"
#include "engine/rows/table_rows_text.h"

namespace tollamer::resilience {

using Row = std::vector<std::string>;

// A table as the catalog describes it: enough to tell that a damaged copy's
// catalog still describes the same table.
struct TableShape {
  std::vector<std::pair<std::string, uint8_t>> columns;  // name and xtype
  std::vector<bool> inRow;  // the column's text does not come from other pages
  bool operator==(const TableShape& other) const { return columns == other.columns; }
};

inline TableShape ShapeOf(const TableInfo& table) {
  TableShape shape;
  for (const auto& [id, c] : table.columns) {
    shape.columns.emplace_back(c.name, c.xtype);
    const bool large = c.xtype == 34 || c.xtype == 35 || c.xtype == 99 || c.xtype == 241 ||
                       c.length == kMaxLength;
    shape.inRow.push_back(!large);
  }
  return shape;
}

struct RowOnPage {
  uint64_t page = 0;
  Row texts;
};

struct HealthyFile {
  std::map<uint32_t, TableShape> tables;
  std::map<uint32_t, std::vector<RowOnPage>> rows;
  size_t RowCount() const {
    size_t n = 0;
    for (const auto& [id, list] : rows) n += list.size();
    return n;
  }
};

// Reads every row of every table of an open database with its page.
inline HealthyFile ReadHealthy(CMdfDatabase& db, VersionSetting version) {
  HealthyFile healthy;
  OpenCatalog(db, version);
  std::vector<uint32_t> ids;
  for (const auto& [id, table] : db.catalog.tables) ids.push_back(id);
  for (uint32_t id : ids) {
    healthy.tables[id] = ShapeOf(db.catalog.tables.at(id));
    std::optional<TableRecordWalk> walk = TableRecordWalk::Prepare(db, version, id);
    if (!walk) continue;
    const DataPageList* pages = walk->FindPages();
    if (!pages) continue;
    std::vector<RowOnPage>& rows = healthy.rows[id];
    walk->WalkPages(*pages, [&](const TableRecord& record) {
      if (auto texts = RecordTexts(db, *walk, record)) rows.push_back({record.pageNumber, *texts});
      return true;
    });
  }
  return healthy;
}

inline Row InRowPart(const Row& row, const TableShape& shape) {
  Row part;
  for (size_t i = 0; i < row.size() && i < shape.inRow.size(); ++i)
    if (shape.inRow[i]) part.push_back(row[i]);
  return part;
}

struct Recovery {
  size_t expected = 0;          // healthy rows on pages the copy did not damage
  size_t recoveredFirst = 0;    // found by the plain open and row read
  size_t recovered = 0;         // found after the all-tables scan as well
  size_t tablesLost = 0;        // tables whose catalog rows the damage took
  // SQL 2005/2008 tables whose allocation unit rows the damage took: no
  // page header can be tied to them any more (counted in tablesLost too).
  size_t tablesUnowned = 0;
  bool opened = false;

  std::string Serialize() const {
    std::ostringstream out;
    out << expected << ' ' << recoveredFirst << ' ' << recovered << ' ' << tablesLost << ' '
        << tablesUnowned << ' ' << opened;
    return out.str();
  }
  static std::optional<Recovery> Parse(const std::string& text) {
    Recovery r;
    std::istringstream in(text);
    if (!(in >> r.expected >> r.recoveredFirst >> r.recovered >> r.tablesLost >> r.tablesUnowned >>
          r.opened))
      return std::nullopt;
    return r;
  }
};

// Matches the expected rows of one table against what a read produced: an
// exact match first, else a match of the columns held in the row itself
// (a large value may lie on a damaged page).
class RowMatcher {
 public:
  RowMatcher(const TableShape& shape, const std::vector<Row>& found) : shape_(shape) {
    for (const Row& r : found) {
      exact_.insert(r);
      inRow_.insert(InRowPart(r, shape));
    }
  }
  bool Take(const Row& row) {
    if (auto it = exact_.find(row); it != exact_.end()) {
      exact_.erase(it);
      if (auto p = inRow_.find(InRowPart(row, shape_)); p != inRow_.end()) inRow_.erase(p);
      return true;
    }
    if (auto p = inRow_.find(InRowPart(row, shape_)); p != inRow_.end()) {
      inRow_.erase(p);
      return true;
    }
    return false;
  }

 private:
  const TableShape& shape_;
  std::multiset<Row> exact_;
  std::multiset<Row> inRow_;
};

inline std::map<uint32_t, std::vector<Row>> ReadAllRows(CMdfDatabase& db, VersionSetting version,
                                                        const std::set<uint32_t>& ids) {
  std::map<uint32_t, std::vector<Row>> rows;
  for (uint32_t id : ids) {
    std::vector<Row>& list = rows[id];
    ForEachTableRow(db, version, id, [&](const Row& r) {
      list.push_back(r);
      return true;
    });
  }
  return rows;
}

// Opens the damaged copy at `path` and recovers what it can: the plain open
// and row read, then, when rows are missing, the all-tables data scan and a
// second read.
inline Recovery RecoverCopy(const std::string& path, VersionSetting version,
                            const HealthyFile& healthy, const std::set<uint64_t>& damaged) {
  Recovery result;
  RecordingMessages messages(true);
  CMdfDatabase db(messages);
  if (!db.OpenFile(path)) return result;
  result.opened = true;
  OpenCatalog(db, version);

  std::set<uint32_t> owned;
  for (const auto& [obj, table] : db.pageOwnerMap) owned.insert(table);
  std::set<uint32_t> kept;
  std::map<uint32_t, std::vector<const Row*>> expected;
  for (const auto& [id, shape] : healthy.tables) {
    auto rows = healthy.rows.find(id);
    size_t undamaged = 0;
    if (rows != healthy.rows.end())
      for (const RowOnPage& r : rows->second)
        if (!damaged.count(r.page)) {
          ++undamaged;
          expected[id].push_back(&r.texts);
        }
    auto table = db.catalog.tables.find(id);
    if (table == db.catalog.tables.end() || !(ShapeOf(table->second) == shape)) {
      ++result.tablesLost;
      expected.erase(id);
      continue;
    }
    if (version == VersionSetting::kSql2005 && !owned.count(id) && undamaged > 0) {
      ++result.tablesLost;
      ++result.tablesUnowned;
      expected.erase(id);
      continue;
    }
    kept.insert(id);
    result.expected += undamaged;
  }

  std::map<uint32_t, std::vector<Row>> first = ReadAllRows(db, version, kept);
  std::map<uint32_t, std::vector<const Row*>> missing;
  for (const auto& [id, rows] : expected) {
    RowMatcher matcher(healthy.tables.at(id), first[id]);
    for (const Row* r : rows) {
      if (matcher.Take(*r)) ++result.recoveredFirst;
      else missing[id].push_back(r);
    }
  }
  result.recovered = result.recoveredFirst;
  if (missing.empty()) return result;

  if (version == VersionSetting::kSql2000) ScanFileForTable2000(db, 0, true);
  else sql2005::ScanFileForTable2005(db, 0, true);
  std::map<uint32_t, std::vector<Row>> second = ReadAllRows(db, version, kept);
  for (const auto& [id, rows] : missing) {
    RowMatcher matcher(healthy.tables.at(id), second[id]);
    for (const Row* r : rows)
      if (matcher.Take(*r)) ++result.recovered;
  }
  return result;
}

// How a child process ended.
struct ChildOutcome {
  enum class Kind { kFinished, kCrashed, kTimedOut } kind = Kind::kFinished;
  int signal = 0;
  std::string output;
};

// Runs `work` in a child process and gives back what it wrote, or how it
// failed: killed after `limit`.
template <typename Work>
ChildOutcome RunWithTimeLimit(std::chrono::seconds limit, Work work) {
  int fds[2];
  if (pipe(fds) != 0) return {ChildOutcome::Kind::kCrashed, 0, "pipe failed"};
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const std::string text = work();
    (void)!write(fds[1], text.data(), text.size());
    close(fds[1]);
    _exit(0);
  }
  close(fds[1]);
  ChildOutcome outcome;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  char buffer[256];
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 50) > 0) {
      const ssize_t n = read(fds[0], buffer, sizeof buffer);
      if (n > 0) outcome.output.append(buffer, static_cast<size_t>(n));
    }
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      close(fds[0]);
      outcome.kind = ChildOutcome::Kind::kTimedOut;
      return outcome;
    }
  }
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) outcome.output.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  if (WIFSIGNALED(status) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    outcome.kind = ChildOutcome::Kind::kCrashed;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status);
  }
  return outcome;
}

}  // namespace tollamer::resilience
