// The name of a collation id (collation.h), as a COLLATE clause writes it.
//
// Windows collations: the designator of the locale index, then the version
// (_90, _100, _140), then _BIN2, _BIN, or the sensitivities (_CI or _CS,
// _AI or _AS, _KS when kana-sensitive, _WS when width-sensitive), then
// _UTF8. SQL collations: the name of their sort order id.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tollamer {

// Nothing when the locale index or sort order id is not one named here.
std::optional<std::string> CollationName(uint32_t id);

// Whether a column of system type `xtype` has a collation (char, varchar,
// text, nchar, nvarchar, ntext).
bool HasCollation(uint8_t xtype);

}  // namespace tollamer
