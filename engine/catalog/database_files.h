// The files of a database as its primary file lists them, and the search
// for the secondary files beside the primary.
//
// Every database keeps a row per file in a system table of the primary
// file. SQL Server 2005 and later: sysprufiles (object 24, index 1 in its
// pages' headers), whose record begins
//
//   RECORD OFFSET  SIZE  FIELD
//   2              2     end of the fixed-length part (248)
//   8              4     file id
//   20             1     type: 0 data (rows), 1 log
//   variable col 0       logical name, nvarchar
//   variable col 1       physical path, nvarchar
//
// SQL Server 2000 (and, for the primary and the first log file only,
// 2005 and later): sysfiles1 (object 8, index 0), fixed-length records
//
//   RECORD OFFSET  SIZE  FIELD
//   4              4     status: 0x40 a log file
//   8              2     file id
//   10             256   logical name, nchar(128), padded with blanks
//   266            520   physical path, nchar(260), padded with blanks
//
// Both tables are made with the database and stay on its first pages.
#pragma once

#include <vector>

#include "engine/pagestore/page_store.h"

namespace tollamer {

// The files listed, by file id, from the table pages among the primary
// file's first kFileListPages pages; empty when none is found there.
inline constexpr uint64_t kFileListPages = 1024;
std::vector<DatabaseFileRecord> ReadDatabaseFileList(const PageStore& store);

// For an open data file: reads the list, adds every data file it names
// that is not open and lies beside the primary file under its recorded
// file name (the last part of its physical path, any letter case), and
// keeps the list in the store, each file with where it was found or why
// not. Does nothing for a backup.
void FindDatabaseFiles(PageStore& store);

}  // namespace tollamer
