#pragma once
// The news window (kind 4): the current company's news items in their one-line form. Insert adds an
// item dated today, Enter reads the selected item again and edits it, Delete deletes it after a
// question; each writes at once through the edit dialog.

#include <memory>
#include <string>

#include "desktop/core/marketdata/list_window.h"
#include "marketdata/news_list.h"

namespace zi::desktop {

inline constexpr int kKindNews = 4;

// The port through which the window shows its edit dialog: true on Okay, with the dialog's fields
// as entered and checked; false on Cancel.
class tNwsForms {
 public:
  virtual ~tNwsForms() = default;
  virtual bool EditNews(TNwsDialog& dialog) = 0;
};

class tNwsWin : public tListWin {
 public:
  // Without forms adding and editing do nothing: the window still lists and deletes.
  explicit tNwsWin(std::unique_ptr<tNwsForms> forms);
  const char* ClassName() const override { return "tNwsWin"; }
  int MdiType() const override { return kKindNews; }

  TNwsListModel& List() { return list_; }
  // -1: none.
  void Select(int row) { list_.Select(row); }
  void SetTop(int row) { list_.SetTop(row); }

 protected:
  int LoadList() override;
  // The top line and the selection are kept where they still exist.
  int ReloadList() override;
  bool DoAdd() override;
  bool DoEdit() override;
  bool DoDelete() override;

 private:
  bool Write(TNwsDialog& dialog, bool isNew);
  bool HasSelection() const;

  std::unique_ptr<tNwsForms> forms_;
  TNwsListModel list_;
};

// The stored text (lines joined by CR LF) as the editor shows it (lines joined by LF), and back: a
// lone CR or LF of the editor's becomes CR LF, so what is shown is what is stored.
std::string EditorNewsText(const std::string& stored);
std::string StoredNewsText(const std::string& edited);

}  // namespace zi::desktop
