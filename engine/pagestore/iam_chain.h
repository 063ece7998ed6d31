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
// Fails (and appends nothing) when a page of the chain is not an IAM page,
// cannot be read, has no usable bitmap record, or when the chain loops back
// on itself. Callers treat a failure as damaged allocation structures.
bool WalkIamChain(const PageStore& store, uint64_t first, std::vector<uint64_t>& extents);

// The page numbers in the eight single-page slots of an IAM page's header
// record, in slot order, empty slots left out; nothing when the page's
// first 190 bytes cannot be read or it is not an IAM page (m_type 10).
std::optional<std::vector<uint64_t>> ReadIamSinglePages(const PageStore& store, uint64_t iam_page);

}  // namespace tollamer
