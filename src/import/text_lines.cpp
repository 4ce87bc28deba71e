#include "import/text_lines.h"

#include <sys/mman.h>

#include <cstring>
#include <new>

#include "import/regular_file.h"
#include "toolbox/codec.h"

namespace zi {

namespace {

const char* Find(const char* from, const char* end, char c) {
  const void* at = std::memchr(from, c, static_cast<size_t>(end - from));
  return at ? static_cast<const char*>(at) : end;
}

}  // namespace

void TTextLines::TUnmap::operator()(char* bytes) const { ::munmap(bytes, length); }

// Fresh memory from the kernel; a file of many megabytes read into it would otherwise cost a page
// fault every 4 KiB, which is as much as reading the file.
TTextLines::TBuffer TTextLines::NewBuffer(size_t size) {
  const size_t length = size == 0 ? 1 : size;
  void* bytes = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (bytes == MAP_FAILED) throw std::bad_alloc();
  ::madvise(bytes, length, MADV_HUGEPAGE);
  return TBuffer(static_cast<char*>(bytes), TUnmap{length});
}

// The whole file into a new buffer; its size through size.
TTextLines::TBuffer TTextLines::ReadWholeFile(const std::string& path, size_t& size) {
  TRegularFile file(path);
  // One byte more than the file holds, so that its end is seen without a second buffer; a file that
  // grew meanwhile is read into a larger one.
  size_t capacity = file.Size() + 1;
  TBuffer bytes = NewBuffer(capacity);
  size = 0;
  while (const size_t n = file.Read(bytes.get() + size, capacity - size)) {
    size += n;
    if (size < capacity) continue;
    capacity *= 2;
    TBuffer larger = NewBuffer(capacity);
    std::memcpy(larger.get(), bytes.get(), size);
    bytes = std::move(larger);
  }
  return bytes;
}

TTextLines TTextLines::FromFile(const std::string& path) {
  size_t size = 0;
  TBuffer bytes = ReadWholeFile(path, size);
  return FromBytes(std::move(bytes), size);
}

TTextLines TTextLines::FromText(std::string_view bytes) {
  TBuffer copy = NewBuffer(bytes.size());
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  return FromBytes(std::move(copy), bytes.size());
}

TTextLines TTextLines::FromProgramText(std::string_view text) {
  TTextLines lines;
  lines.text_ = NewBuffer(text.size());
  std::memcpy(lines.text_.get(), text.data(), text.size());
  lines.size_ = text.size();
  lines.Split(std::string_view(lines.text_.get(), lines.size_));
  lines.MarkNulBytes();
  return lines;
}

TTextLines TTextLines::FromBytes(TBuffer text, size_t size) {
  TTextLines lines;
  const std::string_view bytes(text.get(), size);
  if (DetectImportEncoding(bytes) == TTextEncoding::Utf8) {
    lines.ConvertFromUtf8(DropUtf8Bom(bytes));
  } else {
    lines.text_ = std::move(text);
    lines.size_ = size;
    lines.Split(bytes);
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
  lines_.clear();
  // Import lines are rarely shorter than this: most files then fill the list without growing it.
  lines_.reserve(bytes.size() / 40 + 1);
  const char* begin = bytes.data();
  const char* end = begin + bytes.size();
  const char* nextLf = Find(begin, end, '\n');
  const char* nextCr = Find(begin, end, '\r');
  for (const char* p = begin; p < end;) {
    if (nextLf < p) nextLf = Find(p, end, '\n');
    if (nextCr < p) nextCr = Find(p, end, '\r');
    const char* stop = nextLf < nextCr ? nextLf : nextCr;
    lines_.push_back({static_cast<size_t>(p - begin), static_cast<size_t>(stop - begin)});
    if (stop == end) break;
    p = stop + 1;
    if (*stop == '\r' && p < end && *p == '\n') ++p;
  }
}

// A UTF-8 sequence never holds a CR or LF byte, so the lines are split before they are converted.
void TTextLines::ConvertFromUtf8(std::string_view bytes) {
  Split(bytes);
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::string_view raw = bytes.substr(lines_[i].start, lines_[i].end - lines_[i].start);
    lines_[i].start = text.size();
    TCodecError error;
    if (std::optional<std::string> converted = Utf8ToCp1252(raw, error)) {
      text += *converted;
    } else {
      text += Utf8ToCp1252Lossy(raw);
      defects_[i] = "Invalid text: " + CodecErrorText(error);
    }
    lines_[i].end = text.size();
  }
  size_ = text.size();
  text_ = NewBuffer(size_);
  std::memcpy(text_.get(), text.data(), size_);
}

// A NUL byte would cut texts short in the log and the server: the line is refused, and shown with
// "?" in its place.
void TTextLines::MarkNulBytes() {
  const std::string_view text(text_.get(), size_);
  for (size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at + 1)) {
    size_t line = 0;
    for (size_t lo = 0, hi = lines_.size(); lo < hi;) {
      const size_t mid = (lo + hi) / 2;
      if (lines_[mid].start <= at) {
        line = mid;
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    if (!defects_.contains(line)) {
      defects_[line] = "Invalid text: a NUL byte at byte offset " + std::to_string(at - lines_[line].start);
    }
    text_.get()[at] = '?';
  }
}

bool IsSkipLine(std::string_view line, bool keepBlank) {
  const size_t first = line.find_first_not_of(' ');
  if (first == std::string_view::npos) return !keepBlank;
  const std::string_view rest = line.substr(first);
  return rest[0] == '#' || rest[0] == ';' || rest.starts_with("//");
}

}  // namespace zi
