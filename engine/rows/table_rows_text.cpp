#include "engine/rows/table_rows_text.h"

#include "engine/rows/compressed_row.h"
#include "engine/values/large_values.h"
#include "engine/values/value_format.h"
#include "engine/values/wide_text.h"
#include "engine/values/xml_value.h"

namespace tollamer {

namespace {

constexpr const char* kNullText = "NULL";

// The in-row bytes of a variable cell (empty when they lie past the page).
ByteView CellBytes(const CellLocation& cell, ByteView record) {
  return record.Slice(cell.offset, cell.length).value_or(ByteView());
}

std::string NarrowText(ByteView bytes, uint16_t code_page) {
  return NarrowAsUtf8(UpToNul(bytes), code_page);
}

std::string WideText(ByteView bytes) {
  std::string out;
  AppendWideAsAnsi(bytes, out);
  return out;
}

std::string HexOfFirst(const std::string& bytes, size_t limit) {
  ByteView v(reinterpret_cast<const uint8_t*>(bytes.data()), std::min(bytes.size(), limit));
  return HexText(v);
}

using TextReader = void (*)(const PageStore&, uint32_t, uint16_t, uint16_t, std::string&, bool,
                            bool);

// text, ntext and image values through their 16-byte text pointer.
std::string PointerValue(const PageStore& store, ByteView bytes, const ColumnInfo& c,
                         TextReader read, size_t text_chars, size_t ntext_chars) {
  const uint8_t xtype = c.xtype;
  std::optional<TextPointer> pointer = DecodeTextPointer(bytes);
  if (!pointer) return {};
  std::string value;
  switch (xtype) {
    case value_type::kText:
      read(store, pointer->pageId, pointer->slotId, pointer->fileId, value, true, false);
      value = NarrowAsUtf8(ByteView(reinterpret_cast<const uint8_t*>(value.data()), value.size()),
                           c.codePage);
      CutToCharacters(value, text_chars);
      return value;
    case value_type::kNText:
      if (pointer->pageId == 0) return {};
      read(store, pointer->pageId, pointer->slotId, pointer->fileId, value, true, true);
      CutToCharacters(value, ntext_chars);
      return value;
    default:  // image
      read(store, pointer->pageId, pointer->slotId, pointer->fileId, value, true, false);
      return HexOfFirst(value, kImageBytes);
  }
}

std::string OverflowText(const PageStore& store, ByteView pointer, uint8_t as_type) {
  std::string value;
  ReadOverflowValue(store, pointer, as_type, value);
  CutToCharacters(value, kOverflowChars);
  return value;
}

// varchar(max) values read off the row: the whole value is read in the
// column's code page before it is cut, so no character is split.
std::string OverflowNarrowText(const PageStore& store, ByteView pointer, uint16_t code_page) {
  std::string stored;
  ReadOverflowValue(store, pointer, value_type::kVarChar, stored);
  std::string value =
      NarrowAsUtf8(ByteView(reinterpret_cast<const uint8_t*>(stored.data()), stored.size()),
                   code_page);
  CutToCharacters(value, kOverflowChars);
  return value;
}

std::string Variable2000(const PageStore& store, const ColumnInfo& c, const CellLocation& cell,
                         ByteView record) {
  ByteView bytes = CellBytes(cell, record);
  switch (c.xtype) {
    case value_type::kSqlVariant:
      return kNullText;
    case value_type::kVarChar:
      return cell.complex ? std::string() : NarrowText(bytes, c.codePage);
    case value_type::kNVarChar:
      return WideText(bytes);
    case value_type::kText:
    case value_type::kNText:
    case value_type::kImage:
      return PointerValue(store, bytes, c, &ReadTextValue2000, kText2000Chars,
                          kNText2000Chars);
    case value_type::kVarBinary:
      return cell.complex ? std::string() : HexText(bytes);
    default:
      return {};
  }
}

std::string Variable2005(const PageStore& store, const ColumnInfo& c, const CellLocation& cell,
                         ByteView record) {
  ByteView bytes = CellBytes(cell, record);
  switch (c.xtype) {
    case value_type::kSqlVariant:
      return kNullText;
    case value_type::kVarChar:
      if (cell.complex) return OverflowNarrowText(store, bytes, c.codePage);
      return bytes.empty() ? std::string(" ") : NarrowText(bytes, c.codePage);
    case value_type::kNVarChar:
      if (cell.complex) return OverflowText(store, bytes, value_type::kNVarChar);
      return WideText(bytes);
    case value_type::kXml: {
      std::string text;
      if (cell.complex) {
        // The off-row bytes hold the same token format as an in-row value.
        std::string stored;
        ReadOverflowValue(store, bytes, value_type::kVarBinary, stored);
        DecodeXmlValue(ByteView(reinterpret_cast<const uint8_t*>(stored.data()), stored.size()),
                       text);
        CutToCharacters(text, kOverflowChars);
        return text;
      }
      if (bytes.empty()) return " ";
      DecodeXmlValue(bytes, text);
      return text;
    }
    case value_type::kText:
    case value_type::kNText:
    case value_type::kImage:
      return PointerValue(store, bytes, c, &ReadTextValue2005, kLargeText2005Chars,
                          kLargeText2005Chars);
    case value_type::kVarBinary:
    case value_type::kClr: {
      if (!cell.complex) return HexText(bytes);
      std::string stored;
      ReadOverflowValue(store, bytes, value_type::kVarBinary, stored);
      return HexOfFirst(stored, kOverflowBytes);
    }
    default:
      return {};
  }
}

// The in-row text kinds that most rows hold are written into `out`, which
// keeps its allocation from row to row; the rest are made as before.
void SetVariable2005(const PageStore& store, const ColumnInfo& c, const CellLocation& cell,
                     ByteView record, std::string& out) {
  if (!cell.complex && (c.xtype == value_type::kVarChar || c.xtype == value_type::kNVarChar)) {
    ByteView bytes = CellBytes(cell, record);
    out.clear();
    if (c.xtype == value_type::kNVarChar) {
      AppendWideAsAnsi(bytes, out);
    } else if (bytes.empty()) {
      out.push_back(' ');
    } else {
      AppendNarrowAsUtf8(UpToNul(bytes), c.codePage, out);
    }
    return;
  }
  out = Variable2005(store, c, cell, record);
}

}  // namespace

std::string CellText2000(const PageStore& store, const ColumnInfo& column,
                         const CellLocation& cell, ByteView record) {
  switch (cell.kind) {
    case CellKind::kNull: return kNullText;
    case CellKind::kNotStored: return {};
    case CellKind::kFixed:
    case CellKind::kBit:
      return FormatValue2000(column.xtype, record, cell.offset, cell.bit, column.xprec,
                             column.xscale, column.length, column.codePage);
    case CellKind::kVariable: return Variable2000(store, column, cell, record);
  }
  return {};
}

std::string CellText2005(const PageStore& store, const ColumnInfo& column,
                         const CellLocation& cell, ByteView record) {
  switch (cell.kind) {
    case CellKind::kNull: return kNullText;
    case CellKind::kNotStored: return {};
    case CellKind::kFixed:
      return FormatValue2005(column.xtype, record, cell.offset, column.xprec, column.xscale,
                             column.length, 0, column.codePage);
    case CellKind::kBit:
      return FormatValue2005(value_type::kBit, record, cell.offset, column.xprec, column.xscale,
                             column.length, cell.bit);
    case CellKind::kVariable: return Variable2005(store, column, cell, record);
  }
  return {};
}

bool RecordTexts(const PageStore& store, EngineMessages& messages, const TableRecordWalk& walk,
                 const TableRecord& record, std::vector<std::string>& row) {
  if (record.compressed) {
    static const PageCompression kNone;
    const PageCompression& c = record.compression ? *record.compression : kNone;
    std::optional<std::vector<std::string>> texts = DecodeCompressedRecord(
        record.page, record.recordOffset, walk.Table().columns, c.anchor, c.dictionary, store,
        messages);
    if (!texts) return false;
    row = std::move(*texts);
    return true;
  }
  const bool is2000 = walk.Version() == VersionSetting::kSql2000;
  const std::vector<ColumnPlan>& plan = walk.Plan();
  const size_t n = std::min(record.cells.size(), plan.size());
  row.resize(n);
  ByteView bytes = record.Record();
  for (size_t i = 0; i < n; ++i) {
    const ColumnInfo& column = *plan[i].column;
    const CellLocation& cell = record.cells[i];
    std::string& out = row[i];
    switch (cell.kind) {
      case CellKind::kNull: out.assign(kNullText); break;
      case CellKind::kNotStored: out.clear(); break;
      case CellKind::kVariable:
        if (!is2000) {
          SetVariable2005(store, column, cell, bytes, out);
          break;
        }
        [[fallthrough]];
      default:
        out = is2000 ? CellText2000(store, column, cell, bytes)
                     : CellText2005(store, column, cell, bytes);
    }
  }
  return true;
}

std::optional<std::vector<std::string>> RecordTexts(CMdfDatabase& db, const TableRecordWalk& walk,
                                                    const TableRecord& record) {
  std::vector<std::string> row;
  if (!RecordTexts(db.Store(), db.Messages(), walk, record, row)) return std::nullopt;
  return row;
}

}  // namespace tollamer
