// Pieces shared by the POSIX open functions of this folder (not for callers
// outside platform/).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/file.h"

namespace tollamer::platform {

// The open error kind of an errno value from open(2).
OpenError OpenErrorKind(int err);

// Takes over an open descriptor as a positioned-read file of `length` bytes,
// counted among the open inputs until it is destroyed.
std::unique_ptr<ReadOnlyFile> ReadOnlyFileFromDescriptor(int fd, uint64_t length);

}  // namespace tollamer::platform
