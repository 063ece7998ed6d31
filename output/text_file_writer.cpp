#include "output/text_file_writer.h"

#include <cstdint>
#include <span>

#include "platform/text.h"

namespace tollamer {

TextFileWriter::TextFileWriter(std::string path, OutputEncoding encoding)
    : path_(std::move(path)), encoding_(encoding) {
  platform::CreateResult created = platform::CreateOutputFile(path_);
  if (!created.file) {
    error_ = created.message.empty() ? std::string("cannot create the file") : created.message;
    return;
  }
  file_ = std::move(created.file);
  const std::string_view mark = ByteOrderMark(encoding_);
  if (!mark.empty() &&
      !file_->Write(std::span(reinterpret_cast<const uint8_t*>(mark.data()), mark.size()))) {
    error_ = file_->Error().empty() ? std::string("write failed") : file_->Error();
    file_.reset();
  }
}

bool TextFileWriter::Write(std::string_view text) {
  if (!ok()) return false;
  std::optional<EncodedText> encoded = EncodeOutputText(text, encoding_);
  if (!encoded) {
    error_ = "no converter for the chosen encoding";
    file_.reset();
    return false;
  }
  unmappable_ += encoded->unmappable;
  for (std::string& c : encoded->firstUnmappable)
    if (firstUnmappable_.size() < platform::kUnmappableKept) firstUnmappable_.push_back(std::move(c));
  const std::string& bytes = encoded->bytes;
  if (bytes.empty()) return true;
  std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (!file_->Write(span)) {
    error_ = file_->Error().empty() ? std::string("write failed") : file_->Error();
    file_.reset();
    return false;
  }
  return true;
}

bool TextFileWriter::Commit() {
  if (!ok()) return false;
  if (!file_->Commit()) {
    error_ = file_->Error().empty() ? std::string("cannot move the file into place") : file_->Error();
    file_.reset();
    return false;
  }
  file_.reset();
  return true;
}

std::string WriteWholeTextFile(const std::string& path, std::string_view text,
                               OutputEncoding encoding) {
  TextFileWriter writer(path, encoding);
  writer.Write(text);
  writer.Commit();
  return writer.error();
}

}  // namespace tollamer
