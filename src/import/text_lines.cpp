#include "import/text_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "toolbox/codec.h"

namespace zi {

namespace {

const char* Find(const char* from, const char* end, char c) {
  const void* at = std::memchr(from, c, static_cast<size_t>(end - from));
  return at ? static_cast<const char*>(at) : end;
}

std::string ReadWholeFile(const std::string& path) {
  auto fail = [&](int error) {
    throw std::runtime_error("cannot read " + PathText(path) + ": " + std::generic_category().message(error));
  };
  // Not blocking: a pipe or a device named as an import file must not hang the run.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) fail(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    fail(error);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  }
  // Read straight into the buffer; a file that grows meanwhile is read to its end.
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() + 65536);
    const ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      fail(error);
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  bytes.resize(filled);
  ::close(fd);
  return bytes;
}

}  // namespace

TTextLines TTextLines::FromFile(const std::string& path) { return FromText(ReadWholeFile(path)); }

TTextLines TTextLines::FromText(std::string bytes) {
  TTextLines lines;
  if (DetectImportEncoding(bytes) == TTextEncoding::Utf8) {
    lines.ConvertFromUtf8(DropUtf8Bom(bytes));
  } else {
    lines.text_ = std::move(bytes);
    lines.Split(lines.text_);
  }
  lines.MarkNulBytes();
  return lines;
}

const std::string& TTextLines::Defect(size_t index) const {
  static const std::string kSound;
  const auto it = defects_.find(index);
  return it == defects_.end() ? kSound : it->second;
}

// Lines end at LF, CR or CR LF. Both terminators are found with memchr, each search resumed only
// once it has been passed, so the split costs about what counting the lines does.
void TTextLines::Split(std::string_view bytes) {
  starts_.clear();
  ends_.clear();
  const char* begin = bytes.data();
  const char* end = begin + bytes.size();
  const char* nextLf = Find(begin, end, '\n');
  const char* nextCr = Find(begin, end, '\r');
  for (const char* p = begin; p < end;) {
    if (nextLf < p) nextLf = Find(p, end, '\n');
    if (nextCr < p) nextCr = Find(p, end, '\r');
    const char* stop = nextLf < nextCr ? nextLf : nextCr;
    starts_.push_back(static_cast<size_t>(p - begin));
    ends_.push_back(static_cast<size_t>(stop - begin));
    if (stop == end) break;
    p = stop + 1;
    if (*stop == '\r' && p < end && *p == '\n') ++p;
  }
}

// A UTF-8 sequence never holds a CR or LF byte, so the lines are split before they are converted.
void TTextLines::ConvertFromUtf8(std::string_view bytes) {
  Split(bytes);
  text_.reserve(bytes.size());
  for (size_t i = 0; i < starts_.size(); ++i) {
    const std::string_view raw = bytes.substr(starts_[i], ends_[i] - starts_[i]);
    starts_[i] = text_.size();
    TCodecError error;
    if (std::optional<std::string> converted = Utf8ToCp1252(raw, error)) {
      text_ += *converted;
    } else {
      text_ += Utf8ToCp1252Lossy(raw);
      defects_[i] = "Invalid text: " + CodecErrorText(error);
    }
    ends_[i] = text_.size();
  }
}

// A NUL byte would cut texts short in the log and the server: the line is refused, and shown with
// "?" in its place.
void TTextLines::MarkNulBytes() {
  for (size_t at = text_.find('\0'); at != std::string::npos; at = text_.find('\0', at + 1)) {
    size_t line = 0;
    for (size_t lo = 0, hi = starts_.size(); lo < hi;) {
      const size_t mid = (lo + hi) / 2;
      if (starts_[mid] <= at) {
        line = mid;
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    if (!defects_.contains(line)) {
      defects_[line] = "Invalid text: a NUL byte at byte offset " + std::to_string(at - starts_[line]);
    }
    text_[at] = '?';
  }
}

bool IsSkipLine(std::string_view line, bool keepBlank) {
  const size_t first = line.find_first_not_of(' ');
  if (first == std::string_view::npos) return !keepBlank;
  const std::string_view rest = line.substr(first);
  return rest[0] == '#' || rest[0] == ';' || rest.starts_with("//");
}

}  // namespace zi
