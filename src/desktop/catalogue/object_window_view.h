#pragma once
// The company window's widget: the owner-drawn list of the company, its classes and series, the
// selected object's details beside it, and the window's buttons in the tool panel.

#include <QListWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "desktop/core/catalogue/object_window.h"
#include "desktop/forms.h"

class QPushButton;

namespace zi::desktop {

// Where the company window gets its forms: the Qt forms unless another source is installed (a
// test's scripted forms); an empty factory restores the Qt forms.
using TObjectFormsFactory = std::function<std::unique_ptr<tObjectForms>()>;
void SetObjectFormsFactory(TObjectFormsFactory factory);
// The forms of a company window shown in parent's window.
std::unique_ptr<tObjectForms> FormsForObjectWindow(QWidget* parent);

// The details of the selected object, painted from the lines the window read when it was selected.
class tObjDetailPanel : public QWidget {
 public:
  tObjDetailPanel(QWidget* parent, const tObjWin& window);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const tObjWin& window_;
};

class tObjWinView : public tDocWidget, public tObjListView {
 public:
  tObjWinView(QWidget* parent, QWidget* toolbar, std::unique_ptr<tObjectForms> forms);
  ~tObjWinView() override;

  tObjWin& Window() { return *window_; }
  QListWidget* List() const { return list_; }
  tObjDetailPanel* DetailPanel() const { return detail_; }
  const std::vector<QPushButton*>& ToolButtons() const { return buttons_; }

  void CreateToolPanel(bool withUndo) override;
  void ShowLines() override;
  bool ListHasFocus() const override;
  void FocusList() override;

 private:
  class tList;
  class tDelegate;

  tObjWin* window_;
  QListWidget* list_;
  tObjDetailPanel* detail_;
  std::vector<QPushButton*> buttons_;
};

}  // namespace zi::desktop
