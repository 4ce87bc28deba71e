#pragma once
// The list windows' widget: one list fills the window, hands Insert, Enter and Delete to the
// window, and edits its line on a double click.

#include <QWidget>
#include <memory>

#include "desktop/core/marketdata/list_window.h"
#include "desktop/forms.h"

class QAbstractItemView;
class QKeyEvent;

namespace zi::desktop {

// Whether the window took the key (Insert, Enter or Delete while its list has the focus).
bool HandListKey(tListWin& window, const QKeyEvent& event);

// A list widget (TBase: QListWidget, QListView) whose Insert, Enter and Delete go to its window.
template <typename TBase>
class tShortCutList : public TBase {
 public:
  tShortCutList(QWidget* parent, tListWin& window) : TBase(parent), window_(window) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (!HandListKey(window_, *event)) TBase::keyPressEvent(event);
  }

 private:
  tListWin& window_;
};

class tListWinView : public tDocWidget, public tListView {
 public:
  ~tListWinView() override;

  bool ListHasFocus() const override;

 protected:
  tListWinView(std::unique_ptr<tListWin> window, QWidget* parent, QWidget* toolbar);
  // Last in the derived view's constructor: the list fills the window, and the tool panel (without
  // an undo button: nothing is ever left unsaved) is made.
  void PlaceList(QAbstractItemView* list);

 private:
  tListWin& window_;
  QAbstractItemView* list_ = nullptr;
};

}  // namespace zi::desktop
