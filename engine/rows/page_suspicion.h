// Why the rows of a data page read for a table are not to be trusted. A
// page that fails its checksum or torn bits, whose header names another
// page or another table's allocation unit than the one it was read for, or
// whose slot array or records are damaged gives rows that may be changed:
// they are handed out marked with the reason, never as good rows.
#pragma once

#include <cstdint>

#include "engine/catalog/format_profile.h"
#include "engine/catalog/mdf_database.h"
#include "engine/pagestore/page_check.h"
#include "engine/pagestore/page_header.h"

namespace tollamer {

namespace suspect_reason {
inline constexpr char kChecksum[] = "page fails its checksum";
inline constexpr char kTorn[] = "page torn";
inline constexpr char kOtherPage[] = "page header names another page";
inline constexpr char kOtherOwner[] = "page belongs to another table";
inline constexpr char kSlotArray[] = "slot array damaged";
inline constexpr char kRecord[] = "record damaged";
inline constexpr char kValue[] = "a value its type cannot hold";
inline constexpr char kLostValue[] = "text/image or off-row value lost";
}  // namespace suspect_reason

// The reason a page's own header gives for distrusting it, or null:
// `check` is the page store's verdict of the page (page_check.h).
const char* PageHeaderSuspicion(const CMdfDatabase& db, const FormatProfile& profile,
                                const TableInfo& table, const PageHeader& header,
                                uint64_t page_number, PageCheck check);

// True when the page passed its checksum or torn bits: the server wrote
// its bytes so, in one piece, and its rows need no value checks (which
// cost a tenth of a table's export; they judge the pages nothing protects).
bool CheckVouches(const PageHeader& header, PageCheck check);

}  // namespace tollamer
