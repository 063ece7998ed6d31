#include "output/data_export_buffer.h"

#include <span>
#include <vector>

namespace tollamer {

namespace {

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

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
  if (!file_->Write(Bytes(text))) {
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

bool BufferedOutput::PutPieces(std::span<const std::string_view> pieces) {
  size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  if (size < flushBytes_ / 4 && buffer_.size() + size <= flushBytes_) {
    for (std::string_view piece : pieces) buffer_ += piece;
    return MaybeFlush();
  }
  if (failed_) return false;
  std::vector<std::span<const uint8_t>> all;
  all.reserve(pieces.size() + 1);
  all.push_back(Bytes(buffer_));
  for (std::string_view piece : pieces) all.push_back(Bytes(piece));
  if (!file_->WritePieces(all)) {
    failed_ = true;
    error_ = file_->Error();
    return false;
  }
  written_ += buffer_.size() + size;
  buffer_.clear();
  return true;
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
