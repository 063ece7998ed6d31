#include "tools/page_census.h"

#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/page_start.h"

namespace tollamer::tools {

using namespace page_layout;

std::string_view CensusLabel(PageKind kind) {
  switch (kind) {
    case PageKind::kNull: return "null page:";
    case PageKind::kErr: return "err page:";
    case PageKind::kData: return "data page:";
    case PageKind::kIndex: return "index page:";
    case PageKind::kLob: return "LOB page:";
    case PageKind::kFileHeader: return "file header page:";
    case PageKind::kPfs: return "PFS page:";
    case PageKind::kGam: return "GAM page:";
    case PageKind::kSgam: return "SGAM page:";
    case PageKind::kDiffMap: return "diff map page:";
    case PageKind::kMlMap: return "ML map page:";
    case PageKind::kBoot: return "boot page:";
    case PageKind::kIam: return "IMA page:";
  }
  return "";
}

std::string_view KindName(PageKind kind) {
  switch (kind) {
    case PageKind::kNull: return "null";
    case PageKind::kErr: return "err";
    case PageKind::kData: return "data";
    case PageKind::kIndex: return "index";
    case PageKind::kLob: return "LOB";
    case PageKind::kFileHeader: return "file header";
    case PageKind::kPfs: return "PFS";
    case PageKind::kGam: return "GAM";
    case PageKind::kSgam: return "SGAM";
    case PageKind::kDiffMap: return "diff map";
    case PageKind::kMlMap: return "ML map";
    case PageKind::kBoot: return "boot";
    case PageKind::kIam: return "IAM";
  }
  return "";
}

namespace {

bool IsEmptyPage(ByteView p) {
  if (p.LeOr<uint8_t>(kHeaderVersion) != 0 || p.LeOr<uint8_t>(kType) != 0) return false;
  if (p.LeOr<uint32_t>(kObjId) != 0 || p.LeOr<uint32_t>(kPageId) != 0 ||
      p.LeOr<uint16_t>(kFileId) != 0)
    return false;
  bool some_word_zero = false;
  for (size_t w = 0; w < kEmptyTestWords; ++w)
    if (p.LeOr<uint64_t>(w * 8) == 0) some_word_zero = true;
  return some_word_zero && p.AllZero(kLastWordOffset, 8);
}

PageKind KindOfType(uint8_t type) {
  switch (static_cast<PageType>(type)) {
    case PageType::kData: return PageKind::kData;
    case PageType::kIndex: return PageKind::kIndex;
    case PageType::kTextMix:
    case PageType::kTextTree: return PageKind::kLob;
    case PageType::kFileHeader: return PageKind::kFileHeader;
    case PageType::kPfs: return PageKind::kPfs;
    case PageType::kGam: return PageKind::kGam;
    case PageType::kSgam: return PageKind::kSgam;
    case PageType::kDiffMap: return PageKind::kDiffMap;
    case PageType::kMlMap: return PageKind::kMlMap;
    case PageType::kBoot: return PageKind::kBoot;
    case PageType::kIam: return PageKind::kIam;
  }
  return PageKind::kErr;
}

}  // namespace

PageKind ClassifyPage(ByteView page) {
  if (page.size() < kPageSize) return PageKind::kErr;
  if (IsEmptyPage(page)) return PageKind::kNull;
  // Test B is the backup converter's page-start test on the header, for a
  // page of the primary file.
  if (IsBackupPageStart(page) && page.LeOr<uint16_t>(kFileId) == kPrimaryFileId)
    return KindOfType(page.LeOr<uint8_t>(kType));
  return PageKind::kErr;
}

}  // namespace tollamer::tools
