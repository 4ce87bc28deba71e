#include "toolbox/shell_registration.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <fmt/format.h>

#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/platform.h"
#include "toolbox/process.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"

namespace zi {

namespace {

namespace fs = std::filesystem;

struct FileType {
  std::string extension;
  std::string description;
  std::string contentType;
  bool keepExisting;
  std::string verb;
  std::string parameterPrefix;
  std::string programPath;
};

fs::path UserDataDir() {
  std::string home = platform::EnvVar("HOME");
  if (home.empty()) throw std::runtime_error("HOME is not set");
  return fs::path(home) / ".local/share";
}

// A relative XDG_DATA_HOME is invalid and ignored, as the base-directory rules require.
fs::path DataHome() {
  std::string dir = platform::EnvVar("XDG_DATA_HOME");
  if (!dir.empty() && dir[0] == '/') return dir;
  return UserDataDir();
}

std::vector<fs::path> SystemDataDirs() {
  std::string dirs = platform::EnvVar("XDG_DATA_DIRS");
  if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
  std::vector<fs::path> result;
  std::istringstream in(dirs);
  for (std::string dir; std::getline(in, dir, ':');)
    if (!dir.empty()) result.emplace_back(dir);
  return result;
}

// A file that cannot be read (a folder in the way) reads as nothing: only writing it reports the error.
std::optional<std::string> ReadWholeFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  if (!(content << in.rdbuf())) return std::nullopt;
  return content.str();
}

// Our own packages count before update-mime-database has compiled them into globs2.
bool OwnPackageClaims(const fs::path& dataHome, const std::string& glob) {
  const std::string attribute = "pattern=\"" + glob + "\"";
  std::error_code ec;
  fs::directory_iterator it(dataHome / "mime/packages", ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (it->path().extension() != ".xml") continue;
    std::optional<std::string> content = ReadWholeFile(it->path());
    if (content && LowerAscii(*content).find(attribute) != std::string::npos) return true;
  }
  return false;
}

// globs2 lines read "weight:type:glob" with optional ":flags".
bool GlobsFileClaims(const fs::path& globsFile, const std::string& glob) {
  std::ifstream in(globsFile);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    size_t typeStart = line.find(':');
    size_t globStart = typeStart == std::string::npos ? typeStart : line.find(':', typeStart + 1);
    if (globStart == std::string::npos) continue;
    size_t globEnd = line.find(':', globStart + 1);
    if (LowerAscii(line.substr(globStart + 1, globEnd - globStart - 1)) == glob) return true;
  }
  return false;
}

// The system's types count too: the registry's equivalent of an extension key already naming a class,
// and registering ".txt" again would take text files away from the user's editors.
bool ExtensionClaimed(const fs::path& dataHome, const std::string& extension) {
  const std::string glob = "*." + extension;
  if (OwnPackageClaims(dataHome, glob) || GlobsFileClaims(dataHome / "mime/globs2", glob)) return true;
  for (const fs::path& dir : SystemDataDirs())
    if (GlobsFileClaims(dir / "mime/globs2", glob)) return true;
  return false;
}

std::string ClassNameOf(std::string_view name) {
  std::string result = LowerAscii(Trim(name));
  for (char& c : result)
    if (c == ' ' || c == '-' || c == '.' || c == '/' || c == ':') c = '_';
  return result;
}

std::string XmlEscaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// Escapes of every desktop-entry string value.
std::string DesktopValue(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

constexpr std::string_view kExecReserved = " \t\n\"'\\><~|&;$*?#()`";

// Exec rules: an argument holding a reserved character is double-quoted, and inside the quotes
// ", `, $ and \ take a backslash; a literal % is doubled everywhere.
std::string ExecArgument(std::string_view arg) {
  const bool quoted = arg.empty() || arg.find_first_of(kExecReserved) != std::string_view::npos;
  std::string out = quoted ? "\"" : "";
  for (char c : arg) {
    if (c == '%') out += '%';
    else if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    out += c;
  }
  if (quoted) out += '"';
  return out;
}

// The prefix and the file's path form one argument, and a field code must not stand inside quotes.
std::string ExecPrefix(std::string_view prefix) {
  if (prefix.find_first_of(kExecReserved) != std::string_view::npos)
    throw std::invalid_argument("parameter prefix would need quoting: " + std::string(prefix));
  std::string out;
  for (char c : prefix) {
    if (c == '%') out += '%';
    out += c;
  }
  return out + "%f";
}

constexpr char kMimePackage[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="{type}">
    <comment>{comment}</comment>
    <glob pattern="*.{extension}"/>
  </mime-type>
</mime-info>
)";

// The verb is what the "Open with" list shows. The registry's DefaultIcon has no counterpart: the
// program file is no icon image.
constexpr char kDesktopEntry[] = R"([Desktop Entry]
Type=Application
Name={name}
Comment={comment}
Exec={exec}
MimeType={type};
NoDisplay=true
)";

