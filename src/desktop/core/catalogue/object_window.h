#pragma once
// The company window (kind 0): one company with its classes and series as a list, the selected
// object's details, and the actions that add, change, delete and resend them through the modal
// object forms. Every action writes at once, so the window never holds unsaved changes.

#include <memory>
#include <string>
#include <vector>

#include "catalogue/objects.h"
#include "desktop/core/catalogue/object_forms.h"
#include "desktop/core/mdi_child.h"

namespace zi::desktop {

inline constexpr int kKindObjects = 0;

// One line of the list: a company, a class or a series, with what the list draws beside its text.
struct TObjLine {
  int nivel = kNivelEmpresa;
  int id = 0;
  std::string texto;
  int pais = 0;              // a company line's country (its badge)
  std::string letraStatus;   // a series line's status letter, empty for status 0
  bool inativa = false;      // an inactive series
  bool operator==(const TObjLine&) const = default;
};

// One line of the detail panel: a grey label (a second label line for the long ones) and its
// value in black.
struct TDetailLine {
  std::string label;
  std::string value;
  std::string label2;
  bool operator==(const TDetailLine&) const = default;
};

// The buttons of the window's tool panel.
struct TObjToolButton {
  enum Action { kNewCompany, kResend };
  Action action;
  std::string caption;
  std::string hint;
};

// What the controller asks of its view beyond the framework's.
class tObjListView {
 public:
  virtual ~tObjListView() = default;
  // The lines, the selection or the details changed: draw them again.
  virtual void ShowLines() = 0;
  virtual bool ListHasFocus() const = 0;
  virtual void FocusList() = 0;
};

class tObjWin : public tMdiChild {
 public:
  // Without forms the edit actions do nothing: the window still lists and deletes.
  explicit tObjWin(std::unique_ptr<tObjectForms> forms);
  const char* ClassName() const override { return "tObjWin"; }
  int MdiType() const override { return kKindObjects; }
  // Enter changes, Insert adds a child, Delete deletes the selected object, while the list has the
  // focus.
  bool HandleShortCut(const TKeyMessage& message) override;

  void SetObjView(tObjListView* view) { objView_ = view; }
  std::vector<TObjToolButton> ToolButtons() const;

  const std::vector<TObjLine>& Lines() const { return lines_; }
  // -1 when the list is empty.
  int Selected() const { return selected_; }
  // Selects a line and reads its details, once per change of the selection.
  void Select(int index);
  const std::vector<TDetailLine>& Detail() const { return detail_; }
  // The load failed: the window shows nothing and is never saved.
  bool LoadFailed() const { return loadFailed_; }

  // The actions on the selected line.
  void Change();
  void AddChild();
  void Delete();
  void NewCompany();
  // Administrators only.
  void Resend();
  void RunTool(TObjToolButton::Action action);

 protected:
  void ObjDataLoad() override;

 private:
  enum class TResult { kNothing, kChanged, kFailed };

  int ReadLines();
  // False after a failure, shown in its box; the list is then empty.
  bool ReadLinesShowingFailures();
  void BuildDetail();
  void BuildIndicatorLines(int nivel, int id);
  // Runs an action: an exception is logged and shown, and counts as a change.
  void Run(const char* name, TResult (tObjWin::*action)());
  void AfterChange();

  TResult ChangeEmp(int id);
  TResult ChangeAtv(int id);
  TResult ChangeAnb(int id);
  TResult AddAtv(int emp);
  TResult AddAnb(int atv);
  TResult DoChange();
  TResult DoAddChild();
  TResult DoDelete();
  TResult DoNewCompany();
  TResult DoResend();

  std::unique_ptr<tObjectForms> forms_;
  tObjListView* objView_ = nullptr;
  int emp_ = 0;
  std::vector<tObjHierEx> rows_;
  std::vector<TObjLine> lines_;
  int selected_ = -1;
  std::vector<TDetailLine> detail_;
  bool loadFailed_ = false;
};

// "Are you sure you wanto to delete this Serie ?" and the resend question, by level.
std::string DeleteQuestion(int nivel);
std::string ResendQuestion(int nivel);

}  // namespace zi::desktop
