#pragma once
// The corporate-action window (kind 3): the actions of the current series as description lines,
// with an empty last line for adding. Insert adds before the selected line, Enter edits it and
// Delete deletes it after a question; each writes at once through the edit dialog.

#include <memory>
#include <string>

#include "desktop/core/marketdata/list_window.h"
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

class tPrvWin : public tListWin {
 public:
  // Without forms adding and editing do nothing: the window still lists and deletes.
  explicit tPrvWin(std::unique_ptr<tPrvForms> forms);
  const char* ClassName() const override { return "tPrvWin"; }
  int MdiType() const override { return kKindCorporateActions; }

  const TPrvListModel& List() const { return list_; }
  void Select(int row) { list_.Select(row); }

 protected:
  int LoadList() override;
  // The selection stays at its index, as far as the list still reaches.
  int ReloadList() override;
  // A new action at the selected line, dated between the line above and the selected one.
  bool DoAdd() override;
  // The selected action; the empty line beeps.
  bool DoEdit() override;
  // The selected action, after the question; the empty line beeps, an action without a key is
  // refused with a box.
  bool DoDelete() override;

 private:
  bool Write(TPrvDialog& dialog, bool isNew);

  std::unique_ptr<tPrvForms> forms_;
  TPrvListModel list_;
};

// The dialog's instructions for a type: its description and the fields that fill it in.
std::string PrvInstructions(int tipo);

}  // namespace zi::desktop
