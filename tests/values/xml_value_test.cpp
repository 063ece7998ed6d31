#include "engine/values/xml_value.h"

#include <gtest/gtest.h>

#include "tests/fixtures/page_builder.h"

namespace tollamer {
namespace {

using fixtures::Bytes;

// Hand-assembled binary XML values.
class Bx {
 public:
  Bx() : b_{0xDF, 0xFF, 0x01, 0xB0, 0x04} {}
  Bx& Raw(std::initializer_list<uint8_t> bytes) {
    b_.insert(b_.end(), bytes);
    return *this;
  }
  Bx& Run(std::string_view s) {
    Bytes units = fixtures::Utf16(s);
    b_.push_back(static_cast<uint8_t>(units.size() / 2));
    b_.insert(b_.end(), units.begin(), units.end());
    return *this;
  }
  Bx& Name(std::string_view s) { return Raw({0xF0}).Run(s); }
  Bx& QName(uint8_t prefix, uint8_t local) { return Raw({0xEF, 0, prefix, local}); }
  Bx& Element(uint8_t q) { return Raw({0xF8, q}); }
  Bx& Attr(uint8_t q, std::string_view v) { return Raw({0xF6, q, 0x11}).Run(v); }
  Bx& Text(std::string_view s) { return Raw({0x11}).Run(s); }
  Bx& EndAttrs() { return Raw({0xF5}); }
  Bx& End() { return Raw({0xF7}); }
  std::string Decode() const {
    std::string text;
    DecodeXmlValue(b_, text);
    return text;
  }
  const Bytes& bytes() const { return b_; }

 private:
  Bytes b_;
};

TEST(XmlValueTest, ElementsAttributesTextCommentsAndInstructions) {
  EXPECT_EQ(Bx().Name("root").QName(0, 1).Element(1).End().Decode(), "<root />");
  EXPECT_EQ(Bx().Name("a").Name("id").QName(0, 1).QName(0, 2).Element(1).Attr(2, "7")
                .EndAttrs().End().Decode(),
            "<a id=\"7\"/>");
  EXPECT_EQ(Bx().Name("a").Name("x").Name("y").QName(0, 1).QName(0, 2).QName(0, 3)
                .Element(1).Attr(2, "1").Attr(3, "q\"'<&").EndAttrs().Text("a<b&c").End()
                .Decode(),
            "<a x=\"1\" y=\"q&quot;&apos;&lt;&amp;\">a&lt;b&amp;c</a>");
  EXPECT_EQ(Bx().Name("item").Name("p").QName(2, 1).Element(1).Element(1).End().End().Decode(),
            "<p:item><p:item /></p:item>");
  // Comments, instructions and extensions.
  EXPECT_EQ(Bx().Name("xml-stylesheet").Raw({0xEA, 3, 9, 9, 9}).Raw({0xF4, 1}).Run("href=\"s\"")
                .Raw({0xF3}).Run(" note ").Decode(),
            "<?xml-stylesheet href=\"s\"?><!-- note -->");
}

TEST(XmlValueTest, StopsAtUnknownTokensAndCutValues) {
  EXPECT_EQ(Bx().Name("a").QName(0, 1).Element(1).Raw({0x86, 1, 2, 3}).End().Decode(), "<a>");
  Bx cut = Bx().Name("a").QName(0, 1).Element(1).Text("long text");
  Bytes bytes = cut.bytes();
  bytes.resize(bytes.size() - 3);
  std::string text = "kept:";
  DecodeXmlValue(bytes, text);
  EXPECT_EQ(text, "kept:<a>") << "a text run cut short ends the value";
  EXPECT_EQ(Bx().End().End().Decode(), "") << "end tokens with no open element";
  std::string first;
  DecodeXmlValue(Bx().Attr(1, "v").bytes(), first);
  EXPECT_EQ(first, " =\"v\" ") << "an attribute never removes text it did not write";
  EXPECT_EQ(Bx().Element(1).End().Decode(), "< />") << "names belong to one value";
}

TEST(XmlValueTest, NumericAttributeValuesAndMb32Lengths) {
  auto numeric = [](std::initializer_list<uint8_t> value) {
    Bytes b = {0x87};
    b.insert(b.end(), value);
    std::optional<XmlAttributeValue> v = FormatXmlAttributeValue(b);
    return v ? v->text + "/" + std::to_string(v->used) : std::string("none");
  };
  EXPECT_EQ(numeric({7, 1, 1, 150, 0, 0, 0}), "15.000000/8");
  EXPECT_EQ(numeric({11, 2, 1, 0x39, 0x30, 0, 0, 0, 0, 0, 0}), "123.450000/12");
  EXPECT_EQ(numeric({15, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}), "1.8446744073709552e+19/16");
  EXPECT_EQ(numeric({11, 2, 1, 0x39}), "none") << "cut short";
  Bytes other = {0x05, 2, 0xAA, 0xBB, 0x11};
  std::optional<XmlAttributeValue> v = FormatXmlAttributeValue(other);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->text, "");
  EXPECT_EQ(v->used, 4u);
  // Multi-byte lengths.
  auto read = [](Bytes b) {
    std::optional<Mb32> n = ReadMb32(b);
    return n ? std::to_string(n->value) + "/" + std::to_string(n->used) : std::string("none");
  };
  EXPECT_EQ(read({0x05}), "5/1");
  EXPECT_EQ(read({0x81, 0x01}), "129/2");
  EXPECT_EQ(read({0xFF, 0xFF, 0xFF, 0x01}), std::to_string(0x1FFFFF + 2097152) + "/4");
  EXPECT_EQ(read({0x80, 0x80, 0x80, 0xFF, 0x05}), std::to_string(255u * 2097152) + "/4");
  EXPECT_EQ(read({0x80}), "none");
}

}  // namespace
}  // namespace tollamer
