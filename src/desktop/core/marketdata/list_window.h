#pragma once
// A window that lists rows of the current object and edits them one at a time: Insert adds, Enter
// (or a double click) edits the selected row, Delete deletes it. Every action writes at once, so
// the window never holds unsaved changes; after anything that may have written, the list is read
// again.

#include "desktop/core/mdi_child.h"

namespace zi::desktop {

// What a list window asks of its view beyond the framework's.
class tListView {
 public:
  virtual ~tListView() = default;
  // The lines or what the window keeps of the view (selection, top line) changed: draw them again.
  virtual void ShowLines() = 0;
  virtual bool ListHasFocus() const = 0;
};

class tListWin : public tMdiChild {
 public:
  // Insert, Enter and Delete while the list has the focus.
  bool HandleShortCut(const TKeyMessage& message) override;

  void SetListView(tListView* view) { listView_ = view; }

  void Add();
  void Edit();
  void Delete();

 protected:
  // listProc: the procedure that reads the list, named in the server's error box when it fails.
  explicit tListWin(const char* listProc) : listProc_(listProc) {}

  // A list that cannot be read leaves the window load-failed.
  void ObjDataLoad() override;

  // The first reading, at the load, and each one after a change; both return the server's code.
  virtual int LoadList() = 0;
  virtual int ReloadList() = 0;
  // Each returns whether it may have changed the stored rows.
  virtual bool DoAdd() = 0;
  virtual bool DoEdit() = 0;
  virtual bool DoDelete() = 0;

 private:
  // Runs an action: an exception is logged and shown, and counts as a possible change.
  void Run(const char* name, bool (tListWin::*action)());
  void Reload();
  void ShowLines();

  const char* listProc_;
  tListView* listView_ = nullptr;
};

}  // namespace zi::desktop
