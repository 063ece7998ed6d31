#include "engine/catalog/database_files.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "engine/pagestore/record_frame.h"
#include "engine/pagestore/record_layout.h"
#include "engine/pagestore/torn_page.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tollamer {

using namespace page_layout;

namespace {

namespace prufiles {
constexpr uint32_t kObjectId = 24;
constexpr uint16_t kIndexId = 1;
constexpr uint8_t kRowStatus = 0x30;  // primary record, null bitmap, variable columns
constexpr uint16_t kFixedEnd = 248;
constexpr size_t kFileId = 8;
constexpr size_t kType = 20;
constexpr uint8_t kTypeLog = 1;
}  // namespace prufiles

namespace sysfiles1 {
constexpr uint32_t kObjectId = 8;
constexpr uint16_t kIndexId = 0;
constexpr size_t kStatus = 4;
constexpr uint32_t kStatusLog = 0x40;
constexpr size_t kFileId = 8;
constexpr size_t kName = 10;
constexpr size_t kNameBytes = 256;
constexpr size_t kPath = 266;
constexpr size_t kPathBytes = 520;
constexpr uint16_t kFixedEnd = kPath + kPathBytes;  // 786
}  // namespace sysfiles1

std::string TrimmedText(ByteView bytes) {
  size_t chars = bytes.size() / 2;
  while (chars > 0 && (bytes.LeOr<uint16_t>((chars - 1) * 2) == ' ' ||
                       bytes.LeOr<uint16_t>((chars - 1) * 2) == 0))
    --chars;
  return platform::Utf16LeToUtf8(bytes.span().subspan(0, chars * 2));
}

std::optional<DatabaseFileRecord> DecodePrufilesRow(ByteView r) {
  using namespace record_layout;
  if (r.LeOr<uint8_t>(kStatusA) != prufiles::kRowStatus || r.LeOr<uint16_t>(kFixedEnd) != prufiles::kFixedEnd)
    return std::nullopt;
  // The name and the path are the first two variable columns.
  std::optional<RecordFrame> frame = ReadRecordFrame(r);
  std::optional<uint32_t> id = r.U32(prufiles::kFileId);
  if (!frame || frame->variableCount < 2 || !id || *id == 0 || *id > UINT16_MAX) return std::nullopt;
  const size_t data = frame->VariableDataStart();
  std::optional<uint16_t> name_end = VariableEndOffset(r, *frame, 1);
  std::optional<uint16_t> path_end = VariableEndOffset(r, *frame, 2);
  if (!name_end || !path_end || *name_end < data || *path_end < *name_end) return std::nullopt;
  std::optional<ByteView> name = r.Slice(data, *name_end - data);
  std::optional<ByteView> path = r.Slice(*name_end, *path_end - *name_end);
  if (!name || !path) return std::nullopt;
  DatabaseFileRecord f;
  f.fileId = static_cast<uint16_t>(*id);
  f.log = r.LeOr<uint8_t>(prufiles::kType) == prufiles::kTypeLog;
  f.logicalName = TrimmedText(*name);
  f.physicalPath = TrimmedText(*path);
  return f;
}

std::optional<DatabaseFileRecord> DecodeSysfiles1Row(ByteView r) {
  if ((r.LeOr<uint8_t>(record_layout::kStatusA) & record_layout::kRecordTypeMask) != 0 ||
      r.LeOr<uint16_t>(record_layout::kFixedEnd) != sysfiles1::kFixedEnd)
    return std::nullopt;
  std::optional<uint16_t> id = r.U16(sysfiles1::kFileId);
  std::optional<ByteView> name = r.Slice(sysfiles1::kName, sysfiles1::kNameBytes);
  std::optional<ByteView> path = r.Slice(sysfiles1::kPath, sysfiles1::kPathBytes);
  if (!id || *id == 0 || !name || !path) return std::nullopt;
  DatabaseFileRecord f;
  f.fileId = *id;
  f.log = (r.LeOr<uint32_t>(sysfiles1::kStatus) & sysfiles1::kStatusLog) != 0;
  f.logicalName = TrimmedText(*name);
  f.physicalPath = TrimmedText(*path);
  return f;
}

std::string LastPart(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
    return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
  });
  return s;
}

// The file named `name` in `folder`, the exact name first, else one that
// differs only in the case of its ASCII letters.
std::optional<std::filesystem::path> FindBeside(const std::filesystem::path& folder,
                                                const std::string& name) {
  std::error_code ec;
  const std::filesystem::path exact = folder / platform::PathFromUtf8(name);
  if (std::filesystem::is_regular_file(exact, ec)) return exact;
  const std::string wanted = Lower(name);
  for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end;
       !ec && it != end; it.increment(ec))
    if (Lower(platform::Utf8FromPath(it->path().filename())) == wanted && it->is_regular_file(ec))
      return folder / it->path().filename();
  return std::nullopt;
}

}  // namespace

std::vector<DatabaseFileRecord> ReadDatabaseFileList(const PageStore& store) {
  std::map<uint16_t, DatabaseFileRecord> full, first;  // sysprufiles, sysfiles1
  const uint64_t end = std::min(store.PageCount(), kFileListPages);
  ForEachPageInBlocks(store, 0, end, [&](uint64_t, ByteView raw) {
    std::optional<PageHeader> h = PageHeader::Decode(raw);
    if (!h || h->headerVersion != kValidHeaderVersion || !h->HasType(PageType::kData)) return true;
    const bool pru = h->objId == prufiles::kObjectId && h->indexId == prufiles::kIndexId;
    const bool old = h->objId == sysfiles1::kObjectId && h->indexId == sysfiles1::kIndexId;
    if (!pru && !old) return true;
    Page page = FixTornPage(raw.span(), h->tornBits, h->flagBits);
    ByteView v = page.view();
    for (size_t slot = 0; slot < h->slotCnt && slot < kMaxSlots; ++slot) {
      std::optional<uint16_t> offset = SlotOffset(v, slot);
      if (!offset || *offset < kHeaderSize || *offset >= kPageSize) continue;
      std::optional<DatabaseFileRecord> f =
          pru ? DecodePrufilesRow(v.From(*offset)) : DecodeSysfiles1Row(v.From(*offset));
      if (f) (pru ? full : first).try_emplace(f->fileId, std::move(*f));
    }
    return true;
  });
  std::vector<DatabaseFileRecord> files;
  for (auto& [id, f] : full.empty() ? first : full) files.push_back(std::move(f));
  return files;
}

void FindDatabaseFiles(PageStore& store) {
  if (!store.IsOpen() || store.Kind() != FileKind::kData) return;
  std::vector<DatabaseFileRecord> files = ReadDatabaseFileList(store);
  const std::filesystem::path folder =
      platform::PathFromUtf8(store.Sources().front().path).parent_path();
  for (DatabaseFileRecord& f : files) {
    if (f.log) continue;
    if (!store.HoldsFile(f.fileId) && f.fileId != kFirstFileId) {
      const std::string name = LastPart(f.physicalPath);
      std::optional<std::filesystem::path> found = name.empty() ? std::nullopt : FindBeside(folder, name);
      if (!found) f.whyNotOpened = "not found beside the primary file as " + name;
      else if (!store.AddDataFile(platform::Utf8FromPath(*found))) f.whyNotOpened = store.LastError();
    }
  }
  for (DatabaseFileRecord& f : files)
    for (const StoreSource& s : store.Sources())
      if (s.fileId == f.fileId && !f.log) {
        f.openedPath = s.path;
        f.whyNotOpened.clear();
      }
  store.SetDatabaseFiles(std::move(files));
}

}  // namespace tollamer
