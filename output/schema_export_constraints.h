// The statements that rebuild what a table has beyond its columns, written
// after the CREATE TABLE statements of the tables-file: first each table's
// keys, indexes, defaults and CHECK constraints, then, once every table and
// key exists, the foreign keys.
//
//   ALTER TABLE [dbo].[jobs] ADD CONSTRAINT [PK_jobs] PRIMARY KEY CLUSTERED ([job_id])
//   CREATE NONCLUSTERED INDEX [aunmind] ON [dbo].[authors] ([au_lname], [au_fname])
//   ALTER TABLE [dbo].[jobs] ADD CONSTRAINT [DF_jobs] DEFAULT ('New') FOR [job_desc]
//   ALTER TABLE [dbo].[jobs] ADD CONSTRAINT [CK_jobs] CHECK ([min_lvl]>=(10))
//   ALTER TABLE [dbo].[employee] ADD CONSTRAINT [FK_emp] FOREIGN KEY ([job_id])
//       REFERENCES [dbo].[jobs] ([job_id]) ON DELETE CASCADE
//   CREATE UNIQUE NONCLUSTERED INDEX [ix] ON [dbo].[t] ([a] DESC) INCLUDE ([b])
//       WHERE ([a] IS NOT NULL)
//
// Each statement is followed by "\r\nGO\r\n\r\n". A statement that names a
// column or table the catalog does not hold is left out, with a comment
// line saying so in its place.
#pragma once

#include <string>

#include "engine/catalog/catalog_model.h"

namespace tollamer {

std::string BuildKeyStatements(const TableInfo& table);
std::string BuildForeignKeyStatements(const Catalog& catalog, const TableInfo& table);

}  // namespace tollamer
