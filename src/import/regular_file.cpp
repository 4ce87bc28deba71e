#include "import/regular_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <stdexcept>
#include <system_error>

#include "toolbox/codec.h"
#include "toolbox/log.h"

namespace zi {

namespace {

thread_local int lastError = 0;

[[noreturn]] void Fail(const std::string& path, int error) {
  lastError = error;
  throw std::runtime_error("cannot read " + PathText(path) + ": " + std::generic_category().message(error));
}

std::system_error SystemError(int error, const std::string& what) {
  return std::system_error(error, std::generic_category(), what);
}

// Up to and with the last separator; empty for a bare name.
std::string FolderPart(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

TFileIdentity IdentityOf(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<int64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, static_cast<uint64_t>(st.st_nlink)};
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
  identity_ = IdentityOf(st);
}

TRegularFile::~TRegularFile() { ::close(fd_); }

size_t TRegularFile::Read(char* into, size_t capacity) {
  for (;;) {
    const ssize_t n = ::read(fd_, into, capacity);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) Fail(path_, errno);
  }
}

std::string ReadRegularFile(const std::string& path, size_t spare) {
  TRegularFile file(path);
  // One byte more than the file holds, so that its end is seen at once.
  std::string bytes(file.Size() + std::max<size_t>(spare, 1), '\0');
  size_t size = 0;
  while (const size_t n = file.Read(bytes.data() + size, bytes.size() - size)) {
    size += n;
    if (size == bytes.size()) bytes.resize(bytes.size() * 2);
  }
  bytes.resize(size);
  return bytes;
}

std::string FolderOf(const std::string& path) {
  const std::string folder = FolderPart(path);
  return folder.empty() ? std::string("./") : folder;
}

std::string RewriteTarget(const std::string& path) {
  // As many links as the system itself follows in one path.
  constexpr int kMaxHops = 40;
  std::string current = path;
  for (int hop = 0;; ++hop) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    if (hop == kMaxHops) throw SystemError(ELOOP, "cannot follow the links of " + PathText(path));
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n < 0) throw SystemError(errno, "cannot read the link " + PathText(current));
    target.resize(static_cast<size_t>(n));
    current = !target.empty() && target.front() == '/' ? target : FolderPart(current) + target;
  }
}

namespace {

bool SameFile(const struct stat& st, const TFileIdentity& read) {
  const TFileIdentity now = IdentityOf(st);
  return now.device == read.device && now.inode == read.inode && now.size == read.size &&
         now.modifiedNs == read.modifiedNs;
}

// A suffix no other run picks: a leftover of a killed run never stands in the way of the next.
constexpr char kSuffixDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr size_t kSuffixChars = 10;

std::string RandomSuffix() {
  uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    bits = (static_cast<uint64_t>(::getpid()) << 32) ^ static_cast<uint64_t>(now.tv_nsec) ^
           (static_cast<uint64_t>(now.tv_sec) << 20);
  }
  std::string suffix;
  for (size_t i = 0; i < kSuffixChars; ++i) {
    suffix += kSuffixDigits[bits % 36];
    bits /= 36;
  }
  return suffix;
}

// The name of a temporary of the file, up to its random suffix: the file's own name leads, cut so
// that the whole stays within the longest name a folder holds.
std::string TemporaryStem(const std::string& target) {
  constexpr size_t kNameBytes = 200;
  const std::string folder = FolderPart(target);
  return target.substr(folder.size(), kNameBytes) + ".zi-new-";
}

// Removes the temporaries of the file that rewrites killed midway left behind: the process's own,
// and only those whose writer is gone, since a rewrite holds its temporary's lock until it ends.
void RemoveLeftTemporaries(const std::string& target) {
  const std::string folder = FolderOf(target);
  const std::string stem = TemporaryStem(target);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name.size() != stem.size() + kSuffixChars || !name.starts_with(stem) ||
        name.substr(stem.size()).find_first_not_of(kSuffixDigits) != std::string_view::npos) {
      continue;
    }
    const std::string path = folder + std::string(name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    struct stat named {};
    // Checked again once locked: the name must still be this file when it is removed.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(path.c_str(), &named) == 0 && named.st_ino == st.st_ino && named.st_dev == st.st_dev) {
      ::unlink(path.c_str());
    }
    ::close(fd);
  }
  ::closedir(dir);
}

// The temporary beside the file: closed and removed when it is dropped, unless it became the file.
// Locked while it lives, so that no later rewrite takes it for one that a killed run left.
class TTemporary {
 public:
  TTemporary(const std::string& target, mode_t mode) {
    const std::string stem = FolderPart(target) + TemporaryStem(target);
    for (int attempt = 0; fd_ < 0; ++attempt) {
      path_ = stem + RandomSuffix();
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
        throw SystemError(errno, "cannot create a temporary file beside " + PathText(target));
      }
    }
    ::flock(fd_, LOCK_EX | LOCK_NB);
  }
  ~TTemporary() {
    if (!kept_) ::unlink(path_.c_str());
    if (fd_ >= 0) ::close(fd_);
  }
  TTemporary(const TTemporary&) = delete;
  TTemporary& operator=(const TTemporary&) = delete;

  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  int fd_ = -1;
  bool kept_ = false;
};

