#include "desktop/core/marketdata/news_window.h"

#include "db/sql_errors.h"
#include "desktop/core/ui_port.h"
#include "toolbox/dates.h"
#include "toolbox/platform.h"

namespace zi::desktop {

namespace {

constexpr const char* kDeleteCaption = "Delete";
constexpr const char* kDeleteQuestion = "Delete this item?";

TDayNumber Today() {
  const platform::LocalTime now = platform::Now();
  return DayNumberFromDate({now.year, now.month, now.day}).value_or(kNoDate);
}

}  // namespace

tNwsWin::tNwsWin(std::unique_ptr<tNwsForms> forms) : tListWin("NwsDaEmpAbrv"), forms_(std::move(forms)) {}

int tNwsWin::LoadList() { return list_.Load(CurObjId()); }

int tNwsWin::ReloadList() { return list_.Load(list_.Emp()); }

bool tNwsWin::HasSelection() const {
  return !LoadFailed() && list_.Selected() >= 0 && list_.Selected() < list_.RowCount();
}

bool tNwsWin::DoAdd() {
  if (LoadFailed() || !forms_) {
    Beep();
    return false;
  }
  TNwsDialog dialog(list_.NewItem(Today()), true);
  return Write(dialog, true);
}

// The item is read again, for the editor to start from what the server holds now.
bool tNwsWin::DoEdit() {
  if (!HasSelection() || !forms_) {
    Beep();
    return false;
  }
  tNws item;
  if (const int code = DbNwsGet(list_.Item(list_.Selected()).id, item)) {
    db::ShowSqlErrorTxt("NwsGet", code);
    return true;
  }
  TNwsDialog dialog(item, false);
  return Write(dialog, false);
}

// The dialog shows until the write succeeds or the user cancels; a failed write shows the server's
// box and the dialog again with what the user entered.
bool tNwsWin::Write(TNwsDialog& dialog, bool isNew) {
  const int code = EditUntilSaved([&] { return forms_->EditNews(dialog); },
                                  [&](std::string& where) {
                                    tNws item = dialog.Record();
                                    where = isNew ? "NwsAdd" : "NwsPut";
                                    return isNew ? DbNwsAdd(item) : DbNwsPut(item);
                                  });
  return code != kEditCancelled;
}

bool tNwsWin::DoDelete() {
  if (!HasSelection()) {
    Beep();
    return false;
  }
  if (!AskYesNo(kDeleteCaption, kDeleteQuestion)) return false;
  if (const int code = DbNwsDel(list_.Item(list_.Selected()).id)) db::ShowSqlErrorTxt("NwsDel", code);
  return true;
}

std::string EditorNewsText(const std::string& stored) {
  std::string text;
  text.reserve(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    if (stored[i] == '\r') {
      text += '\n';
      if (i + 1 < stored.size() && stored[i + 1] == '\n') ++i;
    } else {
      text += stored[i];
    }
  }
  return text;
}

std::string StoredNewsText(const std::string& edited) {
  std::string text;
  text.reserve(edited.size() + edited.size() / 16);
  for (size_t i = 0; i < edited.size(); ++i) {
    if (edited[i] == '\r' || edited[i] == '\n') {
      text += "\r\n";
      if (edited[i] == '\r' && i + 1 < edited.size() && edited[i + 1] == '\n') ++i;
    } else {
      text += edited[i];
    }
  }
  return text;
}

}  // namespace zi::desktop
