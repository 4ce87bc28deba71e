#include "toolbox/racote.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/platform.h"
#include "toolbox/process.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"

namespace zi {

namespace {

using platform::UniqueFd;

constexpr std::string_view kVersionMark = "-VERSION-";
constexpr size_t kBlockSize = 1 << 20;

constexpr int kAlreadyTheCopy = 4485;
constexpr int kOtherVersion = 4486;
constexpr int kProgramNotFound = 4487;
constexpr int kCopyOpenFailed = 4488;
constexpr int kProgramOpenFailed = 4489;
constexpr int kSizesDiffer = 4490;
constexpr int kLengthsDifferWhileReading = 4491;
constexpr int kContentsDiffer = 4492;
constexpr int kSwitchedOff = 4493;
constexpr int kCopyReadError = 4494;
constexpr int kProgramReadError = 4495;
constexpr int kShortWrite = 4226;
// The copy ran, but how it ended is unknown: the caller must not read success.
constexpr int kCopyNotWaitedStatus = 250;
constexpr const char* kCopyNotWaited = "RACOTE warning: could not wait for the copy's end";

struct ProgramFile {
  std::string dir;   // with its trailing "/"
  std::string base;  // the name without its extension
  std::string ext;   // with its ".", empty for a name without one (the usual case on Linux)
};

ProgramFile SplitProgramPath(const std::string& path) {
  ProgramFile file;
  size_t slash = path.rfind('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  file.dir = path.substr(0, nameStart);
  std::string name = path.substr(nameStart);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = name.size();
  file.base = name.substr(0, dot);
  file.ext = name.substr(dot);
  return file;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) { return LowerAscii(a) == LowerAscii(b); }

// The name matches base + "*" + ext, compared without case as the shell's file patterns are.
bool MatchesPattern(std::string_view name, const ProgramFile& file) {
  return name.size() >= file.base.size() + file.ext.size() &&
         EqualsIgnoringCase(name.substr(0, file.base.size()), file.base) &&
         EqualsIgnoringCase(name.substr(name.size() - file.ext.size()), file.ext);
}

struct Listing {
  std::optional<uintmax_t> programSize;
  std::optional<uintmax_t> copySize;
};

// Copies of other versions are deleted. Unlike Windows, Linux deletes a copy that others are running
// (they go on running it); a deletion fails only without write permission on the folder.
Listing ListProgramFiles(const ProgramFile& file, std::string_view version) {
  Listing listing;
  const std::string programName = file.base + file.ext;
  const std::string copyName = file.base + std::string(kVersionMark) + std::string(version) + file.ext;
  std::error_code ec;
  std::filesystem::directory_iterator it(file.dir.empty() ? "." : file.dir, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::error_code entryError;
    if (!it->is_regular_file(entryError)) continue;
    std::string name = it->path().filename().string();
    if (!MatchesPattern(name, file)) continue;
    if (EqualsIgnoringCase(name, programName)) {
      listing.programSize = it->file_size(entryError);
    } else if (EqualsIgnoringCase(name, copyName)) {
      listing.copySize = it->file_size(entryError);
    } else if (name.find(kVersionMark) != std::string::npos) {
      bool deleted = unlink((file.dir + name).c_str()) == 0;
      LogaFormat("RACOTE deleting %s Ok:%s", PathText(name), deleted ? "Y" : "N");
    }
  }
  return listing;
}

// Reads until the buffer is full or the file ends: the byte count, or -1.
ssize_t ReadBlock(int fd, std::vector<char>& buffer) {
  size_t total = 0;
  while (total < buffer.size()) {
    ssize_t n = read(fd, buffer.data() + total, buffer.size() - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    total += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(total);
}

int CompareFiles(const std::string& copyPath, const std::string& programPath) {
  UniqueFd copy(open(copyPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (!copy.ok()) return kCopyOpenFailed;
  UniqueFd program(open(programPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (!program.ok()) return kProgramOpenFailed;
  struct stat copyStat {};
  struct stat programStat {};
  if (fstat(copy.get(), &copyStat) != 0) return kCopyReadError;
  if (fstat(program.get(), &programStat) != 0) return kProgramReadError;
  if (copyStat.st_size != programStat.st_size) return kSizesDiffer;
  std::vector<char> copyBlock(kBlockSize);
  std::vector<char> programBlock(kBlockSize);
  for (;;) {
    ssize_t copyRead = ReadBlock(copy.get(), copyBlock);
    if (copyRead < 0) return kCopyReadError;
    ssize_t programRead = ReadBlock(program.get(), programBlock);
    if (programRead < 0) return kProgramReadError;
    if (copyRead != programRead) return kLengthsDifferWhileReading;
    if (copyRead == 0) return 0;
    if (std::memcmp(copyBlock.data(), programBlock.data(), static_cast<size_t>(copyRead)) != 0) return kContentsDiffer;
  }
}

int CopyContents(int from, int to) {
  std::vector<char> block(kBlockSize);
  for (;;) {
    ssize_t n = ReadBlock(from, block);
    if (n < 0) return platform::ErrorCodeOf(errno);
    if (n == 0) return 0;
    ssize_t written = write(to, block.data(), static_cast<size_t>(n));
    if (written < 0) return platform::ErrorCodeOf(errno);
    if (written != n) return kShortWrite;
  }
}

// Written beside the copy under a name that no listing matches, then renamed over it: another user
// starting the copy at this moment runs either the old file or the whole new one, never a partial one.
// The copy keeps the program's permission bits (it must stay executable; set-id bits are not copied,
// the copy belongs to whoever made it) and its modification time.
int CopyProgram(const std::string& programPath, const ProgramFile& file, const std::string& copyPath) {
  UniqueFd program(open(programPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (!program.ok()) return platform::ErrorCodeOf(errno);
  struct stat programStat {};
  if (fstat(program.get(), &programStat) != 0) return platform::ErrorCodeOf(errno);
  const std::string tempPath =
      file.dir + "." + copyPath.substr(file.dir.size()) + "." + std::to_string(platform::ProcessId());
  UniqueFd temp(open(tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (!temp.ok()) return platform::ErrorCodeOf(errno);
  int code = CopyContents(program.get(), temp.get());
  if (code == 0 && fchmod(temp.get(), programStat.st_mode & 0777) != 0) code = platform::ErrorCodeOf(errno);
  const timespec times[2] = {{0, UTIME_OMIT}, programStat.st_mtim};
  if (code == 0 && futimens(temp.get(), times) != 0) code = platform::ErrorCodeOf(errno);
  int closeError = temp.Close();
  if (code == 0 && closeError != 0) code = platform::ErrorCodeOf(closeError);
  if (code == 0 && rename(tempPath.c_str(), copyPath.c_str()) != 0) code = platform::ErrorCodeOf(errno);
  if (code != 0) unlink(tempPath.c_str());
  return code;
}

void LogMakingCopy(const std::string& copyPath, const Listing& listing, int comparison) {
  std::string text = "RACOTE making copy " + PathText(copyPath);
  if (listing.copySize) {
    text += fmt::sprintf("; WARNING: over a different existing copy of %d bytes", *listing.copySize);
    text += comparison == 0 ? fmt::sprintf("; original exe %d bytes", *listing.programSize)
                            : fmt::sprintf(" CompFiles:%d", comparison);
  }
  Loga(text);
}

}  // namespace

RacoteResult RACOTE(std::string_view version) {
  if (TemParam("noracote")) {
    LogaFormat("RACOTE /noracote warning:%d", kSwitchedOff);
    return {false, kSwitchedOff};
  }
  const std::string programPath = ParamStr(0);
  const ProgramFile file = SplitProgramPath(programPath);

  size_t mark = file.base.find(kVersionMark);
  if (mark != std::string::npos) {
    if (EqualsIgnoringCase(std::string_view(file.base).substr(mark + kVersionMark.size()), version))
      return {false, kAlreadyTheCopy};
    LogaFormat("RACOTE warning:%d running %s, expected %s, continuing", kOtherVersion, PathText(file.base), version);
    return {false, kOtherVersion};
  }

  const Listing listing = ListProgramFiles(file, version);
  const std::string ownPath = file.dir + file.base + file.ext;
  if (!listing.programSize) {
    LogaFormat("RACOTE Warning:%d didn't find current exe %s, continuing", kProgramNotFound, PathText(ownPath));
    return {false, kProgramNotFound};
  }

  const std::string copyPath = file.dir + file.base + std::string(kVersionMark) + std::string(version) + file.ext;
  int comparison = 0;
  if (listing.copySize == listing.programSize) comparison = CompareFiles(copyPath, ownPath);
  if (listing.copySize != listing.programSize || comparison != 0) {
    LogMakingCopy(copyPath, listing, comparison);
    int code = CopyProgram(ownPath, file, copyPath);
    if (code != 0) {
      LogaFormat("RACOTE warning copy error:%d, continuing", code);
      return {false, code};
    }
  }

  ProcessResult started = RodaProcesso(QuoteParameter(copyPath) + " " + RestoDaLinhaDeComando(),
                                       {.showMode = kShowNormal, .inheritHandles = true, .wait = false});
  if (started.error != 0) {
    LogaFormat("RACOTE warning error:%d executing copy, continuing", started.error);
    return {false, started.error};
  }
  // Mended fault: ending at once with 0 told the caller that the run succeeded before it had begun.
  const int status = WaitForExitStatus(started.processId);
  if (status < 0) Loga(kCopyNotWaited);
  return {true, 0, status < 0 ? kCopyNotWaitedStatus : status};
}

}  // namespace zi
