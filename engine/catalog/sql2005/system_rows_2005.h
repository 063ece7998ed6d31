// Decoders of single rows of the SQL 2005/2008 system base tables (layouts
// in system_row_layout_2005.h). Each takes the whole page and the record's
// slot offset, so that nothing is read outside the page: a row whose fixed
// fields would lie beyond the page is not decoded (nothing is returned), and
// a name whose range runs past the page or past the 128 characters a
// sysname can hold is cut there.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/catalog/catalog_model.h"
#include "engine/pagestore/byte_view.h"
#include "engine/pagestore/page_store.h"

namespace tollamer::sql2005 {

struct AllocUnitRow {
  uint64_t auid = 0;  // the allocation unit id its pages carry in their header
  uint8_t type = 0;
  uint64_t ownerId = 0;
  uint64_t firstIam = 0;  // page key (page_address.h) of its first IAM page
  uint16_t firstIamFileId = 0;
  uint64_t pcUsed = 0;
};

struct RowsetRow {
  uint32_t idMajor = 0;
  uint64_t rcRows = 0;
};

struct SchObjRow {
  uint32_t id = 0;
  uint16_t nsid = 0;
  std::array<char, 2> type{};
  uint32_t status = 0;
};

// sysschobjs status bits of modules and foreign keys.
namespace schobj_status {
inline constexpr uint32_t kAnsiNulls = 0x40000;         // modules: created with ANSI_NULLS ON
inline constexpr uint32_t kQuotedIdentifier = 0x80000;  // modules: QUOTED_IDENTIFIER ON
// Foreign keys: two-bit referential actions (0 no action, 1 cascade, 2 set
// null, 3 set default); EF Core's ON DELETE CASCADE keys carry 0x4000.
inline constexpr unsigned kUpdateActionShift = 12;
inline constexpr unsigned kDeleteActionShift = 14;
inline constexpr uint32_t kActionMask = 0x3;
}  // namespace schobj_status

// The module's SET options from its status.
void SetModuleOptions(uint32_t status, ModuleInfo& module);

struct ClsObjRow {
  uint8_t cls = 0;
  uint32_t id = 0;
};

struct ScalarTypeRow {
  uint32_t id = 0;
  uint32_t schid = 0;
  uint8_t xtype = 0;
  uint16_t length = 0;
  uint8_t prec = 0;
  uint8_t scale = 0;
  uint32_t status = 0;
};

struct ColParRow {
  uint32_t id = 0;
  uint16_t colid = 0;
  uint8_t xtype = 0;
  uint16_t utype = 0;
  uint16_t length = 0;
  uint8_t prec = 0;
  uint8_t scale = 0;
  uint32_t status = 0;
  uint32_t collationId = 0;
};

struct ObjValueRow {
  uint32_t objId = 0;
  uint16_t valueStart = 0;   // S, from the record start
  uint16_t valueLength = 0;  // L = end - S, 16-bit
  bool offRow = false;
};

struct IdxStatRow {
  uint32_t id = 0;
  uint32_t indid = 0;
  uint64_t rowset = 0;
};

struct RowsetRefRow {
  uint32_t objId = 0;
  uint64_t rowsetId = 0;
};

std::optional<AllocUnitRow> DecodeAllocUnitRow(ByteView page, uint16_t offset);
std::optional<RowsetRow> DecodeRowsetRow(ByteView page, uint16_t offset);
std::optional<SchObjRow> DecodeSchObjRow(ByteView page, uint16_t offset);
std::optional<ClsObjRow> DecodeClsObjRow(ByteView page, uint16_t offset);
std::optional<ScalarTypeRow> DecodeScalarTypeRow(ByteView page, uint16_t offset);
std::optional<ColParRow> DecodeColParRow(ByteView page, uint16_t offset);
std::optional<ObjValueRow> DecodeObjValueRow(ByteView page, uint16_t offset);
std::optional<IdxStatRow> DecodeIdxStatRow(ByteView page, uint16_t offset);
std::optional<RowsetRefRow> DecodeRowsetRefRow(ByteView page, uint16_t offset);

// Names, decoded (UTF-16LE to UTF-8, as stored).
// sysschobjs: the bytes from F + 8 to the end offset at F + 6.
std::string SchObjName(ByteView page, uint16_t offset);
// sysclsobjs: the bytes from 42 to the end offset at 40.
std::string ClsObjName(ByteView page, uint16_t offset);
// sysscalartypes: ((end - 58) / 2) + 1 units from 57, end at 55; an end of
// 57 or less gives the empty name.
std::string ScalarTypeName(ByteView page, uint16_t offset);
// syscolpars: with one variable column the E - 53 bytes from 53 as one
// UTF-16 string ending at its first zero unit; otherwise ((E - 56) / 2) + 1
// units from 55, E = 55 giving the empty name.
std::string ColParName(ByteView page, uint16_t offset);

// Calls `visit(page_bytes, slot_offset)` for every slot 0 .. m_slotCnt - 1
// of every page of `list` in list order (pages read with torn-bit repair;
// unreadable pages are skipped). `keep` decides which slot offsets are
// visited; `visit` returns false to leave the page early.
using SlotFilter = bool (*)(size_t slot, uint16_t offset);
void ForEachSystemRow(const PageStore& store, const SystemPageList& list, SlotFilter keep,
                      const std::function<bool(ByteView page, uint16_t offset)>& visit);

// The slot bounds the readers use.
bool AnySlot(size_t slot, uint16_t offset);
// 2i + 2 <= 8192 and 0 < offset <= 8192 (the object list).
bool ObjectListSlot(size_t slot, uint16_t offset);
// 2i + 2 <= 8192 and offset <= 8192 (module texts).
bool ModuleTextSlot(size_t slot, uint16_t offset);
// offset <= 8192 (columns).
bool ColumnSlot(size_t slot, uint16_t offset);
// 2i + 2 < 8192 and 0 < offset < 8192 (sysidxstats when locating table pages).
bool IdxStatSlot(size_t slot, uint16_t offset);
// 2i + 2 < 8192 and offset < 8192 (sysrowsetrefs and sysallocunits when
// locating table pages).
bool RowsetRefSlot(size_t slot, uint16_t offset);

}  // namespace tollamer::sql2005
