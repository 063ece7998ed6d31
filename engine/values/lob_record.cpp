#include "engine/values/lob_record.h"

#include "engine/pagestore/page_header.h"
#include "engine/values/wide_text.h"

namespace tollamer {

std::optional<LobRecord> LocateLobRecord(const PageStore& store, uint64_t page_id, uint16_t slot) {
  std::optional<Page> page = store.ReadPage(page_id);
  if (!page) return std::nullopt;
  std::optional<uint16_t> offset = SlotOffset(page->view(), slot);
  if (!offset) return std::nullopt;
  return LobRecord{std::move(*page), *offset};
}

bool LobRecord::OnTextPage() const {
  std::optional<PageHeader> h = PageHeader::Decode(page.view());
  return h && h->headerVersion == page_layout::kValidHeaderVersion &&
         (h->HasType(page_layout::PageType::kTextMix) || h->HasType(page_layout::PageType::kTextTree));
}

void AppendLobData(ByteView data, bool unicode, std::string& value) {
  if (unicode) {
    AppendWideAsAnsi(data, value);
  } else {
    value.append(reinterpret_cast<const char*>(data.data()), data.size());
  }
}

}  // namespace tollamer
