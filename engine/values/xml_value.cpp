#include "engine/values/xml_value.h"

#include <cstdio>
#include <vector>

#include "engine/values/decimal_text.h"
#include "engine/values/wide_text.h"

namespace tollamer {
namespace {

constexpr size_t kHeaderBytes = 5;

constexpr uint8_t kTokenText = 0x11;
constexpr uint8_t kTokenExtension = 0xEA;
constexpr uint8_t kTokenQNameDef = 0xEF;
constexpr uint8_t kTokenNameDef = 0xF0;
constexpr uint8_t kTokenComment = 0xF3;
constexpr uint8_t kTokenPi = 0xF4;
constexpr uint8_t kTokenEndAttributes = 0xF5;
constexpr uint8_t kTokenAttribute = 0xF6;
constexpr uint8_t kTokenEndElement = 0xF7;
constexpr uint8_t kTokenElement = 0xF8;

constexpr uint8_t kValueText = 0x11;
constexpr uint8_t kValueNumeric = 0x87;

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::string EscapeText(std::string s) {
  s = Replace(std::move(s), "&", "&amp;");
  s = Replace(std::move(s), "<", "&lt;");
  return Replace(std::move(s), ">", "&gt;");
}

std::string EscapeAttribute(std::string s) {
  s = Replace(std::move(s), "&", "&amp;");
  s = Replace(std::move(s), "\"", "&quot;");
  s = Replace(std::move(s), "'", "&apos;");
  s = Replace(std::move(s), "<", "&lt;");
  return Replace(std::move(s), ">", "&gt;");
}

struct TextRun {
  std::string text;
  size_t used = 0;
};

std::optional<TextRun> ReadTextRun(ByteView bytes) {
  std::optional<Mb32> count = ReadMb32(bytes);
  if (!count) return std::nullopt;
  std::optional<ByteView> units = bytes.Slice(count->used, 2 * size_t{count->value});
  if (!units) return std::nullopt;
  TextRun run;
  AppendWideAsAnsi(*units, run.text);
  run.used = count->used + units->size();
  return run;
}

std::string Printed(const char* format, double v) {
  char buf[512];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// L = 7, 11, 15 or 19 bytes: L, scale, sign, then the magnitude.
std::string NumericText(ByteView v, uint8_t length) {
  const uint8_t scale = v.LeOr<uint8_t>(1);
  const bool read_signed = v.LeOr<uint8_t>(2) == 0;
  const double divisor = PowerOfTen(10.0, scale);
  switch (length) {
    case 7: {
      const uint32_t raw = v.LeOr<uint32_t>(3);
      const float m = read_signed ? static_cast<float>(static_cast<int32_t>(raw))
                                  : static_cast<float>(raw);
      return Printed("%f", static_cast<double>(m / static_cast<float>(divisor)));
    }
    case 11:
    case 15:
    case 19: {
      const uint64_t raw = v.LeOr<uint64_t>(3);
      const double low = read_signed ? static_cast<double>(static_cast<int64_t>(raw))
                                     : static_cast<double>(raw);
      double high = 0;
      if (length == 15) high = v.LeOr<uint32_t>(11);
      if (length == 19) high = static_cast<double>(v.LeOr<uint64_t>(11));
      if (high == 0) return Printed("%lf", low / divisor);
      return Printed("%.16e", (low + high * 18446744073709551616.0) / divisor);
    }
    default:
      return {};
  }
}

class XmlDecoder {
 public:
  XmlDecoder(ByteView bytes, std::string& out) : bytes_(bytes), out_(out), start_(out.size()) {}

  void Run() {
    size_t pos = kHeaderBytes;
    while (pos < bytes_.size()) {
      std::optional<size_t> next = Token(pos);
      if (!next) return;
      pos = *next;
    }
  }

 private:
  std::optional<uint8_t> At(size_t pos) const { return bytes_.U8(pos); }

  // Handles the token at `pos`; the position after it, or nothing to stop.
  std::optional<size_t> Token(size_t pos) {
    const uint8_t token = *At(pos);
    ByteView rest = bytes_.From(pos + 1);
    const size_t after = pos + 1;
    switch (token) {
      case kTokenText: {
        std::optional<TextRun> run = ReadTextRun(rest);
        if (!run) return std::nullopt;
        out_ += EscapeText(run->text);
        return after + run->used;
      }
      case kTokenExtension: {
        std::optional<Mb32> n = ReadMb32(rest);
        if (!n || !rest.Contains(n->used, n->value)) return std::nullopt;
        return after + n->used + n->value;
      }
      case kTokenQNameDef: {
        size_t used = 0;
        uint32_t parts[3] = {};
        for (uint32_t& part : parts) {
          std::optional<Mb32> n = ReadMb32(rest.From(used));
          if (!n || used >= rest.size()) return std::nullopt;
          part = n->value;
          used += n->used;
        }
        const uint32_t prefix = parts[1], local = parts[2];
        if (prefix == 0)
          qnames_.push_back(std::to_string(local));
        else if (local == 0)
          qnames_.push_back(std::to_string(prefix));
        else
          qnames_.push_back(std::to_string(prefix) + ":" + std::to_string(local));
        return after + used;
      }
      case kTokenNameDef: {
        std::optional<TextRun> run = ReadTextRun(rest);
        if (!run) return std::nullopt;
        names_.push_back(run->text);
        return after + run->used;
      }
      case kTokenComment: {
        std::optional<TextRun> run = ReadTextRun(rest);
        if (!run) return std::nullopt;
        out_ += "<!--" + run->text + "-->";
        return after + run->used;
      }
      case kTokenPi: {
        std::optional<Mb32> target = ReadMb32(rest);
        if (!target) return std::nullopt;
        std::optional<TextRun> run = ReadTextRun(rest.From(target->used));
        if (!run || target->used >= rest.size()) return std::nullopt;
        out_ += "<?" + Name(target->value) + " " + run->text + "?>";
        return after + target->used + run->used;
      }
      case kTokenElement:
        return Element(after);
      case kTokenAttribute:
        return Attribute(after);
      case kTokenEndElement:
        return EndElements(pos);
      default:
        return std::nullopt;
    }
  }

  std::optional<size_t> Element(size_t pos) {
    std::optional<Mb32> qname = ReadMb32(bytes_.From(pos));
    if (!qname || pos >= bytes_.size()) return std::nullopt;
    pos += qname->used;
    out_ += "<" + QName(qname->value);
    stack_.push_back(qname->value);
    if (At(pos) == kTokenEndElement) {
      out_ += " />";
      stack_.pop_back();
      return pos + 1;
    }
    out_ += ">";
    return pos;
  }

  std::optional<size_t> Attribute(size_t pos) {
    std::optional<Mb32> qname = ReadMb32(bytes_.From(pos));
    if (!qname || pos >= bytes_.size()) return std::nullopt;
    pos += qname->used;
    std::optional<XmlAttributeValue> value = FormatXmlAttributeValue(bytes_.From(pos));
    if (!value) return std::nullopt;
    pos += value->used;
    DropLast();
    out_ += " " + QName(qname->value) + "=\"" + value->text + "\" ";
    if (At(pos) == kTokenEndAttributes) {
      DropLast();
      if (At(pos + 1) == kTokenEndElement) {
        out_ += "/>";
        if (!stack_.empty()) stack_.pop_back();
        return pos + 2;
      }
      out_ += ">";
      return pos + 1;
    }
    return pos;
  }

  size_t EndElements(size_t pos) {
    while (At(pos) == kTokenEndElement) {
      if (!stack_.empty()) {
        out_ += "</" + QName(stack_.back()) + ">";
        stack_.pop_back();
      }
      ++pos;
    }
    return pos;
  }

  // Removes the last character this value wrote.
  void DropLast() {
    if (out_.size() > start_) out_.pop_back();
  }

  std::string Name(uint64_t index) const {
    if (index == 0 || index > names_.size()) return {};
    return names_[index - 1];
  }

  std::string QName(uint64_t index) const {
    if (index == 0 || index > qnames_.size()) return {};
    const std::string& key = qnames_[index - 1];
    const size_t colon = key.find(':');
    if (colon == std::string::npos) return Name(std::stoull(key));
    return Name(std::stoull(key.substr(0, colon))) + ":" + Name(std::stoull(key.substr(colon + 1)));
  }

  ByteView bytes_;
  std::string& out_;
  const size_t start_;
  std::vector<std::string> names_;
  std::vector<std::string> qnames_;
  std::vector<uint64_t> stack_;
};

}  // namespace

std::optional<Mb32> ReadMb32(ByteView bytes) {
  static constexpr uint32_t kWeights[4] = {1, 128, 16384, 2097152};
  Mb32 n;
  for (size_t i = 0; i < 4; ++i) {
    std::optional<uint8_t> b = bytes.U8(i);
    if (!b) return std::nullopt;
    const uint32_t bits = i == 3 ? *b : (*b & 0x7F);
    n.value += bits * kWeights[i];
    n.used = i + 1;
    if (i == 3 || !(*b & 0x80)) break;
  }
  return n;
}

std::optional<XmlAttributeValue> FormatXmlAttributeValue(ByteView bytes) {
  std::optional<uint8_t> type = bytes.U8(0);
  if (!type) return std::nullopt;
  ByteView value = bytes.From(1);
  if (*type == kValueText) {
    std::optional<TextRun> run = ReadTextRun(value);
    if (!run) return std::nullopt;
    return XmlAttributeValue{EscapeAttribute(run->text), 1 + run->used};
  }
  if (*type == kValueNumeric) {
    std::optional<uint8_t> length = value.U8(0);
    if (!length || *length == 0 || !value.Contains(0, *length)) return std::nullopt;
    return XmlAttributeValue{EscapeAttribute(NumericText(value, *length)), 1 + size_t{*length}};
  }
  std::optional<Mb32> n = ReadMb32(value);
  if (!n || !value.Contains(n->used, n->value)) return std::nullopt;
  return XmlAttributeValue{std::string(), 1 + n->used + n->value};
}

void DecodeXmlValue(ByteView bytes, std::string& text) { XmlDecoder(bytes, text).Run(); }

}  // namespace tollamer
