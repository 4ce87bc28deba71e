#include "desktop/core/marketdata/corporate_action_window.h"

#include <exception>
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

tPrvWin::tPrvWin(std::unique_ptr<tPrvForms> forms) : forms_(std::move(forms)) {}

void tPrvWin::ObjDataLoad() {
  tMdiChild::ObjDataLoad();
  // The types' characteristics are opened once per window; the dialog does not need them, so a
  // failure is only logged.
  std::vector<TOcoCaracs> types;
  if (const int code = DbOcoCaracsV2(types)) Loga("tPrvWin OcoCaracsV2 error " + std::to_string(code));
  const int code = list_.Load(CurObjId());
  if (!list_.CurrencyError().empty()) ShowErrorBox("Error", list_.CurrencyError());
  if (code != 0) {
    SetLoadFailed();
    db::ShowSqlErrorTxt("PrvDaAnbV2", code);
  }
  if (listView_) listView_->ShowLines();
}

bool tPrvWin::HandleShortCut(const TKeyMessage& message) {
  if (!listView_ || !listView_->ListHasFocus()) return false;
  switch (message.key) {
    case TKey::Insert: Add(); return true;
    case TKey::Enter: Edit(); return true;
    case TKey::Delete: Delete(); return true;
    default: return false;
  }
}

void tPrvWin::Add() { Run("Add", &tPrvWin::DoAdd); }
void tPrvWin::Edit() { Run("Edit", &tPrvWin::DoEdit); }
void tPrvWin::Delete() { Run("Delete", &tPrvWin::DoDelete); }

void tPrvWin::Run(const char* name, bool (tPrvWin::*action)()) {
  LogaDebug(std::string(ClassName()) + " " + name);
  bool changed = false;
  try {
    changed = (this->*action)();
  } catch (const std::exception& e) {
    Loga(std::string("tPrvWin.") + name + " error " + e.what());
    ShowErrorBox("Error", e.what());
    changed = true;
  }
  if (changed) Reload();
}

// The list is read again; the selection stays at its index, as far as the list still reaches.
void tPrvWin::Reload() {
  if (const int code = list_.Reload()) db::ShowSqlErrorTxt("PrvDaAnbV2", code);
  if (listView_) listView_->ShowLines();
}

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
