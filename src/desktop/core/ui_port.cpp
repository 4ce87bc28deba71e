#include "desktop/core/ui_port.h"

#include "db/sql_errors.h"

namespace zi::desktop {

namespace {

TUiPort& Port() {
  static TUiPort port;
  return port;
}

}  // namespace

void SetUiPort(TUiPort port) { Port() = std::move(port); }

void Beep() {
  if (Port().beep) Port().beep();
}

bool AskYesNo(const std::string& caption, const std::string& text, bool noIsDefault) {
  return Port().askYesNo && Port().askYesNo(caption, text, noIsDefault);
}

int EditUntilSaved(const std::function<bool()>& showForm, const std::function<int(std::string& where)>& write) {
  int last = kEditCancelled;
  while (showForm()) {
    std::string where;
    last = write(where);
    if (last == 0) return 0;
    db::ShowSqlErrorTxt(where, last);
  }
  return last;
}

}  // namespace zi::desktop
