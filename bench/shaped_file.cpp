#include "bench/shaped_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>

#include "engine/pagestore/iam_layout.h"
#include "engine/pagestore/page_layout.h"
#include "engine/pagestore/pfs_layout.h"
#include "tests/fixtures/lob_builder.h"
#include "tests/fixtures/sql2005_database.h"
#include "tests/fixtures/user_rows_database.h"

namespace tollamer::bench {

using namespace fixtures;
using namespace fixtures::user_rows;
using sql2005::Column2005;

namespace {

constexpr FormatVersion kVersion = FormatVersion::kSql2008;
constexpr uint32_t kFirstTableId = 309576141;
constexpr size_t kManyTables = 200;
constexpr uint64_t kExtentsPerTurn = 4;  // kMany: extents a table takes in one turn
constexpr size_t kLobRowsPerPage = 10;
constexpr uint32_t kAllocationObject = 99;
// One IAM page maps one GAM interval: the files stay inside the first one.
constexpr uint64_t kMostPages = uint64_t{iam_layout::kBitmapBytes} * 8 * 8;

using RowMaker = std::function<std::vector<Value>(uint64_t n)>;

struct TableShape {
  std::string name;
  std::vector<Column2005> columns;
  RowMaker row;
};

Bytes LittleEndian(uint64_t v, size_t bytes) {
  Bytes out(bytes);
  for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
  return out;
}

Bytes Float(double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  return LittleEndian(bits, 8);
}

Bytes Guid(uint64_t n) {
  Bytes out = LittleEndian(0x9E3779B97F4A7C15ULL * (n + 1), 8);
  Bytes low = LittleEndian(n ^ 0xA5A5A5A5A5A5ULL, 8);
  out.insert(out.end(), low.begin(), low.end());
  return out;
}

bool IsNull(uint64_t n, int column) { return (n * 7 + column) % 10 == 0; }

TableShape WideTable(const std::string& name) {
  TableShape t;
  t.name = name;
  t.columns = {{"id", 56, 0, 4, 10, 0, true},         {"name", 231, 0, 200, 0, 0},
               {"amount", 106, 0, 9, 18, 4},           {"stamp", 42, 0, 8, 27, 7},
               {"ref", 36, 0, 16, 0, 0},               {"code", 167, 0, 40, 0, 0},
               {"active", 104, 0, 1, 1, 0},            {"ratio", 62, 0, 8, 53, 0}};
  t.row = [](uint64_t n) -> std::vector<Value> {
    auto maybe = [n](int column, Value v) { return IsNull(n, column) ? Null() : v; };
    return {Fixed(Int32(static_cast<int32_t>(n))),
            maybe(1, Var(Utf16("Müller-Ødegård 注意 " + std::to_string(n)))),
            maybe(2, Fixed(Decimal(n % 5 != 0, 1234567890 + n * 7919, 18))),
            maybe(3, Fixed(DateTime2(733000 + n % 3000, (n * 123456789) % 864000000000ULL))),
            maybe(4, Fixed(Guid(n))),
            maybe(5, Var(Text("C-" + std::to_string(n % 100000) + ", \"quoted\""))),
            IsNull(n, 6) ? Null() : Bit(n % 2 == 0),
            maybe(7, Fixed(Float(n * 0.001 - 17.25)))};
  };
  return t;
}

TableShape NarrowTable(const std::string& name) {
  TableShape t;
  t.name = name;
  t.columns = {{"id", 56, 0, 4, 10, 0, true}, {"qty", 127, 0, 8, 19, 0}, {"label", 167, 0, 20}};
  t.row = [](uint64_t n) -> std::vector<Value> {
    return {Fixed(Int32(static_cast<int32_t>(n))),
            IsNull(n, 1) ? Null() : Fixed(Int64(static_cast<int64_t>(n * 31))),
            IsNull(n, 2) ? Null() : Var(Text("item " + std::to_string(n % 9973)))};
  };
  return t;
}

std::vector<Column2005> LobColumns() {
  return {{"id", 56, 0, 4, 10, 0, true}, {"title", 231, 0, 120, 0, 0},
          {"body", 35, 0, 16, 0, 0},     {"pic", 34, 0, 16, 0, 0},
          {"notes", 167, 0, 0xFFFF, 0, 0}, {"blob", 165, 0, 0xFFFF, 0, 0}};
}

// As many rows as fit in one data page, from row number `n` on.
std::vector<Bytes> PageOfRows(const TableShape& t, uint64_t& n) {
  const std::vector<UserColumn> columns = Columns(t.columns);
  std::vector<Bytes> records;
  size_t used = page_layout::kHeaderSize;
  for (;;) {
    Bytes record = UserRecord(columns, t.row(n));
    if (used + record.size() + 2 * (records.size() + 1) > page_layout::kPageSize - 64) break;
    used += record.size();
    records.push_back(std::move(record));
    ++n;
  }
  return records;
}

uint16_t SlotCount(const Bytes& page) {
  return static_cast<uint16_t>(page[page_layout::kSlotCnt] | page[page_layout::kSlotCnt + 1] << 8);
}

// A PFS page for the interval starting at `page`: every page allocated.
Bytes PfsPage(uint64_t page) {
  PageBuilder b(page_layout::PageType::kPfs, static_cast<uint32_t>(page));
  b.ObjId(kAllocationObject);
  Bytes record(pfs_layout::kExpectedRecordLength, pfs_layout::kAllocatedBit);
  record[0] = record[1] = 0;
  PutU16(record, 2, pfs_layout::kExpectedRecordLength);
  b.AddRecord(record);
  Bytes out = b.Build();
  FinishPage(out, kVersion);
  return out;
}

// The pages past the small database, in file order: a PFS page opens each
// PFS interval, its extent's other pages left free.
class PageStream {
 public:
  PageStream(std::FILE* f, uint64_t first) : f_(f), next_(first) {}

