#include "desktop/core/mdi_child.h"

#include <exception>

#include "db/sql_errors.h"
#include "desktop/core/window_kinds.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"

namespace zi::desktop {

namespace {

TSaveQuestion& SaveQuestion() {
  static TSaveQuestion question;
  return question;
}

const char* ResultName(int result) {
  switch (result) {
    case kMrYes: return "(mrYes)";
    case kMrNo: return "(mrNo)";
    case kMrCancel: return "(mrCancel)";
    default: return "";
  }
}

}  // namespace

void SetSaveQuestion(TSaveQuestion question) { SaveQuestion() = std::move(question); }

int ShowSaveDialog(bool hasDataError) { return SaveQuestion() ? SaveQuestion()(hasDataError) : kMrCancel; }

std::string SaveDialogDebugLine(const std::string& className, int result, bool hasDataError) {
  return className + " SavDlg res:" + std::to_string(result) + ResultName(result) + " HasDataError:" +
         (hasDataError ? "Y" : "N");
}

void tMdiChild::SetView(tMdiChildView* view) {
  view_ = view;
  SetFormView(view);
}

void tMdiChild::SetCurObj(const tObjHierEx& object) {
  if (state_ != kCreated) FatalRunError250(std::string(ClassName()) + " SetCurObj state:" + std::to_string(state_));
  curObj_ = object;
  try {
    ObjDataLoad();
  } catch (const EDBException& e) {
    LoadFailedBy(e);
    db::ShowSqlErrorTxt(std::string(ClassName()) + ".ObjDataLoad", e.ErrorCode());
  } catch (const std::exception& e) {
    LoadFailedBy(e);
    ShowErrorBox("Error", e.what());
  }
  state_ = kLoaded;
}

void tMdiChild::LoadFailedBy(const std::exception& e) {
  Loga(std::string(ClassName()) + " ObjDataLoad error " + e.what());
  SetLoadFailed();
}

int tMdiChild::CurObjId() const { return ObjIdAtLevel(MdiType(), curObj_); }

void tMdiChild::MarkChanged() {
  if (state_ == kCreated) FatalRunError250(std::string(ClassName()) + " MarkChanged state:0");
  if (state_ == kChanged || loadFailed_) return;
  state_ = kChanged;
  SetUndoEnabled(true);
}

void tMdiChild::MarkUnchanged() {
  if (state_ == kCreated) FatalRunError250(std::string(ClassName()) + " MarkUnchanged state:0");
  state_ = kLoaded;
  SetUndoEnabled(false);
}

bool tMdiChild::ConfirmClose() {
  if (loadFailed_ || !HasDataChanged()) return true;
  const bool hasError = HasDataError();
  const int result = ShowSaveDialog(hasError);
  LogaDebug(SaveDialogDebugLine(ClassName(), result, hasError));
  // Closing the question by any other way than its buttons is resuming the edit: nothing is lost.
  if (result == kMrNo) return true;
  if (result != kMrYes) return false;
  bool saved = false;
  try {
    saved = ObjDataSave();
  } catch (const std::exception& e) {
    Loga(std::string(ClassName()) + " ObjDataSave error " + e.what());
  }
  if (!saved) ShowErrorBox("Error", kSaveErrorText);
  return saved;
}

void tMdiChild::ButUndoClick() {
  LogaDebug(std::string(ClassName()) + " ButUndoClick");
  ObjDataUndo();
  state_ = kLoaded;
  SetUndoEnabled(false);
}

void tMdiChild::CreateToolPanel(bool withUndo) {
  if (hasToolPanel_) FatalRunError250(std::string(ClassName()) + " CreateToolPanel twice");
  hasToolPanel_ = true;
  hasUndoButton_ = withUndo;
  if (view_) view_->CreateToolPanel(withUndo);
}

void tMdiChild::SetUndoEnabled(bool enabled) {
  if (!hasUndoButton_) return;
  undoEnabled_ = enabled;
  if (view_) view_->SetUndoEnabled(enabled);
}

void tMdiChild::ObjDataLoad() { LogaDebug(std::string(ClassName()) + " ObjDataLoad CurObj:" + std::to_string(CurObjId())); }
void tMdiChild::ObjDataUndo() { LogaDebug(std::string(ClassName()) + " ObjDataUndo"); }
bool tMdiChild::ObjDataSave() {
  LogaDebug(std::string(ClassName()) + " ObjDataSave");
  return true;
}

}  // namespace zi::desktop
