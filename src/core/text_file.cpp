#include "core/text_file.hpp"

#include <cstdlib>
#include <system_error>

namespace korvan {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

TextFile::TextFile(std::filesystem::path path, Mode mode) : path_(std::move(path)), mode_(mode) {
  std::error_code ec;
  if (std::filesystem::is_directory(path_, ec)) {
    throw FileError(mode == Mode::Read ? "Cannot open file " : "Cannot create file ", path_);
  }
  file_ = std::fopen(path_.c_str(), mode == Mode::Read ? "rb" : "wb");
  if (file_ == nullptr) {
    throw FileError(mode == Mode::Read ? "Cannot open file " : "Cannot create file ", path_);
  }
}

TextFile::~TextFile() {
  if (file_ != nullptr) std::fclose(file_);
  std::free(buffer_);
}

bool TextFile::readLine(std::string& line) {
  if (file_ == nullptr || mode_ != Mode::Read) return false;
  const long start = std::ftell(file_);
  const ssize_t n = ::getline(&buffer_, &bufferSize_, file_);
  if (n < 0) return false;
  lastLineStart_ = start;
  std::size_t len = static_cast<std::size_t>(n);
  if (len > 0 && buffer_[len - 1] == '\n') --len;
  if (len > 0 && buffer_[len - 1] == '\r') --len;
  // Editors on Windows may put a UTF-8 byte-order mark before the first line.
  std::size_t from = 0;
  if (start == 0 && std::string_view(buffer_, len).starts_with(kByteOrderMark)) {
    from = kByteOrderMark.size();
  }
  line.assign(buffer_ + from, len - from);
  return true;
}

void TextFile::rewind() {
  if (file_ == nullptr) return;
  std::rewind(file_);
  lastLineStart_ = -1;
}

bool TextFile::backspace() {
  if (file_ == nullptr || lastLineStart_ < 0) return false;
  if (std::fseek(file_, lastLineStart_, SEEK_SET) != 0) return false;
  lastLineStart_ = -1;
  return true;
}

void TextFile::writeLine(std::string_view text) {
  if (file_ == nullptr) throw FileError("Cannot write to closed file ", path_);
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), file_);
  std::fputc('\n', file_);
  checkWrite();
}

void TextFile::flush() {
  if (file_ == nullptr) return;
  std::fflush(file_);
  checkWrite();
}

void TextFile::close() {
  if (file_ == nullptr) return;
  std::FILE* f = file_;
  file_ = nullptr;
  const bool failed = std::ferror(f) != 0;
  if (std::fclose(f) != 0 || failed) {
    if (mode_ == Mode::Write) throw FileError("Cannot write file ", path_);
  }
}

void TextFile::checkWrite() {
  if (std::ferror(file_) != 0) throw FileError("Cannot write file ", path_);
}

}  // namespace korvan
