// Walking an IAM chain into the list of extents it marks.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/pagestore/page_store.h"

namespace tollamer {

// Appends to `extents` every extent that the bitmaps of the chain starting
// at `first` mark. The pages are taken from the last one back to `first`, so
// extents of later IAM pages stand earlier in the list; within one page the
// extents ascend, and an extent marked twice is appended twice.
//
// Pages are page keys (page_address.h): an IAM page maps one interval of
// the file its start page names, and the chain goes from file to file.
//
// Fails (and appends nothing) when a page of the chain is not an IAM page,
// cannot be read, fails its checksum or torn bits (a changed bitmap names
// extents of other objects, or leaves the unit's out), has no usable bitmap
// record, or when the chain loops back on itself. Callers treat a failure
// as damaged allocation structures. A chain that goes on into a file of the
// database the store does not hold ends there: what came before is
// appended, and `cut` (when given) is set.
bool WalkIamChain(const PageStore& store, uint64_t first, std::vector<uint64_t>& extents,
                  bool* cut = nullptr);

// The page numbers in the eight single-page slots of an IAM page's header
// record, in slot order, empty slots left out; nothing when the page cannot
// be read, fails its checksum or torn bits, or is not an IAM page (m_type 10).
std::optional<std::vector<uint64_t>> ReadIamSinglePages(const PageStore& store, uint64_t iam_page);

}  // namespace tollamer
