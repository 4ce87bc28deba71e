#include "desktop/marketdata/list_window_view.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <string>

namespace zi::desktop {

bool HandListKey(tListWin& window, const QKeyEvent& event) {
  const TKey key = KeyOf(event.key(), event.modifiers());
  if (key != TKey::Enter && key != TKey::Insert && key != TKey::Delete) return false;
  bool handled = false;
  CallGuarded((std::string(window.ClassName()) + ".ShortCut").c_str(),
              [&] { handled = window.HandleShortCut({key, true}); });
  return handled;
}

tListWinView::tListWinView(std::unique_ptr<tListWin> window, QWidget* parent, QWidget* toolbar)
    : tDocWidget(std::move(window), parent, toolbar), window_(static_cast<tListWin&>(Child())) {
  window_.SetListView(this);
}

tListWinView::~tListWinView() { window_.SetListView(nullptr); }

void tListWinView::PlaceList(QAbstractItemView* list) {
  list_ = list;
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
  connect(list_, &QAbstractItemView::doubleClicked, this, [this] {
    CallGuarded((std::string(window_.ClassName()) + ".DblClick").c_str(), [this] { window_.Edit(); });
  });
  window_.CreateToolPanel(false);
}

bool tListWinView::ListHasFocus() const { return list_->hasFocus(); }

}  // namespace zi::desktop
