// How a user names an object of the catalog: owner.name or the name alone,
// each part optionally in [brackets] (with ]] for a ] inside), in any
// letter case, and, for scripts written when names lost their blanks, the
// name without its blanks.
//
// Candidates are tried in tiers, and the first tier that finds any object
// decides:
//   1. the full name exactly     2. the name without its owner exactly
//   3. the full name, any case   4. the name alone, any case
//   5. the full name, blanks removed and any case
//   6. the name alone, blanks removed and any case
// A tier that finds more than one object makes the name ambiguous.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tollamer {

// `text` with its letters in lower case: ASCII, Latin-1, Latin Extended-A
// and Additional (Vietnamese), Greek and Cyrillic capitals, the letters
// whose case a case-insensitive collation ignores in the names users give.
std::string FoldCase(std::string_view text);

// "[dbo].[Order Details]" as "dbo.Order Details"; a text without '[' as it
// is.
std::string Unbracketed(std::string_view given);

// The indices into `full_names` (owner "." name, or a name without owner)
// of the objects `given` names: none, one, or several when ambiguous.
std::vector<size_t> MatchObjectName(const std::vector<std::string>& full_names,
                                    std::string_view given);

// The owner of a full name: the part before its first point (empty when
// there is none).
std::string_view OwnerOf(std::string_view full_name);
// The name after the owner's point, or the whole name without one.
std::string_view NameWithoutOwner(std::string_view full_name);

}  // namespace tollamer
