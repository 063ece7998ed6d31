// The in-memory catalog: what the system tables of a file say about its
// user objects. It holds no pages and no row data, only objects, columns,
// type texts and definition texts.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tollamer {

// 0xFFFF in a column length: a max type (varchar(max) and its kin).
inline constexpr uint16_t kMaxLength = 0xFFFF;

// The pages of one system table in the order found. The same page may be
// listed twice when two sources name it; readers do not deduplicate.
class SystemPageList {
 public:
  void Append(uint64_t page) { pages_.push_back(page); }
  void Clear() { pages_.clear(); }
  size_t size() const { return pages_.size(); }
  bool empty() const { return pages_.empty(); }
  auto begin() const { return pages_.begin(); }
  auto end() const { return pages_.end(); }
  const std::vector<uint64_t>& pages() const { return pages_; }

 private:
  std::vector<uint64_t> pages_;
};

struct ColumnInfo {
  std::string name;      // decoded column name
  std::string typeName;  // systypes name for (xtype, xusertype); empty when not found
  std::string sizeText;  // "(20)", "(max)", "(10,2)" or empty
  std::string nullText;  // " NULL" or " NOT NULL"
  // Copied unchanged from the column's system row.
  uint8_t xtype = 0;
  uint16_t xusertype = 0;
  uint8_t xprec = 0;
  uint8_t xscale = 0;
  uint16_t length = 0;  // bytes; kMaxLength for a max type
  uint16_t colid = 0;
  int16_t xoffset = 0;  // position of the value in the record
  uint8_t bitpos = 0;
  uint16_t colstat = 0;
  // char, varchar, text: the collation id of the column's system row (see
  // collation.h), and the code page its values are read in once the
  // catalog is complete (the column's own, else the database default).
  uint32_t collationId = 0;
  uint16_t codePage = 0;
};

// Where SQL 2005/2008 records keep one column, as the file's rowset column
// rows (sysrscols; syshobtcolumns in 2005 files) record it for the table's
// in-row rowset.
struct PhysicalColumn2005 {
  uint16_t rscolid = 0;    // column id; 0 (or an id with no column) for a hidden column
  int16_t leafOffset = 0;  // 4 or more: byte offset of a fixed column; -k: the k-th variable column
  uint16_t nullBit = 0;    // 1-based bit in the null bitmap; 0: the column has no null bit
  uint8_t bitPos = 0;      // bit columns: the bit within the byte at leafOffset
  uint8_t xtype = 0;       // system type id the row gives
};

// A table's physical record layout. Only filled (known = true) when every
// column has one consistent row; otherwise the row reader lays the record
// out from the column types.
struct PhysicalLayout2005 {
  bool known = false;
  uint64_t rowsetId = 0;                               // the in-row rowset read
  std::map<uint16_t, PhysicalColumn2005> columns;      // by column id, one per table column
  std::vector<PhysicalColumn2005> hidden;              // uniquifier, dropped columns
};

// One column of an index key, in key order.
struct IndexKeyColumn {
  uint16_t colid = 0;
  bool descending = false;
};

// An index, or the index that carries a PRIMARY KEY or UNIQUE constraint
// (then its name is the constraint's name).
struct IndexInfo {
  enum class Kind { kIndex, kPrimaryKey, kUniqueConstraint };
  Kind kind = Kind::kIndex;
  std::string name;
  bool clustered = false;
  bool unique = false;
  std::vector<IndexKeyColumn> keys;
  std::vector<uint16_t> included;  // nonclustered INCLUDE columns
  std::string filter;              // a filtered index's WHERE expression, as stored
};

// What a FOREIGN KEY does to the referencing rows when the referenced row
// is deleted or its key updated.
enum class ReferentialAction : uint8_t { kNoAction = 0, kCascade = 1, kSetNull = 2, kSetDefault = 3 };

// A FOREIGN KEY: the columns of this table, in key order, and the columns
// of the referenced table they match.
struct ForeignKeyInfo {
  std::string name;
  uint32_t referencedTableId = 0;
  std::vector<uint16_t> columns;
  std::vector<uint16_t> referencedColumns;
  ReferentialAction onDelete = ReferentialAction::kNoAction;
  ReferentialAction onUpdate = ReferentialAction::kNoAction;
};

// A DEFAULT bound to one column, or a CHECK constraint; the text is the
// expression as the server stored it, parentheses included.
struct ColumnDefaultInfo {
  std::string name;
  uint16_t colid = 0;
  std::string text;
};
struct CheckInfo {
  std::string name;
  std::string text;
};

// The IDENTITY property of a column, as decimal texts.
struct IdentityInfo {
  uint16_t colid = 0;
  std::string seed;
  std::string increment;
};

