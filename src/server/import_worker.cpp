#include "server/import_worker.h"

#include <signal.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>

#include <fmt/format.h>

#include "server/import_queue.h"
#include "server/procedures.h"
#include "server/server.h"
#include "server/sqlite_db.h"
#include "toolbox/codec.h"
#include "toolbox/dates.h"
#include "toolbox/http.h"
#include "toolbox/own_codes.h"
#include "toolbox/platform.h"
#include "toolbox/process.h"

namespace zi::server {

namespace {

// What of an import's output is kept with its file, and what of it goes into the mail.
constexpr size_t kKeptOutput = 256 * 1024;
constexpr size_t kMailedOutput = 2000;
constexpr const char* kEndLine = "- end import ";

std::atomic<bool> stopRequested{false};

extern "C" void RequestStop(int) { stopRequested = true; }

// Without SA_RESTART, a signal cuts the wait between two looks at the queue short; the wait for an
// import that runs is resumed.
void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

TDateTime Now() {
  const platform::LocalTime t = platform::Now();
  return DateTimeFromCalendar({t.year, t.month, t.day, t.hour, t.minute, t.second});
}

std::string HostName() {
  const std::string host = platform::ComputerName();
  return host.empty() ? "localhost" : host;
}

// The uploaded name without its folders (a client's, of any system), as a file name of ours.
std::string LocalFileName(const std::string& uploaded) {
  const size_t slash = uploaded.find_last_of("/\\");
  std::string name = Cp1252ToUtf8(slash == std::string::npos ? uploaded : uploaded.substr(slash + 1));
  if (name.empty() || name == "." || name == "..") name = "import.txt";
  return name;
}

// The result code of the import's end line ("- end import ok ..." or "- end import erro:N ...").
std::optional<int> EndLineCode(const std::string& output) {
  const size_t at = output.rfind(kEndLine);
  if (at == std::string::npos) return std::nullopt;
  const std::string_view rest = std::string_view(output).substr(at + std::char_traits<char>::length(kEndLine));
  if (rest.starts_with("ok")) return 0;
  if (!rest.starts_with("erro:")) return std::nullopt;
  const std::string digits(rest.substr(5, rest.find_first_not_of("-0123456789", 5) - 5));
  try {
    return std::stoi(digits);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string Tail(const std::string& text, size_t bytes) {
  return text.size() <= bytes ? text : text.substr(text.size() - bytes);
}

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ImportRun {
  int code = 0;
  std::string output;  // program text, as every text the database layer stores and the mail carries
};

// Imports the file in a private folder, with the zorinput program logged in as its uploader.
ImportRun RunImport(const QueuedImport& file, const std::string& database, const std::string& program) {
  std::string folder = std::filesystem::path(platform::TempDir()) / "zorinput-import-XXXXXX";
  if (!mkdtemp(folder.data())) return {kRemoteImportNotRun, "no private folder for the import"};
  const std::filesystem::path input = std::filesystem::path(folder) / LocalFileName(file.fileName);
  const std::filesystem::path output = std::filesystem::path(folder) / "output.txt";
  ImportRun run;
  {
    std::ofstream out(input, std::ios::binary);
    out.write(file.content.data(), static_cast<std::streamsize>(file.content.size()));
    if (!out.flush()) run = {kRemoteImportNotRun, "the file could not be written to " + PathText(input.string())};
  }
  if (run.code == 0) {
    std::vector<std::string> arguments{program, "-import=" + input.string(), "-database=" + database,
                                       "-user=" + Cp1252ToUtf8(file.uploaderName)};
    if (const TImportEncoding encoding = ImportEncodingOfFlags(file.flags); encoding != TImportEncoding::Unchosen)
      arguments.push_back(std::string("-encoding=") + ImportEncodingName(encoding));
    const ProcessResult ended = RunProgramIntoFile(arguments, {std::string(kImportTicketVariable) + "=" + file.ticket},
                                                   {"ZORINPUT_PASSWORD"}, output.string());
    // The program writes its console in UTF-8; kept as UTF-8 bytes, the output would be encoded
    // once more when stored, and mailed in another encoding than the rest of the mail.
    run.output = Tail(Utf8ToCp1252Lossy(ReadAll(output)), kKeptOutput);
    const std::optional<int> code = EndLineCode(run.output);
    if (ended.error != 0) run.output = fmt::format("{} could not be started: error {}", PathText(program), ended.error);
    run.code = ended.error == 0 && code ? *code : kRemoteImportNotRun;
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return run;
}

int MailOutcome(const QueuedImport& file, const ImportRun& run, const std::string& relay) {
  if (relay.empty() || file.uploaderEmail.empty()) return kRemoteImportNotMailed;
  const std::string verdict = run.code == 0 ? "ok" : "erro:" + std::to_string(run.code);
  SetMailRelay(relay);
  return SendHttpMail({"TO", file.uploaderEmail, "SUBJ", "ZorInput remote import " + file.fileName + " " + verdict,
                       "file", file.fileName, "result", verdict, "output", Tail(run.output, kMailedOutput)});
}

void Say(std::ostream& out, const std::string& line) { out << "import-worker: " << line << std::endl; }

}  // namespace

int RunImportWorker(const std::string& path, const ImportWorkerOptions& options, std::ostream& out,
                    std::ostream& err) {
  const std::string program = options.program.empty()
                                  ? (std::filesystem::path(platform::ExecutablePath()).parent_path() / "zorinput").string()
                                  : options.program;
  std::unique_ptr<SqliteDb> db;
  try {
    Server::Open(path, ProductRegistry(), {.mayCreate = false, .checkIntegrity = true});
    db = SqliteDb::Open(path);
  } catch (const std::exception& e) {
    err << "zorinput-server: " << Cp1252ToUtf8(e.what()) << "\n";
    return 1;
  }
  const std::string database = std::filesystem::absolute(path).string();
  const std::string host = HostName();
  const int pid = static_cast<int>(platform::ProcessId());
  stopRequested = false;
  InstallStopHandlers();
  Say(out, fmt::format("{}: started, pid {}", path, pid));
  const int requeued = RequeueAbandonedImports(*db, host, [](int p) { return platform::ProcessAlive(p); });
  if (requeued > 0) Say(out, fmt::format("{} file(s) left running by a stopped worker queued again", requeued));
  while (!stopRequested) {
    std::optional<QueuedImport> file;
    bool busy = false;
    try {
      file = ClaimNextImport(*db, host, pid, Now());
    } catch (const ServerError& e) {
      if (e.GetKind() != ServerError::Kind::Busy) throw;
      busy = true;
    }
    if (!file) {
      if (options.untilEmpty && !busy) break;
      for (int waited = 0; waited < options.pollMs && !stopRequested; waited += 100) platform::SleepMs(100);
      continue;
    }
    Say(out, fmt::format("file {} <{}> of {} priority {}: importing", file->id, Cp1252ToUtf8(file->fileName),
                         Cp1252ToUtf8(file->uploaderName), file->priority));
    const ImportRun run = RunImport(*file, database, program);
    const int mail = MailOutcome(*file, run, options.mailRelay);
    RecordImportOutcome(*db, file->id, run.code, run.output, mail, Now());
    Say(out, fmt::format("file {}: {} mail:{}", file->id, run.code == 0 ? "ok" : "erro:" + std::to_string(run.code),
                         mail));
  }
  Say(out, stopRequested ? "stopped on request" : "the queue is empty");
  return 0;
}

}  // namespace zi::server
