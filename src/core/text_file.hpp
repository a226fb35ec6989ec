// A text file opened on a unit: read line by line with rewind and one step
// back, or written record by record. Windows line ends (CRLF) and a UTF-8
// byte-order mark at the start read exactly like LF line ends without one.
#pragma once

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvan {

// A file that cannot be opened, read or written. The run turns it into its
// own fatal message.
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& what, std::filesystem::path path)
      : std::runtime_error(what), path_(std::move(path)) {}
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class TextFile {
 public:
  enum class Mode { Read, Write };

  TextFile(std::filesystem::path path, Mode mode);  // throws FileError
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  const std::filesystem::path& path() const { return path_; }
  Mode mode() const { return mode_; }

  // Reads the next line without its line end; false at the end of the file.
  bool readLine(std::string& line);
  void rewind();
  // Steps back to the start of the line read last; false when there is none.
  bool backspace();

  // Writes one record and its line end.
  void writeLine(std::string_view text);
  void flush();
  // Closes the file; reports a write that failed on the way (a full disk).
  void close();

 private:
  void checkWrite();

  std::filesystem::path path_;
  Mode mode_;
  std::FILE* file_ = nullptr;
  long lastLineStart_ = -1;
  char* buffer_ = nullptr;
  std::size_t bufferSize_ = 0;
};

}  // namespace korvan
