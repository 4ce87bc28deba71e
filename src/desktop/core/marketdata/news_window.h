#pragma once
// The news window (kind 4): the current company's news items in their one-line form. Insert adds an
// item dated today, Enter (or a double click) reads the selected item again and edits it, Delete
// deletes it after a question. Every action writes at once through the edit dialog, so the window
// never holds unsaved changes.

#include <memory>
#include <string>

#include "desktop/core/mdi_child.h"
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

class tNwsListView {
 public:
  virtual ~tNwsListView() = default;
  // The lines, the top line or the selection changed: draw them again.
  virtual void ShowLines() = 0;
  virtual bool ListHasFocus() const = 0;
};

class tNwsWin : public tMdiChild {
 public:
  // Without forms adding and editing do nothing: the window still lists and deletes.
  explicit tNwsWin(std::unique_ptr<tNwsForms> forms);
  const char* ClassName() const override { return "tNwsWin"; }
  int MdiType() const override { return kKindNews; }
  // Insert, Enter and Delete while the list has the focus.
  bool HandleShortCut(const TKeyMessage& message) override;

  void SetListView(tNwsListView* view) { listView_ = view; }
  TNwsListModel& List() { return list_; }
  // -1: none.
  void Select(int row) { list_.Select(row); }
  void SetTop(int row) { list_.SetTop(row); }

  void Add();
  void Edit();
  void Delete();

 protected:
  void ObjDataLoad() override;

 private:
  void Run(const char* name, bool (tNwsWin::*action)());
  bool DoAdd();
  bool DoEdit();
  bool DoDelete();
  bool Write(TNwsDialog& dialog, bool isNew);
  bool HasSelection() const;
  void Reload();

  std::unique_ptr<tNwsForms> forms_;
  tNwsListView* listView_ = nullptr;
  TNwsListModel list_;
};

// The stored text (lines joined by CR LF) as the editor shows it (lines joined by LF), and back: a
// lone CR or LF of the editor's becomes CR LF, so what is shown is what is stored.
std::string EditorNewsText(const std::string& stored);
std::string StoredNewsText(const std::string& edited);

}  // namespace zi::desktop
