// Writes one text file of the program: created anew under a temporary name,
// written in pieces, and renamed over any existing file of the same name only
// once every piece is written. A failure leaves no file behind and says why.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "output/output_encoding.h"
#include "platform/file.h"

namespace tollamer {

class TextFileWriter {
 public:
  TextFileWriter(std::string path, OutputEncoding encoding);

  // False once anything failed; later calls do nothing.
  bool ok() const { return error_.empty(); }
  // Appends `text` at the end of the file, encoded.
  bool Write(std::string_view text);
  // Renames the written file into place.
  bool Commit();
  const std::string& error() const { return error_; }
  const std::string& path() const { return path_; }
  // Characters the encoding could not hold, written as '?', and the first few.
  size_t unmappable() const { return unmappable_; }
  const std::vector<std::string>& firstUnmappable() const { return firstUnmappable_; }

 private:
  std::string path_;
  OutputEncoding encoding_;
  std::unique_ptr<platform::OutputFile> file_;
  std::string error_;
  size_t unmappable_ = 0;
  std::vector<std::string> firstUnmappable_;
};

// Writes `text` as the whole content of `path`; the error text on failure,
// empty on success.
std::string WriteWholeTextFile(const std::string& path, std::string_view text,
                               OutputEncoding encoding);

}  // namespace tollamer
