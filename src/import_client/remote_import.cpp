#include "import_client/remote_import.h"

#include <algorithm>
#include <charconv>

#include <fmt/format.h>

#include "db/connection.h"
#include "import/regular_file.h"
#include "session/session.h"
#include "session/zi_globs.h"
#include "toolbox/codec.h"
#include "toolbox/errors.h"
#include "toolbox/import_ticket.h"
#include "toolbox/log.h"
#include "toolbox/platform.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kDefaultPriority = 3;
constexpr const char* kSetYourEmail = "PLEASE SET YOUR EMAIL ADDRESS TO RECEIVE THE RESULT OF THIS IMPORT";

void Progress(const TProgressText& progress, const std::string& text) {
  if (progress) progress(text);
}

// The whole file, read while nobody may write it: 0, or 4066 for a short read, 4065 when it cannot
// be read at all.
int ReadImportFile(const std::string& file, std::string& bytes) {
  try {
    TRegularFile reader(file);
    bytes.resize(reader.Size());
    size_t read = 0;
    while (read < bytes.size()) {
      const size_t got = reader.Read(bytes.data() + read, bytes.size() - read);
      if (got == 0) break;
      read += got;
    }
    if (read < bytes.size()) {
      Loga(fmt::format("ReadImportFile erro:{} length:{} Size:{} Lido:{}", kReadImportFileShort, bytes.size(),
                       reader.Size(), read));
      return kReadImportFileShort;
    }
    return 0;
  } catch (const std::exception& e) {
    Loga("ReadImportFile exception error " + std::string(e.what()) + " " + ExceptionClassName(e));
    return kReadImportFileFailed;
  }
}

}  // namespace

int PrioridadeDoIF() {
  std::string text;
  int priority = kDefaultPriority;
  if (PegaParam("IFpriority", text)) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), priority);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) priority = kDefaultPriority;
  }
  return std::max(priority, 1);
}

int EnviaArquivoParaImportacao(const std::string& file, int priority, bool logIn, TImportEncoding encoding,
                               const TProgressText& progress) {
  const std::string name = Trim(file);
  if (name.empty()) return kEmptyRemoteFileName;
  if (logIn) {
    CliLogin();
    if (const int code = CliLoginCode()) return code;
  }
  if (ZiGlobs().email.empty()) {
    if (logIn) LogaConsole(kSetYourEmail);
    return kNoEmailForRemoteImport;
  }
  const int64_t start = platform::MonotonicMs();
  const std::string shown = PathText(name);
  Loga("RemoteImport " + shown);
  Progress(progress, "sending import file <" + shown + ">. wait...");
  db::TDataSetHolder ds(db::ZiDb(), "ImportFileAdd");
  if (!ds) return ds.Failure(kNoUploadCommand);
  ds->SetInteger("@Prioridade", priority);
  ds->SetText("@Filename", shown);
  ds->SetInteger("@Flags", ImportFlagsOf(encoding));
  std::string bytes;
  if (const int code = ReadImportFile(name, bytes)) return code;
  ds->SetBlob("@Conteudo", bytes);
  Loga("- fsize: " + std::to_string(bytes.size()) + " bytes");
  Progress(progress, "sending " + std::to_string(bytes.size()) + " bytes");
  const int code = db::ZiDb().ExecStProc(*ds, 0);
  const std::string verdict = code == 0 ? std::string("ok") : "error:" + std::to_string(code);
  const std::string seconds = fmt::format("{:.1f}s", static_cast<double>(platform::MonotonicMs() - start) / 1000);
  Loga(fmt::format("- ImpFAdd {} {} IFpri:{} fsize:{} <{}>", verdict, seconds, priority, bytes.size(), shown));
  if (encoding != TImportEncoding::Unchosen) Loga(std::string("- encoding:") + ImportEncodingName(encoding));
  Progress(progress, "- " + verdict + " " + seconds);
  return code;
}

}  // namespace zi
