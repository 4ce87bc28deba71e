#include "app/entry.h"

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "app/check_server.h"
#include "app/import_mode.h"
#include "app/msgqq_modes.h"
#include "app/run_modes.h"
#include "catalogue/hooks.h"
#include "db/drivers/embedded_driver.h"
#include "db/drivers/odbc_driver.h"
#include "holdings/composition_export.h"
#include "holdings/portfolio_directives.h"
#include "holdings/registry_import.h"
#include "catalogue/share_base_files.h"
#ifdef ZI_WITH_DESKTOP
#include "desktop/desktop_app.h"
#endif
#include "import/indicator_directives.h"
#include "import/object_directives.h"
#include "import/reference_directives.h"
#include "marketdata/corporate_families.h"
#include "marketdata/quote_directives.h"
#include "marketdata/quote_export.h"
#include "session/bulletin.h"
#include "session/login.h"
#include "session/zi_globs.h"
#include "statements/directives.h"
#include "statements/listing.h"
#include "toolbox/http.h"
#include "toolbox/lifecycle.h"
#include "toolbox/log.h"
#include "toolbox/platform.h"
#include "toolbox/process.h"
#include "toolbox/racote.h"
#include "toolbox/shell_registration.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"
#include "toolbox/version.h"

namespace zi::app {

namespace {

constexpr int kModeExceptionDefault = 3938;
constexpr const char* kImportFileTypes = "zi|txt|imp|csv|prn";

constexpr const char* kUsage = R"(Usage: zorinput [RUN MODE] [SWITCHES]
Switches are written -name or /name, with =value or :value; the first run mode given runs, and
without one the desktop starts.

Run modes:
  /import=FILE                check a text or JSON import file, then import it
  /rimport=FILE               send a file to the server's import service (/IFpriority=N)
  /pfimport=FOLDERS           batch portfolio import of the files in the folders
  /msgqq=ID,AUX,FILE          a message file into the data log
  /msgqqcode=ID,[AUX,]FILE    a coded message file
  /reqgbol=0..9               ask for a bulletin at the end (alone: log in only)
  /exportabaccomstatus        share base export with status (/exportabacsemstatus without)
  /contasquenaofecham=BLOCK   statements whose check failed
  /exportacac=NUMBER          shareholding composition export
  /exportacotacoes=SELECTION  quote export
  /checkserver                whether the server has every procedure and parameter the
                              program calls (a list of what lacks)

Main switches:
  /user=NAME /password=SECRET database user (or the variable ZORINPUT_PASSWORD)
  /database=FILE              the embedded database file
  /provider=NAME /sqlserver=HOST
                              a database server through ODBC (the provider defaults to
                              SQLOLEDB.1 when a server is named)
  /odbcdriver=NAME            the ODBC driver, as odbcinst.ini names it (default FreeTDS)
  /odbcoptions="K=V;..."      more ODBC connection keywords (port, TLS, client charset)
  /output=FILE                append standard output to FILE
  /rejects=FILE /summary=FILE with /import: the failed lines to fix and import again; the
                              outcome as JSON
  /encoding=utf-8|windows-1252
                              how a text import file is read; without it Windows-1252, and a
                              file that looks like UTF-8 is refused
  /mailrelay=HOST             where failure reports go
  /noracote                   no hand-over to the versioned copy
  -li                         debug lines in the log
  -help, --help, -h           this text;  -version  the version

Exit status: 0 success, 1 import with errors (some lines not imported), 2 check failed
(nothing written), 3 login or configuration failed, 4 other failure, 250 fatal error. The full
code is in the log's end line and on standard error.
)";

// The usage or the version when the command line asks for one of them: printed before anything
// else starts, so that asking changes nothing (no log, no versioned copy, no file types, no database).
std::optional<std::string> HelpOrVersion() {
  if (TemParam("help") || TemParam("-help") || TemParam("h")) return kUsage;
  if (TemParam("version") || TemParam("-version")) return std::string("ZorInput ") + kVersionText + "\n";
  return std::nullopt;
}

void RegisterFileTypes() {
  std::string program = ParamStr(0);
  RegExt("zi", "ZorInput import file", "application/x-zorinput-import", false, "open", "/rimport=", program);
  for (int i = 1; i <= ContaItensPipe(kImportFileTypes); ++i) {
    std::string type = ItemPipe(i, kImportFileTypes);
    RegExt(type, type + " file", "", true, "Import with ZorInput", "/rimport=", program);
  }
}

// Before the desktop: hand over to the versioned copy, then make the import files open with us.
void PrepareDesktop() {
  if (const RacoteResult handOver = RACOTE(kCopyVersion); handOver.copyStarted) EndProcess(handOver.copyStatus);
  RegisterFileTypes();
  // The desktop's event loop must never wait for the mail relay.
  SetHttpMailInBackground(true);
}

// The exports and the listing log in first, then do their work.
RunResult AfterCliLogin(const std::function<int()>& work) {
  CliLogin();
  if (CliLoginCode() != 0) return {CliLoginCode(), ExitKind::LoginFailed};
  const int code = work();
  return {code, code == 0 ? ExitKind::Ok : ExitKind::Other};
}

RunResult LoginOnly(const ModeSelection&) {
  int code = InitDbConnection("", "", false, nullptr);
  return {code, code == 0 ? ExitKind::Ok : ExitKind::LoginFailed};
}

// Every directive family of this build plugs its handlers into the directive table.
void InstallDirectiveFamilies() {
  RegisterObjectDirectives();
  RegisterReferenceDirectives();
  RegisterIndicatorDirectives();
  RegisterQuoteDirectives();
  RegisterStatementDirectives();
  RegisterHolderDirectives();
  RegisterPortfolioDirectives();
  RegisterCorporateFamilies();
}

void InstallModeHandlers() {
  SetModeHandler(RunMode::Import, RunImportMode);
  SetModeHandler(RunMode::ExportaCotacoes, [](const ModeSelection& selection) {
    return AfterCliLogin([&] { return ExportaCotacoes(selection.value); });
  });
  SetModeHandler(RunMode::ContasQueNaoFecham, [](const ModeSelection& selection) {
    return AfterCliLogin([&] { return ListaBalsComContasQueNaoFecham(NumberValueOrMax(selection.value)); });
  });
  SetModeHandler(RunMode::CheckServer, [](const ModeSelection&) { return AfterCliLogin(CheckServer); });
  SetModeHandler(RunMode::RImport, RunRemoteImportMode);
  SetModeHandler(RunMode::PfImport, RunPortfolioBatchMode);
  SetModeHandler(RunMode::MsgQQ, RunMsgQQMode);
  SetModeHandler(RunMode::MsgQQCode, RunMsgQQCodeMode);
  SetModeHandler(RunMode::ExportaBacComStatus,
                 [](const ModeSelection&) { return AfterCliLogin([] { return ExportaTodosBac(true); }); });
  SetModeHandler(RunMode::ExportaBacSemStatus,
                 [](const ModeSelection&) { return AfterCliLogin([] { return ExportaTodosBac(false); }); });
  SetModeHandler(RunMode::ExportaCac, [](const ModeSelection& selection) {
    return AfterCliLogin([&] { return ExportaCompAcionaria(NumberValueOrMax(selection.value)); });
  });
  SetModeHandler(RunMode::ReqGBolAlone, LoginOnly);
#ifdef ZI_WITH_DESKTOP
  SetModeHandler(RunMode::Desktop, [](const ModeSelection&) {
    const int code = desktop::RunDesktop();
    return RunResult{code, code == 0 ? ExitKind::Ok : ExitKind::Other};
  });
#endif
  SetReqGBolHandler([](int priority, const std::string& requesterText) {
    PedeBoletim(priority);
    AppendRequester(requesterText);
  });
}

std::string EndLine(int modeCode, int processCode) {
  std::string line = "- ZorInput end";
  if (modeCode != 0) line += " erro:" + std::to_string(modeCode);
  if (processCode != 0) line += " Sys.ExitCode:" + std::to_string(processCode);
  return line;
}

RunResult RunEntry() {
  Loga(std::string("ZorInput start ver:") + kVersionText + " " + UserAtMachine());
  LogIgnoredParameters();
  RunResult result;
  try {
    ModeSelection selection = SelectRunMode();
    if (selection.mode == RunMode::Desktop) PrepareDesktop();
    result = RunSelectedMode(selection);
  } catch (const std::exception& e) {
    ReportExceptionWithCode("ZorInput.main", result.code, e, kModeExceptionDefault);
    result.kind = ExitKind::Other;
  }
  if (ExitCode() == 0) SetExitCode(result.code);
  Loga(EndLine(result.code, ExitCode()));
  return result;
}

}  // namespace

void Main(int argc, char** argv) {
  SetCommandLine(argc, argv);
  // First of all, before anything that may wait (a locked log, a slow disk): the password leaves the
  // process list. The program still reads it from its own copy of the parameters.
  HideSwitchValue("password");
  platform::IgnoreBrokenPipe();
  if (const std::optional<std::string> text = HelpOrVersion()) {
    std::fputs(text->c_str(), stdout);
    std::fflush(stdout);
    ::_exit(0);
  }
  FoundationStart();
  ZiGlobsStart();
  InstallCatalogueHooks();
#ifdef ZI_WITH_EMBEDDED
  db::RegisterEmbeddedDriver();
#endif
  db::RegisterOdbcDriver();
  InstallDirectiveFamilies();
  InstallModeHandlers();
  RunResult result = RunEntry();
  int modeCode = result.code;
  // The shutdown may still change the process's code (a bulletin request sent at the end).
  FoundationEnd();
  int code = ExitCode();
  if (code != 0) std::fprintf(stderr, "%s\n", EndLine(modeCode, code).c_str());
  EndProcess(ProcessExitStatus(code, result.kind));
}

}  // namespace zi::app
