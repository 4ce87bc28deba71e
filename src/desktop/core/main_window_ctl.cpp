#include "desktop/core/main_window_ctl.h"

#include <algorithm>

#include "catalogue/call_support.h"
#include "catalogue/catalogue.h"
#include "db/connection.h"
#include "db/sql_errors.h"
#include "desktop/core/ui_port.h"
#include "desktop/core/window_kinds.h"
#include "session/reference_data.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/version.h"

namespace zi::desktop {

namespace {

constexpr const char* kReqGBolReason = "[zimain.ExecReqGBol]";

bool IsKindCode(int code) { return code >= kChooserKindBase && code < kChooserKindBase + kKindCount; }

}  // namespace

std::string MainCaption(const tMdiChild* window) {
  std::string caption = std::string("ZorInput ") + kVersionText;
  if (window) caption += std::string(" - ") + KindTitle(window->MdiType());
  return caption;
}

std::string CurObjText(const tObjHierEx& object) {
  if (object.EmpId == 0) return "No company selected";
  std::string text = object.EmpNome;
  if (object.AtvId == 0) return text;
  text += " - " + Listas().EnumClasses.TextoDoId(object.AtvIdClass, true);
  if (object.AnbId != 0) text += " - " + object.AnbCod + " : " + Listas().EnumBolsa.TextoDoId(object.AnbBolsa, true);
  return text;
}

TWinMainCtl::TWinMainCtl(tMainView& view, THooks hooks) : view_(view), hooks_(std::move(hooks)) {}

TWinMainCtl::~TWinMainCtl() = default;

void TWinMainCtl::LayOut() {
  view_.SetCaption(MainCaption(DocWindow()));
  if (doc_) view_.PlaceDocWindow(*doc_);
}

void TWinMainCtl::FirstActivate() {
  LayOut();
  hooks_.login();
  PasswordWarning();
}

// A cancelled login leaves the window without a connection; every action that needs one offers the
// login again rather than a restart.
bool TWinMainCtl::EnsureConnected() {
  if (hooks_.connected(true)) return true;
  if (!AskYesNo(kLogInCaption, kLogInQuestion, false)) return false;
  hooks_.login();
  if (!hooks_.connected(false)) return false;
  PasswordWarning();
  return true;
}

void TWinMainCtl::PickObject() {
  if (!EnsureConnected() || !hooks_.pickObject) return;
  tObjHierEx copy = curObj_;
  if (!hooks_.pickObject(copy)) return;
  if (SwitchTo(copy, chooserCode_)) view_.RepaintCurObj();
}

void TWinMainCtl::ChooseWindow() {
  if (!EnsureConnected()) return;
  const int code = hooks_.chooser();
  if (IsKindCode(code)) {
    if (SwitchTo(curObj_, code)) chooserCode_ = code;
  } else if (code == kChooserGenBgl) {
    ExecReqGBol();
  } else if (code != kMrCancel) {
    // Closed some other way (the title bar): as Cancel, but visible to support.
    LogaDebug("ZiNewWin.Main=" + std::to_string(code));
  }
}

bool TWinMainCtl::SwitchTo(const tObjHierEx& object, int chooserCode) {
  const bool valid = IsKindCode(chooserCode);
  const int kind = chooserCode - kChooserKindBase;
  bool accepted = true;
  if (doc_) {
    tMdiChild& window = doc_->Child();
    if (!valid || window.MdiType() != kind || ObjIdAtLevel(kind, object) != window.CurObjId())
      accepted = CloseDocWindow();
  }
  if (accepted && !doc_ && valid && (ObjIdAtLevel(kind, object) != 0 || OpensWithoutObject(kind))) {
    if (std::unique_ptr<tDocWindow> window = CreateDocWindow(kind)) {
      doc_ = std::move(window);
      LayOut();
      doc_->Child().SetCurObj(object);
    }
  }
  if (accepted) curObj_ = object;
  LayOut();
  return accepted;
}

bool TWinMainCtl::CloseDocWindow() {
  if (!doc_) return true;
  if (!doc_->Child().ConfirmClose()) return false;
  view_.DisposeDocWindow(std::move(doc_));
  return true;
}

void TWinMainCtl::CloseDocWindowUnasked(const std::string& why) {
  std::string line = why + ": the main window closes without asking";
  if (doc_ && doc_->Child().HasDataChanged())
    line += std::string("; the unsaved changes of ") + doc_->Child().ClassName() + " are lost";
  Loga(line);
  doc_.reset();
}

std::unique_ptr<tDocWindow> TWinMainCtl::CreateDocWindow(int kind) {
  if (kind < 0 || kind >= kKindCount) FatalRunError250("MW.CW mt:" + std::to_string(kind));
  if (kind == kKindImport && !hooks_.importAllowed()) {
    ShowErrorBox(kImportHintCaption, kImportHintText);
    return nullptr;
  }
  return hooks_.createWindow(kind);
}

void TWinMainCtl::ExecReqGBol() {
  if (!hooks_.askYesNo(kReqGBolCaption, kReqGBolQuestion)) return;
  if (!CloseDocWindow()) return;
  LayOut();
  hooks_.reqGBol(kReqGBolReason);
}

void TWinMainCtl::PasswordWarning() {
  if (!hooks_.connected(false)) return;
  int days = -1;
  if (const int code = hooks_.usrGetData(days); code != 0) {
    db::ShowSqlErrorTxt("dataset:UsrGetData", code);
    return;
  }
  if (days >= 0) ShowErrorBox("Warning", "Your password expires in " + std::to_string(days) + " days");
}

bool TWinMainCtl::HandleKey(const TKeyMessage& message) {
  if (message.key == TKey::F2) {
    PickObject();
    return true;
  }
  if (message.key == TKey::F3) {
    ChooseWindow();
    return true;
  }
  if (!doc_) return false;
  tMdiChild& window = doc_->Child();
  if (message.editorFocused && !window.TakesKeyInEditor(message.key)) return false;
  return window.HandleShortCut(message);
}

void TWinMainCtl::ObjectTreeChanged() {
  if (!hooks_.connected(false)) return;
  if (hooks_.objectTreeChanged) hooks_.objectTreeChanged();
  if (curObj_.EmpId == 0) return;
  std::vector<tObjHierEx> rows;
  const int code = hooks_.companyRows(curObj_.EmpId, rows);
  // Left as it was, the box would name an object that is gone and the next window would fail its load.
  tObjHierEx still;
  if (code == kEmpNaoEncontrada) {
    still = {};
  } else if (code != 0 || std::any_of(rows.begin(), rows.end(), [&](const tObjHierEx& row) {
               return row.AtvId == curObj_.AtvId && (curObj_.AnbId == 0 || row.AnbId == curObj_.AnbId);
             })) {
    return;
  } else {
    still = {.EmpId = curObj_.EmpId, .EmpNome = curObj_.EmpNome, .EmpPais = curObj_.EmpPais};
  }
  if (SwitchTo(still, chooserCode_)) view_.RepaintCurObj();
}

void TWinMainCtl::CompanyAdded(int companyId) {
  if (!hooks_.connected(false)) return;
  if (hooks_.objectTreeChanged) hooks_.objectTreeChanged();
  std::vector<tObjHierEx> rows;
  if (hooks_.companyRows(companyId, rows) != 0 || rows.empty()) return;
  if (SwitchTo(rows.front(), chooserCode_)) view_.RepaintCurObj();
}

void TWinMainCtl::TableEditorKey() {
  if (!hooks_.isAdmin || !hooks_.isAdmin() || !hooks_.openTableEditor) return;
  if (hooks_.dryRunOpen && hooks_.dryRunOpen()) {
    ShowErrorBox(kDryRunOpenCaption, kDryRunOpenText);
    return;
  }
  hooks_.openTableEditor();
}

int DbUsrGetData(int& daysToWarn) {
  return GuardedCall("UsrGetData", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "UsrGetData");
    if (!ds) return ds.Failure(kCallFailed);
    const int code = db::ZiDb().ExecStProc(*ds, 0);
    if (code == 0) daysToWarn = ds->ParamAsInteger("@lpcttlwarn");
    return code;
  });
}

}  // namespace zi::desktop