std::string MimePackage(const FileType& type, const std::string& mimeType) {
  return fmt::format(kMimePackage, fmt::arg("type", XmlEscaped(mimeType)),
                     fmt::arg("comment", XmlEscaped(Cp1252ToUtf8(type.description))),
                     fmt::arg("extension", XmlEscaped(type.extension)));
}

std::string DesktopEntry(const FileType& type, const std::string& mimeType) {
  const std::string exec = ExecArgument(type.programPath) + " " + ExecPrefix(type.parameterPrefix);
  return fmt::format(kDesktopEntry, fmt::arg("name", DesktopValue(Cp1252ToUtf8(type.verb))),
                     fmt::arg("comment", DesktopValue(Cp1252ToUtf8(type.description))),
                     fmt::arg("exec", DesktopValue(exec)), fmt::arg("type", DesktopValue(mimeType)));
}

// Temporary file and rename, so that a reader never sees half a file. Returns whether it changed.
bool WriteIfChanged(const fs::path& file, const std::string& content) {
  if (ReadWholeFile(file) == content) return false;
  const fs::path temp = file.string() + ".tmp" + std::to_string(platform::ProcessId());
  auto fail = [&](int error) {
    unlink(temp.c_str());
    throw std::system_error(error, std::generic_category(), "cannot write " + file.string());
  };
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fail(errno);
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int error = errno;
      close(fd);
      fail(error);
    }
    done += static_cast<size_t>(n);
  }
  if (fsync(fd) != 0 || close(fd) != 0) fail(errno);
  if (rename(temp.c_str(), file.c_str()) != 0) fail(errno);
  return true;
}

// The MIME database is compiled by update-mime-database when it is installed; without it the package
// waits for the next run of it, so its absence or failure is no error.
void UpdateMimeDatabase(const fs::path& mimeDir) {
  RodaProcesso("update-mime-database " + QuoteParameter(mimeDir.string()),
               {.inheritHandles = false, .wait = true});
}

void Register(fs::path (*dataDir)(), const FileType& type, int& step) {
  step = 1;
  const fs::path dataHome = dataDir();
  step = 2;
  if (type.keepExisting && ExtensionClaimed(dataHome, type.extension)) return;
  step = 3;
  const std::string className = ClassNameOf(type.description);
  if (className.empty()) throw std::invalid_argument("empty description");
  const std::string mimeType = type.contentType.empty() ? "application/x-zorinput-" + className : type.contentType;
  const std::string package = MimePackage(type, mimeType);
  const std::string entry = DesktopEntry(type, mimeType);
  step = 4;
  fs::create_directories(dataHome / "mime/packages");
  const bool packageChanged = WriteIfChanged(dataHome / "mime/packages" / (className + ".xml"), package);
  step = 5;
  fs::create_directories(dataHome / "applications");
  WriteIfChanged(dataHome / "applications" / (className + "-" + ClassNameOf(type.verb) + ".desktop"), entry);
  step = 6;
  if (packageChanged) UpdateMimeDatabase(dataHome / "mime");
}

}  // namespace

void RegExt(std::string_view extension, std::string_view description, std::string_view contentType, bool keepExisting,
            std::string_view verb, std::string_view parameterPrefix, std::string_view programPath) {
  std::string ext = Trim(LowerAscii(extension));
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  const FileType type{.extension = ext,
                      .description = Trim(description),
                      .contentType = std::string(contentType),
                      .keepExisting = keepExisting,
                      .verb = std::string(verb),
                      .parameterPrefix = std::string(parameterPrefix),
                      .programPath = std::string(programPath)};
  // The registry's machine-wide and per-user attempts become the XDG data home and the default
  // ~/.local/share (the same folder unless XDG_DATA_HOME moves it); the log keeps the labels support
  // staff know.
  struct Attempt {
    const char* label;
    fs::path (*dataDir)();
  };
  std::string failures;
  bool ok = false;
  for (const Attempt& attempt : {Attempt{"LM", DataHome}, Attempt{"CU", UserDataDir}}) {
    int step = 0;
    try {
      Register(attempt.dataDir, type, step);
      ok = true;
      break;
    } catch (const std::exception& e) {
      failures += fmt::sprintf("; %s excep:[%s] passo:%d", attempt.label, e.what(), step);
    }
  }
  if (!failures.empty()) Loga("RegExt " + ext + " Ok:" + (ok ? "Y" : "N") + " " + failures);
}

}  // namespace zi
