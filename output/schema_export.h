// Schema script export: the catalog's tables, views, procedures, functions
// and user types written as .sql files into a folder that already exists.
//
// Export            File name                          After each object
// selected table    owner.table "(TableStruct).sql"    "GO"
// all tables        "AllTable.sql"                     "GO\r\n\r\n"
// selected view     name "(View).sql"                  nothing
// all views         "AllViews.sql"                     "\r\ngo\r\n\r\n"
// selected proc     name "(Proc).sql"                  nothing
// all procs         "AllProcs.sql"                     "\r\ngo\r\n\r\n"
// selected func     name "(Func).sql"                  nothing
// all funcs         "AllFun.sql"                       "\r\ngo\r\n\r\n"
// selected type     name "(Type).sql"                  nothing
// all types         "AllUtype.sql"                     "\r\n  GO\r\n\r\n"
// selected trigger  name "(Trigger).sql"                nothing
// all triggers      "AllTriggers.sql"                  "\r\ngo\r\n\r\n"
//
// The tables-file holds every CREATE TABLE statement first, then the keys,
// indexes, defaults and CHECK constraints of every table, then the foreign
// keys (schema_export_constraints.h); a selected table's file has its own
// after its "GO".
//
// The object name in a file name goes through SafeFileNamePart; the script
// text keeps the real name. A file of the same name is replaced. Scripts are
// UTF-8 with a byte-order mark unless another encoding is asked for.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "output/output_encoding.h"

namespace tollamer {

enum class SchemaObjectKind { kTable, kView, kProcedure, kFunction, kUserType, kTrigger };

enum class ExportStatus {
  kWritten,        // the file is in place
  kNoSuchObject,   // no object of the kind has the selected name: nothing written
  kFolderMissing,  // the folder is not an existing directory: nothing written
  kWriteFailed,    // the file could not be created or written: nothing left behind
};

struct ExportResult {
  ExportStatus status = ExportStatus::kNoSuchObject;
  std::string path;   // the file written, or the one that could not be
  std::string error;  // why, when not written
  // Characters the output encoding could not hold (written as '?'), and the
  // first few of them.
  size_t unmappable = 0;
  std::vector<std::string> firstUnmappable;
};

// True when `folder` names an existing directory.
bool OutputFolderExists(const std::string& folder);

std::string AllObjectsFileName(SchemaObjectKind kind);
// The (safe) file name of a one-object export.
std::string SelectedObjectFileName(SchemaObjectKind kind, std::string_view object_name);

// First view, procedure, function (the kind's own list) or user type whose
// name equals `name` exactly (case-sensitive); null when none does.
const ModuleInfo* FindSelectedModule(const Catalog& catalog, SchemaObjectKind kind,
                                     std::string_view name);
const UserTypeInfo* FindSelectedUserType(const Catalog& catalog, std::string_view name);

// Every object of the kind in catalog order, into the kind's "All" file.
// An empty list gives an empty file.
ExportResult ExportAllObjects(const Catalog& catalog, SchemaObjectKind kind,
                              const std::string& folder,
                              OutputEncoding encoding = OutputEncoding::kUtf8WithBom);

// One object, into a file of its own: a table as FindTableByName finds
// `name` (table_lookup.h), the other kinds by their exact name.
ExportResult ExportSelectedObject(const Catalog& catalog, SchemaObjectKind kind,
                                  std::string_view name, const std::string& folder,
                                  OutputEncoding encoding = OutputEncoding::kUtf8WithBom);

}  // namespace tollamer
