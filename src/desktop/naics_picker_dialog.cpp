#include "desktop/naics_picker_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "desktop/forms.h"

namespace zi::desktop {

namespace {

constexpr int kCodeRole = Qt::UserRole;
constexpr int kTitleRole = Qt::UserRole + 1;

}  // namespace

// Draws a row's code and, (level + 2) digit widths further right, its title, so that the titles of
// a level line up whatever the width of their codes' digits.
class tNaicsRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  int level = 1;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    item.text.clear();
    const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
    // The margin Qt's own item views leave before a text, lest the code touch the list's frame.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, item.widget) + 1;
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget).adjusted(margin, 0, 0, 0);
    const int titleColumn = (level + 2) * item.fontMetrics.horizontalAdvance(QLatin1Char('0'));
    painter->save();
    painter->setPen(
        item.palette.color(item.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, index.data(kCodeRole).toString());
    painter->drawText(text.adjusted(titleColumn, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      index.data(kTitleRole).toString());
    painter->restore();
  }
};

tZiPickSicCod::tZiPickSicCod(QWidget* parent, int codigo)
    : QDialog(parent),
      model_(codigo),
      codigo_(codigo),
      delegate_(new tNaicsRowDelegate(this)),
      list_(new QListWidget(this)),
      up_(new QPushButton("Detalhe", this)),
      down_(new QPushButton("Detalhe", this)),
      ok_(new QPushButton("OK", this)),
      cancel_(new QPushButton("Cancel", this)) {
  setWindowTitle("Codigos NAICS");
  list_->setItemDelegate(delegate_);
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  up_->setToolTip("Voltar ao nivel anterior");
  up_->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
  up_->setAutoDefault(false);
  down_->setToolTip("Mostras as subdivisoes desse item");
  down_->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
  down_->setAutoDefault(false);
  ok_->setDefault(true);
  cancel_->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(up_);
  buttons->addWidget(down_);
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  resize(560, 420);

  // The selection, not the current row: the list makes its first row current on taking the focus,
  // and that must not choose a code.
  connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
    CallGuarded("tZiPickSicCod.Select", [this] {
      const QList<QListWidgetItem*> selected = list_->selectedItems();
      model_.Seleciona(selected.isEmpty() ? -1 : list_->row(selected.front()));
      down_->setEnabled(model_.PodeDescer());
    });
  });
  connect(up_, &QPushButton::clicked, this, [this] { CallGuarded("tZiPickSicCod.Up", [this] { Go(false); }); });
  connect(down_, &QPushButton::clicked, this, [this] { CallGuarded("tZiPickSicCod.Down", [this] { Go(true); }); });
  connect(ok_, &QPushButton::clicked, this, [this] { CallGuarded("tZiPickSicCod.OK", [this] { accept(); }); });
  connect(cancel_, &QPushButton::clicked, this, [this] { CallGuarded("tZiPickSicCod.Cancel", [this] { reject(); }); });
  Refill();
}

int tZiPickSicCod::Codigo() const { return model_.Escolhido(codigo_); }

void tZiPickSicCod::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Only now has the list its height, so only now can the code it opened at be scrolled into view.
  CallGuarded("tZiPickSicCod.Show", [this] {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (!selected.isEmpty()) list_->scrollToItem(selected.front());
  });
}

void tZiPickSicCod::Refill() {
  const QSignalBlocker blocker(list_);
  list_->clear();
  delegate_->level = model_.Nivel();
  for (int row = 0; row < model_.Linhas(); ++row) {
    const QString code = QString::number(model_.Codigo(row));
    const QString title = ToQt(model_.Titulo(row));
    auto* item = new QListWidgetItem(code + ' ' + title, list_);
    item->setData(kCodeRole, code);
    item->setData(kTitleRole, title);
  }
  list_->setCurrentRow(model_.Selecionada());
  if (model_.Selecionada() < 0) list_->clearSelection();
  list_->doItemsLayout();
  list_->verticalScrollBar()->setValue(model_.Rolagem());
  up_->setEnabled(model_.PodeSubir());
  down_->setEnabled(model_.PodeDescer());
}

void tZiPickSicCod::Go(bool down) {
  model_.Rola(list_->verticalScrollBar()->value());
  if (down ? model_.Desce() : model_.Sobe()) Refill();
  list_->setFocus();
}

bool PickNaics(QWidget* parent, int& code) {
  bool chosen = false;
  CallGuarded("PickNaics", [&] {
    tZiPickSicCod picker(parent, code);
    if (picker.exec() != QDialog::Accepted) return;
    code = picker.Codigo();
    chosen = true;
  });
  return chosen;
}

}  // namespace zi::desktop
