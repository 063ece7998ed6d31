// The data source menu of the fragment search: the machine's whole disks,
// the fixed volumes on them, and a disk image file; and what choosing an
// entry fills into the search fields (source path, start sector, size).
//
//   ITEM                 COMMAND ID     TEXT
//   disk d = 0..n-1      2001 + d       "/dev/sda: (1 hard drive 20.0 GB)"
//   separator
//   fixed volume k       2002 + n + k   "/dev/sda1 (/dev/sda ,2048 sec)"
//   separator
//   image file           2000           "Select File (image)"
//
// n counts every disk present, opened or not: a disk that cannot be opened
// (or holds no medium) has no item but keeps its id. Only ids up to 2011
// are handled.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/block_devices.h"

namespace tollamer::tools {

inline constexpr int kImageItemId = 2000;
inline constexpr int kFirstDiskItemId = 2001;
inline constexpr int kLastHandledItemId = 2011;
inline constexpr char kImageItemText[] = "Select File (image)";
inline constexpr char kImageFilter[] = "(*.dsk *.img *.kvt)|*.dsk;*.img;*.kvt|All files (*.*)|*.*||";

struct SourceMenuItem {
  enum class Kind { kDisk, kVolume, kSeparator, kImage };
  Kind kind = Kind::kSeparator;
  int id = 0;
  std::string text;
};

struct SourceMenu {
  std::vector<SourceMenuItem> items;
  size_t diskCount = 0;  // n
};

// Builds the menu once, opening every disk to learn its size.
SourceMenu BuildSourceMenu(const platform::BlockDevices& devices);

// What a choice fills in. The start sector and size are set only when the
// source could be opened; `detect` asks the dialog to recognise the file
// system at the start sector.
struct SourceFields {
  std::string sourcePath;
  std::optional<std::string> startSector;
  std::optional<std::string> sizeSectors;
  bool detect = false;
};

// A disk or volume command. Nothing for ids that do nothing (separators,
// the unused id 2001 + n, ids above 2011).
std::optional<SourceFields> ChooseSourceItem(const SourceMenu& menu, int id,
                                             const platform::BlockDevices& devices);

// The image file chosen in the file dialog: a name without an extension is
// shown with ".kvt" added, while the size is taken from the file as chosen.
SourceFields ChooseImageFile(const std::string& chosen_path);

}  // namespace tollamer::tools