  // The number the k-th next page written gets.
  uint64_t Ahead(size_t k) const {
    uint64_t p = next_;
    for (size_t i = 0;; ++i, ++p) {
      p = SkipPfs(p);
      if (i == k) return p;
    }
  }
  bool Put(Bytes& page) {
    const uint64_t p = SkipPfs(next_);
    if (p != next_) {
      Bytes pfs = PfsPage(next_);
      if (!Write(pfs)) return false;
      Bytes empty(page_layout::kPageSize, 0);
      for (int i = 1; i < 8; ++i)
        if (!Write(empty)) return false;
    }
    PutU32(page, page_layout::kPageId, static_cast<uint32_t>(next_));
    FinishPage(page, kVersion);
    return Write(page);
  }
  // Free pages up to the next extent boundary.
  bool EndExtent() {
    Bytes empty(page_layout::kPageSize, 0);
    while (next_ % 8)
      if (!Write(empty)) return false;
    return true;
  }
  uint64_t Next() const { return next_; }

 private:
  static uint64_t SkipPfs(uint64_t p) { return p % pfs_layout::kPagesPerPfs == 0 ? p + 8 : p; }
  bool Write(const Bytes& page) {
    ++next_;
    return std::fwrite(page.data(), 1, page.size(), f_) == page.size();
  }

  std::FILE* f_;
  uint64_t next_;
};

struct TableState {
  uint32_t id = 0;
  TableShape shape;
  std::vector<Bytes> templates;  // kWide, kMany: the eight filled pages, copied in turn
  uint64_t rows = 0;
  uint64_t nextRow = 0;
};

void MarkExtent(sql2005::Built2005& built, uint32_t table_id, uint64_t extent) {
  Bytes& iam = built.file.MutablePage(built.layout.tables.at(table_id).iamPage);
  const size_t slot = page_layout::SlotEntryOffset(iam_layout::kBitmapRecordSlot);
  const size_t bitmap = (iam[slot] | (iam[slot + 1] << 8)) + iam_layout::kRecordHeaderSize;
  iam[bitmap + extent / 8] |= uint8_t(1u << (extent % 8));
}

// A data page with the header fields of the table's page `like`.
Bytes DataPage(const Bytes& like, uint32_t number, const std::vector<Bytes>& records) {
  auto u16 = [&](size_t o) { return static_cast<uint16_t>(like[o] | like[o + 1] << 8); };
  PageBuilder b(page_layout::PageType::kData, number);
  b.ObjId(u16(page_layout::kObjId) | uint32_t{u16(page_layout::kObjId + 2)} << 16);
  b.IndexId(u16(page_layout::kIndexId)).Pminlen(u16(page_layout::kPminlen));
  for (const Bytes& r : records) b.AddRecord(r);
  return b.Build();
}

// One extent's worth of LOB rows: eight data pages whose rows keep their
// large values on the text pages that follow them in the file.
class LobBlock {
 public:
  LobBlock(const PageStream& stream, size_t first_text) : stream_(stream), next_(first_text) {}

