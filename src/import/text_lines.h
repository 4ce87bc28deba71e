#pragma once
// An import text as a list of lines: read whole, split at CR LF, LF or CR (a last line without a
// terminator counts), and held as program text. A file is read in the encoding its user names:
// Windows-1252 as it is, or UTF-8 converted line by line (the byte-order mark dropped). Without a
// name it is read as Windows-1252, and a file that looks like UTF-8 is refused at the first line
// where the two readings differ, rather than guessed at. A line that cannot become program text (a
// character Windows-1252 cannot hold, malformed UTF-8, a NUL byte) keeps a shown form and the
// reason, so that the run fails that line with a clear message.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toolbox/codec.h"

namespace zi {

// Why a file is not read in the encoding it was given: the code, the line where it shows (index
// from 0) and the message for that line. Code 0: the file is read.
struct TEncodingRefusal {
  int code = 0;
  size_t line = 0;
  std::string message;
};

class TTextLines {
 public:
  TTextLines() = default;

  // The lines of a whole file named by the system's bytes. Raises std::runtime_error when the file
  // cannot be read, or is not a regular file (a folder, a pipe, a device).
  static TTextLines FromFile(const std::string& path, TImportEncoding encoding);
  // The lines of a file's bytes, as FromFile reads them.
  static TTextLines FromFileBytes(std::string_view bytes, TImportEncoding encoding);
  // The lines of a text that is program text already: taken as it is.
  static TTextLines FromText(std::string_view text);

  size_t Count() const { return lines_.size(); }
  std::string_view Line(size_t index) const {
    return std::string_view(text_.get() + lines_[index].start, lines_[index].end - lines_[index].start);
  }
  // Why a line is not program text; empty for a sound line.
  const std::string& Defect(size_t index) const;
  const TEncodingRefusal& Refusal() const { return refusal_; }

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
  static TTextLines FromBytes(TBuffer text, size_t size, TImportEncoding encoding);
  void Take(TBuffer text, size_t size);
  void Split(std::string_view bytes);
  void ConvertFromUtf8(std::string_view bytes);
  void RefuseWhatLooksUtf8(TImportEncoding encoding);
  void MarkNulBytes();
  // The index of the line that holds the byte at offset at.
  size_t LineAt(size_t at) const;

  // A buffer of its own rather than a string: a file is read straight into it, with no filling
  // before, and in huge pages where the kernel grants them.
  TBuffer text_;
  size_t size_ = 0;
  std::vector<TExtent> lines_;
  std::map<size_t, std::string> defects_;
  TEncodingRefusal refusal_;
};

// Whether an import line is passed over: blank (spaces only; a tab is not blank) unless keepBlank,
// or a comment whose first non-space character is "#" or ";", or whose first two are "//".
bool IsSkipLine(std::string_view line, bool keepBlank);

}  // namespace zi
