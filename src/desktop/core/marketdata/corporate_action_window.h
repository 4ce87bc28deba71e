#pragma once
// The corporate-action window (kind 3): the actions of the current series as description lines,
// with an empty last line for adding. Insert adds before the selected line, Enter (or a double
// click) edits it and Delete deletes it after a question. Every action writes at once through the
// edit dialog, so the window never holds unsaved changes.

#include <memory>
#include <string>

#include "desktop/core/mdi_child.h"
#include "marketdata/corporate_action_list.h"

namespace zi::desktop {

inline constexpr int kKindCorporateActions = 3;
inline constexpr const char* kPrvNoKeyText = "This corporate action has no key: it cannot be deleted alone.";

// The port through which the window shows its edit dialog: true on Okay, with the dialog's fields
// as entered and checked; false on Cancel.
class tPrvForms {
 public:
  virtual ~tPrvForms() = default;
  virtual bool EditAction(TPrvDialog& dialog) = 0;
};

// What the window asks of its view beyond the framework's.
class tPrvListView {
 public:
  virtual ~tPrvListView() = default;
  // The lines or the selection changed: draw them again.
  virtual void ShowLines() = 0;
  virtual bool ListHasFocus() const = 0;
};

class tPrvWin : public tMdiChild {
 public:
  // Without forms adding and editing do nothing: the window still lists and deletes.
  explicit tPrvWin(std::unique_ptr<tPrvForms> forms);
  const char* ClassName() const override { return "tPrvWin"; }
  int MdiType() const override { return kKindCorporateActions; }
  // Insert, Enter and Delete while the list has the focus.
  bool HandleShortCut(const TKeyMessage& message) override;

  void SetListView(tPrvListView* view) { listView_ = view; }
  const TPrvListModel& List() const { return list_; }
  void Select(int row) { list_.Select(row); }

  // A new action at the selected line, dated between the line above and the selected one.
  void Add();
  // The selected action; the empty line beeps.
  void Edit();
  // The selected action, after the question; the empty line beeps, an action without a key is
  // refused with a box.
  void Delete();

 protected:
  void ObjDataLoad() override;

 private:
  // Runs an action: an exception is logged and shown, and the list is read again after anything
  // that may have written.
  void Run(const char* name, bool (tPrvWin::*action)());
  // Each returns whether it may have changed the stored actions.
  bool DoAdd();
  bool DoEdit();
  bool DoDelete();
  bool Write(TPrvDialog& dialog, bool isNew);
  void Reload();

  std::unique_ptr<tPrvForms> forms_;
  tPrvListView* listView_ = nullptr;
  TPrvListModel list_;
};

// The dialog's instructions for a type: its description and the fields that fill it in.
std::string PrvInstructions(int tipo);

}  // namespace zi::desktop