// Refuses a file that a rewrite would not replace as the caller means it.
void CheckTarget(const std::string& target, bool exists, const struct stat& st, const TFileIdentity* expected) {
  if (exists && !S_ISREG(st.st_mode)) throw std::runtime_error(PathText(target) + " is not a regular file");
  if (expected && (!exists || !SameFile(st, *expected))) {
    throw std::runtime_error(PathText(target) + " was replaced or changed while it was imported: it is left as it is");
  }
  if (exists && st.st_nlink > 1) {
    throw std::runtime_error(PathText(target) + " has " + std::to_string(st.st_nlink) +
                             " hard links: a rewrite would split them, so it is left as it is");
  }
}

// Gives the temporary the file's owner and group where the process may, and its mode after them,
// since a change of owner clears the set-id bits. A group that cannot be kept gets no more than
// everyone has, and a set-id bit goes with the owner or group it was for.
void KeepOwnerAndMode(const TTemporary& temporary, const std::string& target, const struct stat& st) {
  const int fd = temporary.Fd();
  if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
    [[maybe_unused]] const int groupOnly = ::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
  }
  struct stat now {};
  if (::fstat(fd, &now) != 0) throw SystemError(errno, "cannot look at " + PathText(temporary.Path()));
  mode_t mode = st.st_mode & 07777;
  if (now.st_uid != st.st_uid) mode &= ~static_cast<mode_t>(S_ISUID);
  if (now.st_gid != st.st_gid) mode = (mode & ~static_cast<mode_t>(S_ISGID | 070)) | (mode & ((mode & 07) << 3));
  // A file system without modes (a FAT volume) refuses the change but gives every file the same.
  if (::fchmod(fd, mode) != 0) {
    const int error = errno;
    if (::fstat(fd, &now) != 0 || (now.st_mode & 07777) != mode) {
      throw SystemError(error, "cannot give the mode of " + PathText(target) + " to " + PathText(temporary.Path()));
    }
  }
}

}  // namespace

void RewriteFile(const std::string& path, std::string_view text, const TFileIdentity* expected) {
  RewriteFileFrom(path, [&](const TTextSink& sink) { sink(text); }, expected);
}

void RewriteFileFrom(const std::string& path, const std::function<void(const TTextSink&)>& write,
                     const TFileIdentity* expected) {
  const std::string target = RewriteTarget(path);
  struct stat st {};
  const bool exists = ::lstat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) throw SystemError(errno, "cannot look at " + PathText(target));
  CheckTarget(target, exists, st, expected);

  // The rewrite of a file is its owner's alone until it has the file's mode; a new file is made as
  // the process's mask says.
  RemoveLeftTemporaries(target);
  TTemporary temporary(target, exists ? 0600 : 0666);
  write([&](std::string_view text) {
    for (size_t written = 0; written < text.size();) {
      const ssize_t n = ::write(temporary.Fd(), text.data() + written, text.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw SystemError(errno, "cannot write " + PathText(temporary.Path()));
      written += static_cast<size_t>(n);
    }
  });
  if (exists) KeepOwnerAndMode(temporary, target, st);
  // Once flushed, every write error has been reported; the temporary stays open, and locked, until
  // it is the file.
  if (::fsync(temporary.Fd()) != 0) throw SystemError(errno, "cannot flush " + PathText(temporary.Path()));
  // Looked at again just before it is replaced: the import may have taken long.
  if (expected) {
    const bool stillThere = ::lstat(target.c_str(), &st) == 0;
    CheckTarget(target, stillThere, st, expected);
  }
  if (::rename(temporary.Path().c_str(), target.c_str()) != 0) {
    throw SystemError(errno, "cannot rename " + PathText(temporary.Path()) + " to " + PathText(target));
  }
  temporary.Keep();
  // The rename is durable only once the folder is on disk too. The file is whole either way, so a
  // folder that cannot be flushed is only said.
  const std::string folder = FolderOf(target);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0 || (::fsync(dir) != 0 && errno != EINVAL)) {
    const int error = errno;
    Loga("Warning: the folder " + PathText(folder) + " of " + PathText(target) +
         " could not be flushed to disk: " + std::generic_category().message(error));
  }
  if (dir >= 0) ::close(dir);
}

int WriteWholeFile(const std::string& path, std::string_view text) {
  try {
    RewriteFile(path, text);
  } catch (const std::system_error& e) {
    return e.code().value();
  } catch (const std::exception&) {
    return EIO;
  }
  return 0;
}

}  // namespace zi
