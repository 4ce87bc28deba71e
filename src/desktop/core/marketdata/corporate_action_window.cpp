#include "desktop/core/marketdata/corporate_action_window.h"

#include <string>
#include <vector>

#include "db/sql_errors.h"
#include "desktop/core/ui_port.h"
#include "marketdata/corporate_action_calls.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/text.h"

namespace zi::desktop {

namespace {

constexpr const char* kDeleteCaption = "Delete";

}  // namespace

tPrvWin::tPrvWin(std::unique_ptr<tPrvForms> forms) : tListWin("PrvDaAnbV2"), forms_(std::move(forms)) {}

int tPrvWin::LoadList() {
  // The types' characteristics are opened once per window; the dialog does not need them, so a
  // failure is only logged.
  std::vector<TOcoCaracs> types;
  if (const int code = DbOcoCaracsV2(types)) Loga("tPrvWin OcoCaracsV2 error " + std::to_string(code));
  const int code = list_.Load(CurObjId());
  if (!list_.CurrencyError().empty()) ShowErrorBox("Error", list_.CurrencyError());
  return code;
}

int tPrvWin::ReloadList() { return list_.Reload(); }

bool tPrvWin::DoAdd() {
  if (LoadFailed() || !forms_) {
    Beep();
    return false;
  }
  tPrvento blank = BlankPrvento();
  blank.anb = list_.Anb();
  TPrvDialog dialog(blank, true, list_.DefaultCurrency(), list_.LowerBound(), list_.UpperBound());
  return Write(dialog, true);
}

bool tPrvWin::DoEdit() {
  if (LoadFailed() || !forms_ || list_.IsEmptyLine(list_.Selected())) {
    Beep();
    return false;
  }
  TPrvDialog dialog(list_.Action(list_.Selected()), false, list_.DefaultCurrency());
  return Write(dialog, false);
}

// The dialog shows until the write succeeds or the user cancels; a failed write shows the server's
// box and the dialog again with what the user entered. Anything but a cancel before any write may
// have changed the stored actions.
bool tPrvWin::Write(TPrvDialog& dialog, bool isNew) {
  const int code = EditUntilSaved([&] { return forms_->EditAction(dialog); },
                                  [&](std::string& where) {
                                    tPrvento prv = dialog.Record();
                                    prv.anb = list_.Anb();
                                    where = isNew ? "PrvAddV2" : "PrvPutV2";
                                    return isNew ? DbPrvAddV2(prv) : DbPrvPutV2(prv);
                                  });
  return code != kEditCancelled;
}

bool tPrvWin::DoDelete() {
  const int row = list_.Selected();
  if (LoadFailed() || list_.IsEmptyLine(row)) {
    Beep();
    return false;
  }
  const tPrvento& action = list_.Action(row);
  // The server deletes by key: an empty one would name every action without a key.
  if (Trim(action.chaveExterna).empty()) {
    ShowErrorBox(kPrvCaption, kPrvNoKeyText);
    return false;
  }
  if (!AskYesNo(kDeleteCaption, list_.DeleteQuestion(row))) return false;
  if (const int code = DbPrvDelV2(action.chaveExterna)) db::ShowSqlErrorTxt("PrvDelV2", code);
  return true;
}

std::string PrvInstructions(int tipo) {
  if (tipo < 0) return "Choose the type of the corporate action.";
  std::string text = PrvTemplate(tipo) + "\r\n";
  const TPrvUsage usage = PrvUsage(tipo);
  if (usage.currencyAndValue) text += "\r\nCurrency and Price fill in @V.";
  if (usage.quantity != TPrvQuantity::None)
    text += "\r\n" + std::string(PrvQuantityCaption(usage.quantity)) + " fills in @A.";
  if (!usage.currencyAndValue && usage.quantity == TPrvQuantity::None)
    text += "\r\nThis type takes no currency, price or quantity.";
  return text;
}

}  // namespace zi::desktop
