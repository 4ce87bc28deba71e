#pragma once
// A file read whole by an import: named by the system's bytes and read only when it is a regular
// file, so that a folder is refused and a pipe or a device is never waited on.

#include <cstddef>
#include <string>

namespace zi {

class TRegularFile {
 public:
  // Raises std::runtime_error ("cannot read <file>: <reason>") when the file cannot be opened or is
  // not a regular file; the error number is kept for callers that report it.
  explicit TRegularFile(const std::string& path);
  ~TRegularFile();
  TRegularFile(const TRegularFile&) = delete;
  TRegularFile& operator=(const TRegularFile&) = delete;

  // The size when the file was opened; the file may grow while it is read.
  size_t Size() const { return size_; }
  // Reads up to capacity bytes; 0 at the end of the file. Raises std::runtime_error.
  size_t Read(char* into, size_t capacity);

 private:
  std::string path_;
  int fd_ = -1;
  size_t size_ = 0;
};

// The error number of the last TRegularFile failure on this thread (for callers that show it).
int LastRegularFileError();

// The whole file as bytes.
std::string ReadRegularFile(const std::string& path);

}  // namespace zi
