#include "import/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "toolbox/codec.h"

namespace zi {

namespace {

thread_local int lastError = 0;

[[noreturn]] void Fail(const std::string& path, int error) {
  lastError = error;
  throw std::runtime_error("cannot read " + PathText(path) + ": " + std::generic_category().message(error));
}

}  // namespace

int LastRegularFileError() { return lastError; }

TRegularFile::TRegularFile(const std::string& path) : path_(path) {
  // Not blocking: a pipe without a writer would hold the open, and a device the reads.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) Fail(path, errno);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    const int error = errno;
    ::close(fd_);
    Fail(path, error);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd_);
    Fail(path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  }
  size_ = static_cast<size_t>(st.st_size);
}

TRegularFile::~TRegularFile() { ::close(fd_); }

size_t TRegularFile::Read(char* into, size_t capacity) {
  for (;;) {
    const ssize_t n = ::read(fd_, into, capacity);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) Fail(path_, errno);
  }
}

std::string ReadRegularFile(const std::string& path) {
  TRegularFile file(path);
  // One byte more than the file holds, so that its end is seen at once.
  std::string bytes(file.Size() + 1, '\0');
  size_t size = 0;
  while (const size_t n = file.Read(bytes.data() + size, bytes.size() - size)) {
    size += n;
    if (size == bytes.size()) bytes.resize(bytes.size() * 2);
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace zi
