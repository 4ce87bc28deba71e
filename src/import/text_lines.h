#pragma once
// An import text as a list of lines: read whole, split at CR LF, LF or CR (a last line without a
// terminator counts), and held as program text. A file that starts with the UTF-8 byte-order mark,
// or is valid UTF-8 holding non-ASCII, is converted line by line (the mark dropped); a line that
// cannot become program text (a character Windows-1252 cannot hold, a NUL byte) keeps a shown form
// and the reason, so that the run fails that line with a clear message instead of guessing.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zi {

class TTextLines {
 public:
  TTextLines() = default;

  // The lines of a whole file named by the system's bytes. Raises std::runtime_error when the file
  // cannot be read, or is not a regular file (a folder, a pipe, a device).
  static TTextLines FromFile(const std::string& path);
  // The lines of a text (already program text, or UTF-8 as a file would be).
  static TTextLines FromText(std::string_view bytes);
  // The lines of a text that is program text already, decoded where it came from: never converted
  // again, so Windows-1252 that happens to form UTF-8 keeps its characters.
  static TTextLines FromProgramText(std::string_view text);

  size_t Count() const { return lines_.size(); }
  std::string_view Line(size_t index) const {
    return std::string_view(text_.get() + lines_[index].start, lines_[index].end - lines_[index].start);
  }
  // Why a line is not program text; empty for a sound line.
  const std::string& Defect(size_t index) const;

 private:
  struct TExtent {
    size_t start;
    size_t end;
  };

  // Memory for a whole text, given back to the kernel as a whole.
  struct TUnmap {
    size_t length;
    void operator()(char* bytes) const;
  };
  using TBuffer = std::unique_ptr<char, TUnmap>;
  static TBuffer NewBuffer(size_t size);
  static TBuffer ReadWholeFile(const std::string& path, size_t& size);

  // Takes the bytes of a whole text (size bytes at text).
  static TTextLines FromBytes(TBuffer text, size_t size);
  void Split(std::string_view bytes);
  void ConvertFromUtf8(std::string_view bytes);
  void MarkNulBytes();

  // A buffer of its own rather than a string: a file is read straight into it, with no filling
  // before, and in huge pages where the kernel grants them.
  TBuffer text_;
  size_t size_ = 0;
  std::vector<TExtent> lines_;
  std::map<size_t, std::string> defects_;
};

// Whether an import line is passed over: blank (spaces only; a tab is not blank) unless keepBlank,
// or a comment whose first non-space character is "#" or ";", or whose first two are "//".
bool IsSkipLine(std::string_view line, bool keepBlank);

}  // namespace zi
