#include "app/run_modes.h"

#include <array>
#include <charconv>
#include <climits>
#include <map>

#include <fmt/format.h>

#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"

namespace zi::app {

namespace {

// A value that names files or folders stays the system's bytes; any other is program text.
enum class ValueKind { Text, Files };

struct ModeSwitch {
  RunMode mode;
  const char* name;
  ValueKind value;
};

// The order of the table is the order in which the switches are tested.
constexpr std::array<ModeSwitch, 12> kModeSwitches{{
    {RunMode::Import, "import", ValueKind::Files},
    {RunMode::PfImport, "pfimport", ValueKind::Files},
    {RunMode::RImport, "rimport", ValueKind::Files},
    {RunMode::MsgQQ, "msgqq", ValueKind::Files},
    {RunMode::MsgQQCode, "msgqqcode", ValueKind::Files},
    {RunMode::ReqGBolAlone, "reqgbol", ValueKind::Text},
    {RunMode::ExportaBacComStatus, "exportabaccomstatus", ValueKind::Text},
    {RunMode::ExportaBacSemStatus, "exportabacsemstatus", ValueKind::Text},
    {RunMode::ContasQueNaoFecham, "contasquenaofecham", ValueKind::Text},
    {RunMode::ExportaCac, "exportacac", ValueKind::Text},
    {RunMode::ExportaCotacoes, "exportacotacoes", ValueKind::Files},
    {RunMode::CheckServer, "checkserver", ValueKind::Text},
}};

// Every other switch the program reads, here or anywhere else. The list is the one place that says
// which switches exist: whatever else the command line holds is logged as ignored.
constexpr const char* kOtherSwitches[] = {
    // the login and the session
    "user", "password", "sqlserver", "database", "provider", "AdminVersion", "output", "PathReqGBol",
    "mailrelay", "DbgDifChecagemBal", "PodeMudarAtvDoAnbPraCima", "noimport", "odbcdriver", "odbcoptions",
    // the log, the versioned copy, help and version
    "LI", "noracote", "help", "-help", "h", "version", "-version",
    // the import client
    "logfilenameonimport", "IFpriority", "MaxBatchSize", "BoletimAcada", "WaitForFileLoops", "WaitForFileSecs",
    "DontWaitForFiles", "pferror", "pfbackup", "rejects", "summary", "encoding", "checkonly", "dryrun",
    // the desktop's screenshot run
    "screens", "screensimport",
    // the import run and its directive families
    "MaxQTFieldValue", "AceitaImportarComErro", "ErroNaoCriticoTratarComoErro", "SHLIMITADD", "SHLIMITMOD",
    "SHLIMITTOTAL", "PTFASSETLIMITADD", "PTFASSETLIMITMOD", "PTFASSETLIMITTOTAL", "PfNaoCheckarAplicacaoAcionista",
    // the statements, the formats and the share base
    "DbgSpeed", "P1F",
};

constexpr const char* kUnknownSwitchLine = "Unknown switch ignored: ";
constexpr const char* kNotASwitchLine = "Parameter {} ignored: not a switch";
constexpr const char* kImportKindRefused = "ZorInput switch -{} goes with -import only, not with {} erro:{}";
constexpr const char* kReqGBolIgnored = "reqgbol ignored: a check-only run or a dry run asks for no bulletin";
constexpr const char* kReqGBolValueWarning =
    "reqgbol value \"{}\" is not a priority 0 to 9: no bulletin priority registered";

bool IsKnownSwitch(std::string_view name) {
  for (const auto& m : kModeSwitches)
    if (SameTextAscii(name, m.name)) return true;
  for (const char* other : kOtherSwitches)
    if (SameTextAscii(name, other)) return true;
  return false;
}

// A value from the command line in a log line: never a line of its own.
std::string Shown(std::string_view text) {
  std::string shown(text);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return shown;
}

std::map<RunMode, ModeHandler>& Handlers() {
  static std::map<RunMode, ModeHandler> handlers;
  return handlers;
}

ReqGBolHandler& ReqGBol() {
  static ReqGBolHandler handler;
  return handler;
}

std::optional<int> ParseInt(std::string_view text) {
  int value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// Splits off the text before the first "," or ";"; the rest stays in `text`.
std::string_view NextItem(std::string_view& text) {
  size_t at = text.find_first_of(",;");
  std::string_view item = text.substr(0, at);
  text = at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
  return item;
}

}  // namespace

const char* SwitchOf(RunMode mode) {
  for (const auto& m : kModeSwitches)
    if (m.mode == mode) return m.name;
  return "";
}

ModeSelection SelectRunMode() {
  ModeSelection selection;
  std::string value;
  if (PegaParam("reqgbol", value)) {
    selection.reqgbol = true;
    selection.reqgbolValue = value;
    auto priority = ParseInt(value);
    selection.reqgbolPriorityValid = priority && *priority >= 0 && *priority <= 9;
    selection.reqgbolPriority = selection.reqgbolPriorityValid ? *priority : 0;
  }
  for (const auto& m : kModeSwitches) {
    if (m.value == ValueKind::Files ? PegaParamBytes(m.name, value) : PegaParam(m.name, value)) {
      selection.mode = m.mode;
      selection.value = value;
      break;
    }
  }
  return selection;
}

int ProcessExitStatus(int code, ExitKind kind) {
  if (code == 0) return 0;
  switch (kind) {
    case ExitKind::ImportPartial: return 1;
    case ExitKind::CheckFailed: return 2;
    case ExitKind::LoginFailed: return 3;
    case ExitKind::Ok:
    case ExitKind::Other: break;
  }
  return 4;
}

std::optional<MsgQQArgs> ParseMsgQQ(const std::string& value) {
  std::string_view rest = value;
  auto object = ParseInt(NextItem(rest));
  auto auxiliary = ParseInt(NextItem(rest));
  if (!object || !auxiliary || rest.empty()) return std::nullopt;
  return MsgQQArgs{*object, *auxiliary, std::string(rest), 'a'};
}

std::optional<MsgQQArgs> ParseMsgQQCode(const std::string& value) {
  std::string_view rest = value;
  auto object = ParseInt(NextItem(rest));
  if (!object || rest.empty()) return std::nullopt;
  if (rest.find_first_of(",;") == std::string_view::npos) return MsgQQArgs{*object, 0, std::string(rest), 'a'};
  auto auxiliary = ParseInt(NextItem(rest));
  if (!auxiliary || rest.empty()) return std::nullopt;
  return MsgQQArgs{*object, *auxiliary, std::string(rest), 'T'};
}

int NumberValueOrMax(const std::string& value) { return ParseInt(value).value_or(INT_MAX); }

void SetModeHandler(RunMode mode, ModeHandler handler) { Handlers()[mode] = std::move(handler); }

void SetReqGBolHandler(ReqGBolHandler handler) { ReqGBol() = std::move(handler); }

void LogIgnoredParameters() {
  for (int i = 1; i <= ParamCount(); ++i) {
    const std::optional<std::string> written = SwitchWithoutValue(ParamStr(i));
    if (!written) Loga(fmt::format(kNotASwitchLine, i));
    else if (!IsKnownSwitch(std::string_view(*written).substr(1)))
      Loga(kUnknownSwitchLine + Shown(Utf8ToCp1252Lossy(*written)));
  }
}

RunResult RunSelectedMode(const ModeSelection& selection) {
  // Another mode would run for real what was asked to be only checked or tried.
  if (selection.mode != RunMode::Import) {
    for (const char* kind : {"checkonly", "dryrun"}) {
      if (!TemParam(kind)) continue;
      const std::string mode = selection.mode == RunMode::Desktop ? "the desktop" : "-" + std::string(SwitchOf(selection.mode));
      Loga(fmt::format(kImportKindRefused, kind, mode, kImportKindOnlyWithImport));
      return {kImportKindOnlyWithImport, ExitKind::Other};
    }
  }
  // A run that writes nothing asks for no bulletin either.
  const bool writesNothing = TemParam("checkonly") || TemParam("dryrun");
  if (selection.reqgbol && writesNothing) Loga(kReqGBolIgnored);
  if (selection.reqgbol && !writesNothing) {
    // Such a value still asks for priority 0, which registers none; the line makes the slip visible.
    if (!selection.reqgbolPriorityValid) Loga(fmt::format(kReqGBolValueWarning, Shown(selection.reqgbolValue)));
    if (ReqGBol()) ReqGBol()(selection.reqgbolPriority, "[/reqgbol]");
  }
  auto it = Handlers().find(selection.mode);
  if (it != Handlers().end() && it->second) return it->second(selection);
  std::string name = selection.mode == RunMode::Desktop ? "desktop" : SwitchOf(selection.mode);
  Loga("ZorInput mode " + name + " is not available in this build erro:" + std::to_string(kModeNotAvailable));
  return {kModeNotAvailable, ExitKind::Other};
}

}  // namespace zi::app
