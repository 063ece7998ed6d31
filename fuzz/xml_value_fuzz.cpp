// Binary XML values, and the value formatters of both versions on the same
// bytes (type id, sizes and the code page of char text from the first
// bytes); char text must always come out as valid UTF-8.
#include <iterator>

#include "engine/values/value_format.h"
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
  for (uint16_t offset : {uint16_t{0}, uint16_t{4}, static_cast<uint16_t>(record.size())}) {
    (void)tollamer::FormatValue2000(type, record, offset, bit, precision, scale, length, code_page);
    (void)tollamer::FormatValue2005(type, record, offset, precision, scale, length, bit, code_page);
    const std::string chars = tollamer::FormatValue2005(tollamer::value_type::kChar, record, offset,
                                                        0, 0, length, 0, code_page);
    if (!tollamer::platform::IsValidUtf8(chars)) __builtin_trap();
  }
  return 0;
}
