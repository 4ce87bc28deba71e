#pragma once
// A file read whole by an import: named by the system's bytes and read only when it is a regular
// file, so that a folder is refused and a pipe or a device is never waited on. And a file rewritten
// whole: the file on disk is at every moment either as it was or the complete new text.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zi {

// Which file was read, and as it was then: a rewrite replaces only that file, unchanged since.
struct TFileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modifiedNs = 0;
  uint64_t links = 0;
};

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
  // The file opened (a symbolic link's target), as it was when it was opened.
  const TFileIdentity& Identity() const { return identity_; }
  // Reads up to capacity bytes; 0 at the end of the file. Raises std::runtime_error.
  size_t Read(char* into, size_t capacity);

 private:
  std::string path_;
  int fd_ = -1;
  size_t size_ = 0;
  TFileIdentity identity_;
};

// The error number of the last TRegularFile failure on this thread (for callers that show it).
int LastRegularFileError();

// The whole file as bytes, with room for at least spare more bytes behind them when the file did
// not grow while it was read.
std::string ReadRegularFile(const std::string& path, size_t spare = 0);

// The folder part of a path, with its final separator; "./" for a bare name.
std::string FolderOf(const std::string& path);

// The file a rewrite of path replaces: path with the symbolic links of its last component followed,
// a relative target taken from its link's folder; path itself when it is no link or does not exist.
// Raises std::system_error (ELOOP for links that go round).
std::string RewriteTarget(const std::string& path);

// Replaces the file at path (a symbolic link's target, the link left as it is) by text: the text
// goes to a temporary file of a name of its own beside it, flushed to disk, given the file's mode
// and, where the process may, its owner and group, then renamed over it, and the folder is flushed.
// A file that does not exist is created. With expected, a file that is no longer the one read
// (replaced, changed since, or given another hard link) is left as it is; a file with several hard
// links is never split. Raises std::runtime_error (std::system_error for a failed system call);
// the temporary never stays behind, and those of the process's user that killed rewrites of the
// file left are removed.
void RewriteFile(const std::string& path, std::string_view text, const TFileIdentity* expected = nullptr);
// Takes the pieces of a text, in order.
using TTextSink = std::function<void(std::string_view)>;
// RewriteFile of a text that write gives piece by piece to the sink it is handed, so that a large
// text is never held whole; an exception of write leaves the file as it was.
void RewriteFileFrom(const std::string& path, const std::function<void(const TTextSink&)>& write,
                     const TFileIdentity* expected = nullptr);
// RewriteFile for files whose callers report an error number: 0, or the failed call's errno (EIO
// for a file refused for what it is).
int WriteWholeFile(const std::string& path, std::string_view text);

}  // namespace zi
