#include "app/msgqq_modes.h"

#include "app/import_mode.h"

#include <fmt/format.h>

#include "import_client/message_senders.h"
#include "session/zi_globs.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"

namespace zi::app {

namespace {

constexpr const char* kBadValueLine = "ZorInput mode {} value \"{}\" is not {} erro:{}";
constexpr const char* kMsgQQForm = "object id,auxiliary id,file";
constexpr const char* kMsgQQCodeForm = "object id,[auxiliary id,]file";

// A value that would run with ids nobody gave must not run at all.
RunResult RefuseValue(const ModeSelection& selection, const char* form) {
  std::string shown = PathText(selection.value);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  Loga(fmt::format(kBadValueLine, SwitchOf(selection.mode), shown, form, kMsgQQModeValueInvalid));
  return {kMsgQQModeValueInvalid, ExitKind::Other};
}

RunResult ResultOf(int code) {
  if (code == 0) return {0, ExitKind::Ok};
  if (code == kCliLoginFailed && CliLoginCode() != 0) return {code, ExitKind::LoginFailed};
  return {code, ExitKind::Other};
}

}  // namespace

RunResult RunMsgQQMode(const ModeSelection& selection) {
  const std::optional<MsgQQArgs> args = ParseMsgQQ(selection.value);
  if (!args) return RefuseValue(selection, kMsgQQForm);
  return ResultOf(PoeMsgQQNoDataLog(args->objectId, args->auxiliaryId, args->file, true));
}

RunResult RunMsgQQCodeMode(const ModeSelection& selection) {
  const std::optional<MsgQQArgs> args = ParseMsgQQCode(selection.value);
  if (!args) return RefuseValue(selection, kMsgQQCodeForm);
  TImportEncoding encoding = TImportEncoding::Unchosen;
  if (const int code = ImportEncodingSwitch(encoding)) return {code, ExitKind::Other};
  return ResultOf(MandaMsgQQCodeDumArquivo(args->kind, args->objectId, args->auxiliaryId, args->file, encoding));
}

}  // namespace zi::app