// What the system tables say about a table beyond its columns. Each entry
// comes from its own rows: a lost or damaged row loses that entry only.
struct TableConstraints {
  std::vector<IndexInfo> indexes;  // by index id
  std::vector<ForeignKeyInfo> foreignKeys;
  std::vector<ColumnDefaultInfo> defaults;
  std::vector<CheckInfo> checks;
  std::optional<IdentityInfo> identity;

  const IndexInfo* PrimaryKey() const;
};

struct TableInfo {
  uint32_t id = 0;
  std::string fullName;   // owner "." name, for example dbo.Orders
  // As recorded by the system tables; nothing when the file no longer
  // holds the count.
  std::optional<uint64_t> rowCount;
  std::map<uint16_t, ColumnInfo> columns;  // by ascending column id
  PhysicalLayout2005 physicalLayout2005;   // SQL 2005/2008 files only
  // The column rows were lost: the columns are placeholders read off the
  // records (binary and varbinary, col1, col2, ...).
  bool columnsInferred = false;
  TableConstraints constraints;
};

// A view, stored procedure or scalar function.
struct ModuleInfo {
  uint32_t id = 0;
  std::string fullName;  // views: owner "." name; procedures and functions: the name alone
  std::string text;      // the definition as stored by the server
  std::string owner;     // the owner (schema) of every kind, procedures and functions too
  // The SET ANSI_NULLS and SET QUOTED_IDENTIFIER the module was created
  // with; nothing when the file does not say.
  std::optional<bool> ansiNulls;
  std::optional<bool> quotedIdentifier;
};

struct UserTypeInfo {
  std::string name;
  std::string baseTypeText;  // "varchar(20)", "decimal(10,2)", or a plain name
  std::string nullText;      // "NULL" or "NOT NULL"
  std::string owner;         // the owner (schema); empty when unknown
};

// A table's data pages in the order its rows are shown.
using DataPageList = std::vector<uint64_t>;

// The pages of the seven SQL 7.0/2000 system tables, by object id.
struct SystemPages2000 {
  SystemPageList sysobjects;   // object 1
  SystemPageList sysindexes;   // object 2
  SystemPageList syscolumns;   // object 3
  SystemPageList systypes;     // object 4
  SystemPageList syscomments;  // object 6
  SystemPageList object20;     // object 20: collected, never read
  SystemPageList sysusers;     // object 10
  SystemPageList sysreferences;  // object 14: foreign keys, read when found

  // The list that receives pages of `object_id`, or null.
  SystemPageList* ForObject(uint32_t object_id);
  void Clear();
  bool Holds(uint64_t page) const;  // one of the lists holds it
};

// The pages of the nine SQL 2005/2008 system base tables.
struct SystemPages2005 {
  SystemPageList sysclsobjs;      // object 64
  SystemPageList sysscalartypes;  // object 50
  SystemPageList sysschobjs;      // object 34
  SystemPageList syscolpars;      // object 41
  SystemPageList sysrowsets;      // object 5
  SystemPageList sysallocunits;   // object 7
  SystemPageList sysidxstats;     // object 54
  SystemPageList sysobjvalues;    // object 60
  SystemPageList sysrowsetrefs;   // object 65
  // The rowset column tables that give the physical record layout; not
  // among the nine the catalog needs, read when found.
  SystemPageList sysrscols;         // object 3 (2008)
  SystemPageList sysrowsetcolumns;  // object 4 (2005)
  SystemPageList syshobtcolumns;    // object 13 (2005)
  // Index key columns and foreign key references: read when found.
  SystemPageList sysiscols;         // object 55
  SystemPageList syssingleobjrefs;  // object 74

  SystemPageList* ForObject(uint32_t object_id);
  void Clear();
  bool Holds(uint64_t page) const;  // one of the lists holds it
};

// Everything the builders fill. Tables by ascending object id; modules and
// user types in discovery order.
struct Catalog {
  std::map<uint32_t, TableInfo> tables;
  std::vector<ModuleInfo> views;
  std::vector<ModuleInfo> procedures;
  std::vector<ModuleInfo> functions;
  std::vector<UserTypeInfo> userTypes;
  // Triggers: owner "." name, with their definition; never part of the
  // table scripts.
  std::vector<ModuleInfo> triggers;
  // The database's default collation (boot page); 0 when not known.
  uint32_t collationId = 0;
  // Pages read to build it (page keys) whose checksum or torn bits fail:
  // names, columns and definitions taken from them may be wrong.
  std::vector<uint64_t> damagedPages;

  void Clear();
};

}  // namespace tollamer