  std::vector<Value> Row(uint64_t n) {
    const std::string word = "row " + std::to_string(n) + " lorem ipsum; \"dolor\", sit amet\n";
    auto text = [&](size_t size) {
      std::string s;
      while (s.size() < size) s += word;
      s.resize(size);
      return Bytes(s.begin(), s.end());
    };
    auto binary = [&](size_t size) {
      Bytes b(size);
      for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(n * 31 + i * 7);
      return b;
    };
    Bytes body = text(1200 + n * 397 % 2800);
    Bytes pic = binary(800 + n * 211 % 2400);
    Bytes notes = text(1500 + n * 151 % 3000);
    Bytes blob = binary(600 + n * 89 % 2000);
    const size_t notes_size = notes.size(), blob_size = blob.size();
    auto [body_page, body_slot] = Put(std::move(body), true);
    auto [pic_page, pic_slot] = Put(std::move(pic), true);
    Value notes_value = Null();
    if (n % 10 != 3) {
      auto [page, slot] = Put(std::move(notes), false);
      notes_value = Var(InRowLobPointer(0, {LobLink{notes_size, page, slot}}), true);
    }
    auto [blob_page, blob_slot] = Put(std::move(blob), false);
    return {Fixed(Int32(static_cast<int32_t>(n))),
            Var(Utf16("Überschrift №" + std::to_string(n))),
            Var(TextPointerBytes(body_page, body_slot), true),
            Var(TextPointerBytes(pic_page, pic_slot), true),
            notes_value,
            Var(InRowLobPointer(0, {LobLink{blob_size, blob_page, blob_slot}}), true)};
  }

  // The finished text pages, numbered from the first text page on.
  std::vector<Bytes> TextPages() {
    Close();
    return std::move(pages_);
  }

 private:
  // A data fragment with the value, and for a text pointer a root record
  // naming it; the (page, slot) the row's pointer names.
  std::pair<uint32_t, uint16_t> Put(Bytes data, bool with_root) {
    const uint64_t id = ++blob_id_;
    Bytes fragment = LobDataFragment(id, data);
    const size_t need = fragment.size() + (with_root ? 84 + 4 : 2);
    if (used_ + need > page_layout::kPageSize - 64) Close();
    const uint32_t page = static_cast<uint32_t>(stream_.Ahead(next_ + pages_.size()));
    const uint16_t slot = static_cast<uint16_t>(records_.size());
    used_ += need;
    const uint64_t size = data.size();
    records_.push_back(std::move(fragment));
    if (!with_root) return {page, slot};
    records_.push_back(LobRoot(id, 0, {LobLink{size, page, slot}}));
    return {page, static_cast<uint16_t>(slot + 1)};
  }
  void Close() {
    if (records_.empty()) return;
    pages_.push_back(LobPage(page_layout::PageType::kTextMix, 0, records_, kVersion));
    records_.clear();
    used_ = page_layout::kHeaderSize;
  }

