#include "import_client/portfolio_batch.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <vector>

#include "import_client/import_file.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/platform.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"

namespace zi {

namespace {

namespace fs = std::filesystem;

constexpr int kBatchException = 3938;
constexpr int kOpenAttempts = 11;
constexpr size_t kBatchRecentLines = 4096;
constexpr int64_t kLogRotationThreshold = 2097152;
constexpr const char* kFileExtension = ".pf";
constexpr const char* kCompanionExtension = ".pfd";

struct TBatchSettings {
  int maxBatchSize = 0;
  int boletimAcada = 5000;
  int waitForFileLoops = 3;
  int waitForFileSecs = 5;
  bool dontWaitForFiles = false;
};

int IntegerSwitch(const char* name, int missing) {
  std::string text;
  if (!PegaParam(name, text)) return missing;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty() ? value : missing;
}

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

struct TBatchFolder {
  std::string input;
  std::string errors;
  std::string backup;
};

// A folder of the list, and where its failed and imported files go: the switch's folder, or one
// named after the switch inside the input folder; both created when missing.
TBatchFolder FolderOf(const std::string& input) {
  TBatchFolder folder{input, "", ""};
  for (auto [name, into] : {std::pair{"pferror", &folder.errors}, std::pair{"pfbackup", &folder.backup}}) {
    std::string value;
    *into = WithSeparator(PegaParamBytes(name, value) ? value : input + name);
    std::error_code error;
    fs::create_directories(*into, error);
    if (error) Loga("PortfolioBatchImport folder " + PathText(*into) + " erro:" + error.message());
  }
  return folder;
}

// The folders of the list; a folder that does not exist is a slip of the list (its error and backup
// folders would create it): 0 or the code of path not found.
int Folders(const std::string& list, std::vector<TBatchFolder>& folders) {
  std::vector<std::string> inputs;
  std::string_view rest = list;
  while (true) {
    const size_t at = rest.find_first_of(",;");
    const std::string item = Trim(rest.substr(0, at));
    if (!item.empty()) inputs.push_back(WithSeparator(item));
    if (at == std::string_view::npos) break;
    rest.remove_prefix(at + 1);
  }
  if (inputs.empty()) inputs.push_back("./");
  for (const std::string& input : inputs) {
    std::error_code error;
    if (!fs::is_directory(input, error)) {
      Loga("PortfolioBatchImport folder " + PathText(input) + " does not exist");
      return platform::ErrorCodeOf(ENOTDIR);
    }
  }
  for (const std::string& input : inputs) folders.push_back(FolderOf(input));
  return 0;
}

// The "*.pf" file of the folder whose name sorts first, byte by byte.
std::optional<std::string> FirstFile(const std::string& folder) {
  std::optional<std::string> first;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != kFileExtension || !entry.is_regular_file(error)) continue;
    if (!first || name < *first) first = name;
  }
  if (!first) return std::nullopt;
  return folder + *first;
}

// A file another process still writes may not open yet.
bool WaitUntilReadable(const std::string& file) {
  for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
    if (const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
      close(fd);
      return true;
    }
    if (attempt < kOpenAttempts) platform::SleepMs(1000);
  }
  return false;
}

// Moves a file into a folder, replacing a file of its name there: a rename, or across file systems
// a copy under a temporary name renamed into place, then the original deleted. 0 or the platform's
// error.
int MoveInto(const std::string& file, const std::string& folder) {
  const fs::path target = fs::path(folder) / fs::path(file).filename();
  std::error_code error;
  fs::rename(file, target, error);
  if (error == std::errc::cross_device_link) {
    const fs::path partial = target.string() + ".partial";
    error.clear();
    fs::copy_file(file, partial, fs::copy_options::overwrite_existing, error);
    if (!error) fs::rename(partial, target, error);
    if (!error) fs::remove(file, error);
  }
  if (!error) return 0;
  Loga("PortfolioBatchImport move " + PathText(file) + " to " + PathText(folder) + " erro:" + error.message());
  return platform::ErrorCodeOf(error.value());
}

// Moves the companion ".pfd" first, then the file.
int MoveWithCompanion(const std::string& file, const std::string& folder) {
  const std::string companion = fs::path(file).replace_extension(kCompanionExtension).string();
  std::error_code error;
  if (fs::exists(companion, error))
    if (const int code = MoveInto(companion, folder)) return code;
  return MoveInto(file, folder);
}

// The index of the newest recent line that holds text; raises when none does.
size_t NewestLineWith(const std::vector<std::string>& lines, const std::string& text) {
  for (size_t i = lines.size(); i-- > 0;)
    if (lines[i].find(text) != std::string::npos) return i;
  throw std::runtime_error("N\xE3o encontrou no log o texto \"" + text + "\"");
}

// The run's own log lines, from its first line to its result line, beside the failed file.
void SaveRunLog(const std::string& begin, const std::string& end, const std::string& file,
                const std::string& errors) {
  const std::vector<std::string> lines = RecentLogLines();
  const size_t first = NewestLineWith(lines, begin);
  const size_t last = NewestLineWith(lines, end);
  const fs::path log = fs::path(errors) / fs::path(file).filename().replace_extension(".log");
  std::ofstream out(log, std::ios::binary | std::ios::trunc);
  // Byte for byte the lines of zorinput.log: UTF-8, each ended by CR LF.
  for (size_t i = first; i <= last && i < lines.size(); ++i) out << Cp1252ToUtf8(lines[i]) << "\r\n";
  if (!out.flush()) Loga("PortfolioBatchImport log " + PathText(log.string()) + " could not be written");
}

