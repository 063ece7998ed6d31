// Binary XML values, and fixed values decoded and shown as grid text of
// both versions on the same bytes (type id, sizes and the code page of
// char text from the first bytes); char text must always come out as valid
// UTF-8.
#include <iterator>

#include "engine/rows/table_rows_text.h"
#include "engine/rows/typed_decode.h"
#include "engine/values/value_types.h"
#include "engine/values/xml_value.h"
#include "fuzz/fuzz_support.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tollamer::ByteView bytes(data, size);
  std::string text;
  tollamer::DecodeXmlValue(bytes, text);
  (void)tollamer::FormatXmlAttributeValue(bytes);
  (void)tollamer::ReadMb32(bytes);

  if (size < 6) return 0;
  const uint8_t type = data[0];
  const uint8_t precision = data[1];
  const uint8_t scale = data[2];
  const uint16_t length = tollamer::fuzz::U16At({data, size}, 3);
  const uint8_t bit = data[5] & 7;
  static constexpr uint16_t kCodePages[] = {0, 437, 850, 874, 932, 936, 949, 950, 1252, 1258, 65001};
  const uint16_t code_page = kCodePages[(data[5] >> 3) % std::size(kCodePages)];
  tollamer::ByteView record = bytes.From(6);
  tollamer::ColumnInfo column;
  column.xtype = type;
  column.xprec = precision;
  column.xscale = scale;
  column.length = length;
  column.codePage = code_page;
  tollamer::ColumnInfo chars = column;
  chars.xtype = tollamer::value_type::kChar;
  std::string out;
  for (uint16_t offset : {uint16_t{0}, uint16_t{4}, static_cast<uint16_t>(record.size())}) {
    for (bool sql2000 : {true, false}) {
      const tollamer::GridStyle style{sql2000, false};
      tollamer::TypedValue value = tollamer::DecodeFixedTyped(column, record, offset, bit);
      tollamer::SetGridText(value, column, style, out);
      value = tollamer::DecodeFixedTyped(chars, record, offset, 0);
      tollamer::SetGridText(value, chars, style, out);
      if (!tollamer::platform::IsValidUtf8(out)) __builtin_trap();
    }
  }
  return 0;
}