  const PageStream& stream_;
  size_t next_;
  std::vector<Bytes> records_;
  std::vector<Bytes> pages_;
  size_t used_ = page_layout::kHeaderSize;
  inline static uint64_t blob_id_ = 0;
};

std::vector<TableShape> Shapes(FileShape shape) {
  switch (shape) {
    case FileShape::kWide: return {WideTable("wide_rows")};
    case FileShape::kLob: return {TableShape{"documents", LobColumns(), {}}};
    case FileShape::kMany: break;
  }
  std::vector<TableShape> out;
  for (size_t i = 0; i < kManyTables; ++i) {
    const std::string name = "t" + std::to_string(1000 + i);
    out.push_back(i % 2 ? WideTable(name + "_wide") : NarrowTable(name + "_narrow"));
  }
  return out;
}

sql2005::Database2005 Describe(const std::vector<TableState>& tables) {
  sql2005::Database2005 d;
  d.version = kVersion;
  for (const TableState& s : tables) {
    sql2005::Table2005 t{s.id, s.shape.name, 1};
    t.columns = s.shape.columns;
    t.dataPages = 8;
    t.rowCount = s.rows;
    d.tables.push_back(t);
  }
  return d;
}

}  // namespace

const char* ShapeName(FileShape shape) {
  switch (shape) {
    case FileShape::kWide: return "wide table";
    case FileShape::kLob: return "LOB table";
    case FileShape::kMany: return "200 tables";
  }
  return "";
}

ShapedFile WriteShapedFile(FileShape shape, const std::string& path, uint64_t bytes) {
  std::vector<TableState> tables;
  for (TableShape& s : Shapes(shape))
    tables.push_back({static_cast<uint32_t>(kFirstTableId + 1000003 * tables.size()), std::move(s)});
  sql2005::Built2005 built = sql2005::BuildDatabase2005(Describe(tables));
  const uint64_t first = (built.file.PageCount() + 7) / 8 * 8;
  const uint64_t total =
      std::min(kMostPages, std::max(first, bytes / page_layout::kPageSize / 8 * 8));

  ShapedFile out;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return out;
  bool ok = std::fseek(f, static_cast<long>(first * page_layout::kPageSize), SEEK_SET) == 0;
  PageStream stream(f, first);
  std::set<uint32_t> changed;  // pages of the small database written here

  if (shape == FileShape::kLob) {
    TableState& t = tables[0];
    const std::vector<uint32_t> own = built.layout.tables.at(t.id).DataPages();
    const Bytes like = built.file.MutablePage(own[0]);
    const std::vector<UserColumn> columns = Columns(t.shape.columns);
    for (bool in_database = true; ok; in_database = false) {
      // The block's data pages: the table's own eight, then whole extents.
      std::vector<uint64_t> numbers;
      for (size_t i = 0; i < 8; ++i) numbers.push_back(in_database ? own[i] : stream.Ahead(i));
      LobBlock block(stream, in_database ? 0 : 8);
      std::vector<Bytes> data;
      for (uint64_t number : numbers) {
        std::vector<Bytes> records;
        for (size_t r = 0; r < kLobRowsPerPage; ++r)
          records.push_back(UserRecord(columns, block.Row(t.nextRow++)));
        data.push_back(DataPage(like, static_cast<uint32_t>(number), records));
      }
      std::vector<Bytes> text = block.TextPages();
      if (stream.Ahead((in_database ? 0 : 8) + text.size() + 8) >= total) break;
      for (size_t i = 0; i < data.size(); ++i) {
        if (in_database) {
          FinishPage(data[i], kVersion);
          built.file.SetPage(own[i], data[i]);
          changed.insert(own[i]);
        } else {
          MarkExtent(built, t.id, stream.Ahead(0) / 8);
          ok = ok && stream.Put(data[i]);
        }
      }
      for (Bytes& page : text) ok = ok && stream.Put(page);
      ok = ok && stream.EndExtent();
      t.rows += kLobRowsPerPage * 8;
    }
  } else {
    for (TableState& t : tables) {
      std::vector<std::vector<Bytes>> pages;
      for (int i = 0; i < 8; ++i) pages.push_back(PageOfRows(t.shape, t.nextRow));
      FillTablePages2005(built, t.id, pages, kVersion);
      for (uint32_t p : built.layout.tables.at(t.id).DataPages()) {
        t.templates.push_back(built.file.MutablePage(p));
        t.rows += SlotCount(t.templates.back());
        changed.insert(p);
      }
    }
    for (uint64_t turn = 0; ok && stream.Ahead(7) < total; ++turn) {
      TableState& t = tables[turn / kExtentsPerTurn % tables.size()];
      MarkExtent(built, t.id, stream.Ahead(0) / 8);
      for (Bytes page : t.templates) {
        t.rows += SlotCount(page);
        ok = ok && stream.Put(page);
      }
    }
  }
  ok = ok && stream.EndExtent();
  const uint64_t end = stream.Next();

  // The first PFS page marks the pages past the small database allocated.
  Bytes& pfs = built.file.MutablePage(pfs_layout::kFirstPfsPage);
  for (uint64_t p = first; p < std::min<uint64_t>(end, pfs_layout::kPagesPerPfs); ++p)
    pfs[pfs_layout::EntryOffsetOf(p)] |= pfs_layout::kAllocatedBit;
  changed.insert(pfs_layout::kFirstPfsPage);
  for (const TableState& t : tables) changed.insert(built.layout.tables.at(t.id).iamPage);

  // The same database again with the row counts now known, then the pages
  // written above put into it.
  sql2005::Built2005 counted = sql2005::BuildDatabase2005(Describe(tables));
  ok = ok && counted.file.PageCount() == built.file.PageCount();
  for (uint32_t p : changed) {
    Bytes page = built.file.MutablePage(p);
    FinishPage(page, kVersion);
    counted.file.SetPage(p, std::move(page));
  }
  counted.file.SetPageCount(static_cast<uint32_t>(first));
  const Bytes image = counted.file.Image();
  ok = ok && std::fseek(f, 0, SEEK_SET) == 0 &&
       std::fwrite(image.data(), 1, image.size(), f) == image.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) return out;
  out.path = path;
  out.bytes = end * page_layout::kPageSize;
  out.tables = tables.size();
  for (const TableState& t : tables) out.rows += t.rows;
  if (tables.size() == 1) out.table = "dbo." + tables[0].shape.name;
  return out;
}

}  // namespace tollamer::bench