std::string ProgramFolderFile(const char* name) {
  return (fs::path(platform::ExecutablePath()).parent_path() / name).string();
}

int CreateMarker(const std::string& path) {
  std::ofstream marker(path, std::ios::binary | std::ios::trunc);
  if (marker) return 0;
  Loga("PortfolioBatchImport marker " + PathText(path) + " could not be created");
  return platform::ErrorCodeOf(errno);
}

class TBatch {
 public:
  TBatch(std::vector<TBatchFolder> folders, TBatchSettings settings, TImportEncoding encoding)
      : folders_(std::move(folders)), settings_(settings), encoding_(encoding) {}

  int Run() {
    while (code_ == 0 && (done_ < settings_.maxBatchSize || settings_.maxBatchSize < 1)) {
      const std::optional<size_t> folder = NextFile();
      if (!folder) break;
      ImportOne(folders_[*folder]);
      RotateLogFile(LogFileName(), 0, kLogRotationThreshold);
      if (code_ == 0 && settings_.boletimAcada > 0 && done_ % settings_.boletimAcada == 0) PauseForBulletin();
    }
    return code_;
  }

 private:
  // Visits the folders in turn from the one after the last visited; the folder whose file is in
  // file_, or nothing when the rounds are over.
  std::optional<size_t> NextFile() {
    for (int round = 1;; ++round) {
      for (size_t step = 0; step < folders_.size(); ++step) {
        last_ = (last_ + 1) % folders_.size();
        std::optional<std::string> file = FirstFile(folders_[last_].input);
        if (file && WaitUntilReadable(*file)) {
          file_ = std::move(*file);
          return last_;
        }
      }
      if (settings_.dontWaitForFiles || round >= settings_.waitForFileLoops) return std::nullopt;
      platform::SleepMs(settings_.waitForFileSecs * 1000);
    }
  }

  void ImportOne(const TBatchFolder& folder) {
    const std::string shown = PathText(file_);
    const std::string begin = fmt::sprintf("PortfolioBatchImport FileToImport:%s MaxBatchSize:%d", shown,
                                           settings_.maxBatchSize);
    Loga(begin);
    const TImportOutcome outcome =
        ImportaArquivo(file_, done_ == 0, true, TemParam("logfilenameonimport"), {.encoding = encoding_});
    const std::string end = fmt::sprintf("PortfolioBatchImport FileToImport:%s Result:%d", shown, outcome.code);
    Loga(end);
    // Without a login no file can import: the batch ends and the file stays for the next one.
    if (outcome.loginFailed) {
      code_ = outcome.code;
      return;
    }
    ++done_;
    if (outcome.code == 0) {
      code_ = MoveWithCompanion(file_, folder.backup);
      return;
    }
    SaveRunLog(begin, end, file_, folder.errors);
    code_ = MoveWithCompanion(file_, folder.errors);
  }

  void PauseForBulletin() {
    const std::string marker = ProgramFolderFile(kGenerateBulletinMarker);
    if ((code_ = CreateMarker(marker)) != 0) return;
    LogaFormat("PortfolioBatchImport PausarParaGerarBoletim qtd:%d Acada:%d File:%s", done_, settings_.boletimAcada,
               PathText(marker));
    std::error_code error;
    while (fs::exists(marker, error)) platform::SleepMs(1000);
  }

  std::vector<TBatchFolder> folders_;
  TBatchSettings settings_;
  TImportEncoding encoding_;
  size_t last_ = static_cast<size_t>(-1);
  std::string file_;
  int done_ = 0;
  int code_ = 0;
};

}  // namespace

int PortfolioBatchImport(const std::string& folders, TImportEncoding encoding) {
  LogaFormat("PortfolioBatchImport begin InputDir:%s", PathText(folders));
  const TBatchSettings settings{IntegerSwitch("MaxBatchSize", 0), IntegerSwitch("BoletimAcada", 5000),
                                IntegerSwitch("WaitForFileLoops", 3), IntegerSwitch("WaitForFileSecs", 5),
                                TemParam("DontWaitForFiles")};
  SetRecentLogLinesLimit(kBatchRecentLines);
  int code = 0;
  try {
    std::vector<TBatchFolder> batchFolders;
    code = Folders(folders, batchFolders);
    if (code == 0) code = TBatch(std::move(batchFolders), settings, encoding).Run();
  } catch (const std::exception& e) {
    ReportExceptionWithCode("PortfolioBatchImport", code, e, kBatchException);
  }
  if (settings.boletimAcada != 0) {
    CreateMarker(ProgramFolderFile(kGenerateBulletinMarker));
    CreateMarker(ProgramFolderFile(kBatchEndedMarker));
  }
  LogaFormat("PortfolioBatchImport end Erro:%d", code);
  return code;
}

}  // namespace zi
