// The record walk of a table: which records of which data pages are shown,
// and where each column's bytes lie in them. It turns nothing into text,
// so that the grid text (table_rows.h) and any reader of raw column bytes
// share one walk. Consecutive pages are read in blocks; a record handed to
// the visitor is valid only during the call.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "engine/catalog/format_profile.h"
#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/page.h"
#include "engine/pagestore/server_version.h"
#include "engine/rows/compressed_page_info.h"
#include "engine/rows/row_reader_columns.h"

namespace tollamer {

// The anchor record and dictionary of a page-compressed page (both empty
// for a row-compressed page). They live while the page is walked.
struct PageCompression {
  AnchorEntries anchor;
  DictionaryEntries dictionary;
};

struct PageWalkNotes;  // row_reader_pages.h

// One record to show.
struct TableRecord {
  uint64_t pageNumber = 0;
  uint16_t slot = 0;
  ByteView page;              // the whole repaired page
  uint16_t recordOffset = 0;  // the record's offset in the page
  bool compressed = false;    // a CD record: decode with the page's compression
  const PageCompression* compression = nullptr;  // compressed records only
  RecordFrame frame;                // FixedVar records only
  std::vector<CellLocation> cells;  // FixedVar records: one per table column
  // Why the row is not to be trusted (page_suspicion.h); null when sound.
  const char* suspect = nullptr;

  // The page from the record's offset on.
  ByteView Record() const { return page.From(recordOffset); }
};

// Returns false to stop the walk.
using RecordVisitor = std::function<bool(const TableRecord&)>;

// A table prepared for the walk: its columns planned for the version.
class TableRecordWalk {
 public:
  // Nothing when the version is kNone or the table is not in the catalog.
  static std::optional<TableRecordWalk> Prepare(CMdfDatabase& db, VersionSetting version,
                                                uint32_t table_id);
  // A table the catalog does not hold (one whose catalog rows are gone):
  // `table` must outlive the walk. Nothing when the version is kNone.
  static std::optional<TableRecordWalk> PrepareFor(CMdfDatabase& db, VersionSetting version,
                                                   TableInfo& table);

  static std::optional<TableRecordWalk> Prepare(CMdfDatabase& db, const FormatProfile& profile,
                                                uint32_t table_id);
  static std::optional<TableRecordWalk> PrepareFor(CMdfDatabase& db, const FormatProfile& profile,
                                                   TableInfo& table);

  TableInfo& Table() const { return *table_; }
  const FormatProfile& Profile() const { return *profile_; }
  const std::vector<ColumnPlan>& Plan() const { return plan_; }
  // The plan made ready for locating each record's cells.
  const CellLocator& Locator() const { return locator_; }

  // The table's data page list, found or built as the readers do on entry
  // (see row_reader_pages.h). Null when no list can be had.
  const DataPageList* FindPages();

  // Walks the records of the given data pages in list order and slot order.
  // Returns false when the visitor stopped the walk.
  bool WalkPages(std::span<const uint64_t> pages, const RecordVisitor& visit) const;

  // What became of one page handed to WalkPage.
  enum class PageWalk {
    kSkipped,  // not an accepted data page of the version (or its compression unreadable)
    kWalked,
    kStopped,  // the visitor stopped the walk
  };
  // The records of one page already read (torn bits repaired): nothing
  // when it is not an accepted data page of the version. Messages go to
  // `messages`, so that pages can be walked on several threads at once,
  // each with its own.
  // `slots_lost`, when given, counts the slots whose records could not be
  // decoded; rows of a page that fails its check (page_check.h), names
  // another page or owner, or is damaged come marked suspect.
  PageWalk WalkPage(ByteView page, uint64_t page_number, EngineMessages& messages,
                    const RecordVisitor& visit, uint64_t* slots_lost = nullptr) const;
  // What WalkPage does before it reads the slots: false when the page is
  // not an accepted data page (or its compression cannot be read); else
  // the page's suspicion in `notes` and its compression, if any.
  bool StartPage(ByteView page, uint64_t page_number, EngineMessages& messages,
                 PageWalkNotes& notes, std::optional<PageCompression>& compression) const;
  const PageStore& Store() const { return db_->Store(); }

 private:
  TableRecordWalk(CMdfDatabase& db, const FormatProfile& profile, TableInfo& table)
      : db_(&db), profile_(&profile), table_(&table) {}

  CMdfDatabase* db_;
  const FormatProfile* profile_;
  TableInfo* table_;
  std::vector<ColumnPlan> plan_;
  CellLocator locator_;
};

// Every record of every grid page of the table, in order; the page list is
// found once. Returns false when the table or its pages cannot be had or
// the visitor stopped the walk.
bool ForEachTableRecord(CMdfDatabase& db, VersionSetting version, uint32_t table_id,
                        const RecordVisitor& visit);

}  // namespace tollamer
