#include "app/run_modes.h"

#include <array>
#include <charconv>
#include <climits>
#include <map>

#include "toolbox/log.h"
#include "toolbox/switches.h"

namespace zi::app {

namespace {

// The order of the table is the order in which the switches are tested.
constexpr std::array<std::pair<RunMode, const char*>, 11> kModeSwitches{{
    {RunMode::Import, "import"},
    {RunMode::PfImport, "pfimport"},
    {RunMode::RImport, "rimport"},
    {RunMode::MsgQQ, "msgqq"},
    {RunMode::MsgQQCode, "msgqqcode"},
    {RunMode::ReqGBolAlone, "reqgbol"},
    {RunMode::ExportaBacComStatus, "exportabaccomstatus"},
    {RunMode::ExportaBacSemStatus, "exportabacsemstatus"},
    {RunMode::ContasQueNaoFecham, "contasquenaofecham"},
    {RunMode::ExportaCac, "exportacac"},
    {RunMode::ExportaCotacoes, "exportacotacoes"},
}};

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
  for (const auto& [m, name] : kModeSwitches)
    if (m == mode) return name;
  return "";
}

ModeSelection SelectRunMode() {
  ModeSelection selection;
  std::string value;
  if (PegaParam("reqgbol", value)) {
    selection.reqgbol = true;
    auto priority = ParseInt(value);
    selection.reqgbolPriority = (priority && *priority >= 0 && *priority <= 9) ? *priority : 0;
  }
  for (const auto& [mode, name] : kModeSwitches) {
    if (PegaParam(name, value)) {
      selection.mode = mode;
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

RunResult RunSelectedMode(const ModeSelection& selection) {
  if (selection.reqgbol) {
    if (ReqGBol()) ReqGBol()(selection.reqgbolPriority, "[/reqgbol]");
  }
  auto it = Handlers().find(selection.mode);
  if (it != Handlers().end() && it->second) return it->second(selection);
  std::string name = selection.mode == RunMode::Desktop ? "desktop" : SwitchOf(selection.mode);
  Loga("ZorInput mode " + name + " is not available in this build erro:" + std::to_string(kModeNotAvailable));
  return {kModeNotAvailable, ExitKind::Other};
}

}  // namespace zi::app
