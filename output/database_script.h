// Database.sql: one script that rebuilds the database in an order a server
// runs it in, beside the per-kind files of the schema export:
//
//   CREATE SCHEMA [s]                  each owner other than dbo, sys, guest
//                                      and INFORMATION_SCHEMA
//   CREATE TYPE [t] FROM base NULL     user types
//   CREATE TABLE ...                   with COLLATE where a column's collation
//                                      is not the database's, and IDENTITY
//   keys, indexes, defaults, checks    (schema_export_constraints.h)
//   foreign keys                       with ON DELETE / ON UPDATE
//   views, functions, procedures       each after the modules its text names,
//                                      under the SET ANSI_NULLS and SET
//                                      QUOTED_IDENTIFIER it was created with
//   triggers                           the same
//
// Every statement is its own batch, followed by GO.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/catalog/catalog_model.h"
#include "output/output_encoding.h"
#include "output/schema_export.h"

namespace tollamer {

inline constexpr std::string_view kDatabaseScriptName = "Database.sql";

std::string BuildDatabaseScript(const Catalog& catalog);

// Views, functions and procedures in the order the script creates them:
// each after every other module whose name its text holds as a word (a
// cycle keeps catalog order); otherwise views, then functions, then
// procedures, each kind in catalog order.
std::vector<const ModuleInfo*> ModulesInDependencyOrder(const Catalog& catalog);

// Writes Database.sql into `folder`, which must exist.
ExportResult ExportDatabaseScript(const Catalog& catalog, const std::string& folder,
                                  OutputEncoding encoding = OutputEncoding::kUtf8WithBom);

}  // namespace tollamer
