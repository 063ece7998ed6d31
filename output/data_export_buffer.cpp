#include "output/data_export_buffer.h"

#include <span>

namespace tollamer {

std::unique_ptr<BufferedOutput> BufferedOutput::Create(const std::string& path,
                                                       std::string& error, size_t flush_bytes) {
  platform::CreateResult created = platform::CreateOutputFile(path);
  if (!created.file) {
    error = created.message.empty() ? "cannot create " + path : created.message;
    return nullptr;
  }
  auto out = std::unique_ptr<BufferedOutput>(
      new BufferedOutput(std::move(created.file), flush_bytes));
  out->buffer_.reserve(flush_bytes + (flush_bytes >> 2));
  return out;
}

bool BufferedOutput::WriteOut(std::string_view text) {
  if (failed_) return false;
  if (text.empty()) return true;
  std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (!file_->Write(bytes)) {
    failed_ = true;
    error_ = file_->Error();
    return false;
  }
  written_ += text.size();
  return true;
}

bool BufferedOutput::Flush() {
  if (!WriteOut(buffer_)) return false;
  buffer_.clear();
  return true;
}

bool BufferedOutput::Put(std::string_view text) {
  // A large piece (a batch of rows) goes out as it is, not copied first.
  if (buffer_.empty() && text.size() >= flushBytes_ / 4) return WriteOut(text);
  if (buffer_.size() + text.size() <= flushBytes_) {
    buffer_ += text;
    return MaybeFlush();
  }
  return Flush() && WriteOut(text);
}

bool BufferedOutput::MaybeFlush() { return buffer_.size() < flushBytes_ ? !failed_ : Flush(); }

void BufferedOutput::StartWriteBack() {
  if (Flush()) file_->StartWriteBack();
}

bool BufferedOutput::Commit() {
  if (!Flush()) return false;
  if (!file_->Commit()) {
    failed_ = true;
    error_ = file_->Error();
    return false;
  }
  return true;
}

}  // namespace tollamer
