#pragma once
// The document window: one kind of window for one object, with the load, undo and save protocol
// and the save question asked before it closes.

#include <exception>
#include <functional>
#include <string>

#include "catalogue/objects.h"
#include "desktop/core/zi_form.h"

namespace zi::desktop {

// The keys the framework gives meaning to; the view translates its own key events.
enum class TKey { Other, F2, F3, Enter, Escape, Tab, Insert, Delete, F10, F11, F12, CtrlF10 };

struct TKeyMessage {
  TKey key = TKey::Other;
  // The form's focused control is its grid, or no control has the focus.
  bool gridOrNothingFocused = false;
  // A text field or a grid's in-place editor has the focus: the key is the editor's unless the
  // window takes it there (TakesKeyInEditor).
  bool editorFocused = false;
};

// What a document window's view does for the protocol.
class tMdiChildView : public tFormView {
 public:
  virtual void CreateToolPanel(bool withUndo) = 0;
  virtual void SetUndoEnabled(bool enabled) = 0;
};

// The save question: Yes (save), No (discard) or Cancel (resume editing); "Resume editing" has the
// focus when the window's data has errors. Installed by the desktop; without it the answer is
// Cancel, so that nothing is lost.
using TSaveQuestion = std::function<int(bool hasDataError)>;
void SetSaveQuestion(TSaveQuestion question);
int ShowSaveDialog(bool hasDataError);
// "<class> SavDlg res:6(mrYes) HasDataError:N"
std::string SaveDialogDebugLine(const std::string& className, int result, bool hasDataError);

inline constexpr const char* kSaveErrorText = "Error saving data! Resuming edit.";

class tMdiChild : public tZiForm {
 public:
  enum State { kCreated = 0, kLoaded = 1, kChanged = 2 };

  virtual int MdiType() const = 0;
  virtual bool HandleShortCut(const TKeyMessage&) { return false; }
  // Whether HandleShortCut gets this key while a text or cell editor has the focus.
  virtual bool TakesKeyInEditor(TKey) const { return false; }
  virtual bool HasDataChanged() const { return state_ == kChanged && !loadFailed_; }
  virtual bool HasDataError() const { return false; }

  void SetView(tMdiChildView* view);
  // Only once, in state 0: keeps the object and loads its data. A load that raises is logged and
  // shown, and leaves the window load-failed.
  void SetCurObj(const tObjHierEx& object);
  // What the window shows is not the stored data: it is never marked changed, never saved, and
  // closes without a question.
  // A later load that succeeds makes it the stored data again.
  void SetLoadFailed(bool failed = true) { loadFailed_ = failed; }
  bool LoadFailed() const { return loadFailed_; }
  const tObjHierEx& CurObj() const { return curObj_; }
  int CurObjId() const;
  int State() const { return state_; }

  void MarkChanged();
  // The window shows the stored data again (saved, or read again): state 1, the undo button off.
  void MarkUnchanged();
  // Whether the window may close: asks to save when it has unsaved changes. A failed save keeps it.
  bool ConfirmClose();
  void ButUndoClick();
  void CreateToolPanel(bool withUndo);
  bool HasToolPanel() const { return hasToolPanel_; }
  bool UndoEnabled() const { return undoEnabled_; }

 protected:
  virtual void ObjDataLoad();
  virtual void ObjDataUndo();
  virtual bool ObjDataSave();

 private:
  void SetUndoEnabled(bool enabled);
  void LoadFailedBy(const std::exception& e);

  tMdiChildView* view_ = nullptr;
  int state_ = kCreated;
  tObjHierEx curObj_;
  bool hasToolPanel_ = false;
  bool hasUndoButton_ = false;
  bool undoEnabled_ = false;
  bool loadFailed_ = false;
};

}  // namespace zi::desktop
