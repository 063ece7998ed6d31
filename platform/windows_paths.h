// Pieces shared by the Windows implementation of this folder (not for
// callers outside platform/): UTF-8 paths as wide paths, system error texts,
// file identities from handles, and the read-only file over a handle.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace tollamer::platform {

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// `path` as CreateFileW takes it: wide, and past MAX_PATH made absolute
// under the \\?\ prefix (\\?\UNC\ for a share), which lifts the length limit.
// Device names (\\.\C:) and paths already prefixed stay as they are.
std::wstring WidePath(const std::string& path);

// True for \\.\ names: disks, volumes and other devices.
bool IsDevicePath(const std::string& path);

// The system's text for an error code, as UTF-8, without its final period.
std::string ErrorText(DWORD error);

// The open error kind of a GetLastError() value from CreateFileW.
OpenError OpenErrorKind(DWORD error);

// The volume serial number and file index of an open handle.
std::optional<FileIdentity> IdentityOfHandle(HANDLE handle);

// Takes over an open handle as a positioned-read file of `length` bytes,
// counted among the open inputs until it is destroyed. `sector_bytes` > 0:
// a disk or volume, read in whole aligned sectors whatever the caller asks.
std::unique_ptr<ReadOnlyFile> ReadOnlyFileFromHandle(HANDLE handle, uint64_t length,
                                                     uint32_t sector_bytes);

// Opens `path` for reading with `share` (what other openers may do
// meanwhile): a file, or a disk or volume named \\.\..., whose length and
// sector size come from the device. `lock`: also takes the exclusive lock
// that marks the exclusive open (windows_file.cpp).
OpenResult OpenForReading(const std::string& path, DWORD share, bool lock);

}  // namespace tollamer::platform
