#include "desktop/core/marketdata/list_window.h"

#include <exception>
#include <string>

#include "db/sql_errors.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"

namespace zi::desktop {

void tListWin::ObjDataLoad() {
  tMdiChild::ObjDataLoad();
  if (const int code = LoadList()) {
    SetLoadFailed();
    db::ShowSqlErrorTxt(listProc_, code);
  }
  ShowLines();
}

bool tListWin::HandleShortCut(const TKeyMessage& message) {
  if (!listView_ || !listView_->ListHasFocus()) return false;
  switch (message.key) {
    case TKey::Insert: Add(); return true;
    case TKey::Enter: Edit(); return true;
    case TKey::Delete: Delete(); return true;
    default: return false;
  }
}

void tListWin::Add() { Run("Add", &tListWin::DoAdd); }
void tListWin::Edit() { Run("Edit", &tListWin::DoEdit); }
void tListWin::Delete() { Run("Delete", &tListWin::DoDelete); }

void tListWin::Run(const char* name, bool (tListWin::*action)()) {
  LogaDebug(std::string(ClassName()) + " " + name);
  bool changed = false;
  try {
    changed = (this->*action)();
  } catch (const std::exception& e) {
    Loga(std::string(ClassName()) + "." + name + " error " + e.what());
    ShowErrorBox("Error", e.what());
    changed = true;
  }
  if (changed) Reload();
}

void tListWin::Reload() {
  if (const int code = ReloadList()) db::ShowSqlErrorTxt(listProc_, code);
  ShowLines();
}

void tListWin::ShowLines() {
  if (listView_) listView_->ShowLines();
}

}  // namespace zi::desktop
