#include "desktop/catalogue/object_window_view.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <algorithm>

#include "desktop/catalogue/object_forms_view.h"
#include "desktop/country_badges.h"
#include "desktop/core/window_kinds.h"

namespace zi::desktop {

namespace {

constexpr int kLineHeight = 18;
constexpr int kBadgeGap = 4;
constexpr int kStatusWidth = 14;
constexpr int kDetailMargin = 8;
constexpr int kDetailStep = 20;
constexpr int kDetailSecondLine = 14;
constexpr int kDetailColumnGap = 12;
constexpr int kListWidth = 320;
const QColor kLabelGrey(128, 128, 128);
const QColor kInactiveRed(192, 0, 0);
const QColor kInactiveSelectedGold(255, 215, 0);

TObjectFormsFactory& FormsFactory() {
  static TObjectFormsFactory factory;
  return factory;
}

}  // namespace

void SetObjectFormsFactory(TObjectFormsFactory factory) { FormsFactory() = std::move(factory); }
std::unique_ptr<tObjectForms> FormsForObjectWindow(QWidget* parent) {
  return FormsFactory() ? FormsFactory()() : CreateObjectForms(parent->window());
}

// Draws a line by its level: the company's country badge, the series' status letter at the right,
// an inactive series in red (gold on the selection's colour).
class tObjWinView::tDelegate : public QStyledItemDelegate {
 public:
  tDelegate(QObject* parent, const tObjWin& window) : QStyledItemDelegate(parent), window_(window) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const int row = index.row();
    if (row < 0 || row >= static_cast<int>(window_.Lines().size())) return;
    const TObjLine& line = window_.Lines()[static_cast<size_t>(row)];
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
    QColor text = selected ? option.palette.highlightedText().color() : option.palette.text().color();
    if (line.inativa) text = selected ? kInactiveSelectedGold : kInactiveRed;
    painter->setPen(text);
    QRect area = option.rect.adjusted(2, 0, -kStatusWidth, 0);
    const QString shown = ToQt(line.texto);
    if (line.nivel == kNivelEmpresa) {
      const QPixmap& badge = CountryBadge(line.pais);
      painter->drawPixmap(area.left(), area.top() + (area.height() - badge.height()) / 2, badge);
      area.setLeft(area.left() + badge.width() + kBadgeGap);
    }
    painter->drawText(area, Qt::AlignVCenter | Qt::AlignLeft, shown);
    if (!line.letraStatus.empty()) {
      const QRect status(option.rect.right() - kStatusWidth + 1, option.rect.top(), kStatusWidth, option.rect.height());
      painter->drawText(status, Qt::AlignCenter, ToQt(line.letraStatus));
    }
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index).expandedTo(QSize(0, kLineHeight));
  }

 private:
  const tObjWin& window_;
};

// The list hands Enter, Insert and Delete to the window when no main window took them first.
class tObjWinView::tList : public QListWidget {
 public:
  tList(QWidget* parent, tObjWin& window) : QListWidget(parent), window_(window) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const TKey key = KeyOf(event->key(), event->modifiers());
    if (key == TKey::Enter || key == TKey::Insert || key == TKey::Delete) {
      bool handled = false;
      CallGuarded("tObjWin.ShortCut", [&] { handled = window_.HandleShortCut({key, false}); });
      if (handled) return;
    }
    QListWidget::keyPressEvent(event);
  }

 private:
  tObjWin& window_;
};

tObjDetailPanel::tObjDetailPanel(QWidget* parent, const tObjWin& window) : QWidget(parent), window_(window) {
  setAutoFillBackground(true);
}

void tObjDetailPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFontMetrics metrics = painter.fontMetrics();
  int labelWidth = 0;
  for (const TDetailLine& line : window_.Detail()) {
    labelWidth = std::max({labelWidth, metrics.horizontalAdvance(ToQt(line.label)),
                           metrics.horizontalAdvance(ToQt(line.label2))});
  }
  const int valueX = kDetailMargin + labelWidth + kDetailColumnGap;
  int y = kDetailMargin + metrics.ascent();
  for (const TDetailLine& line : window_.Detail()) {
    painter.setPen(kLabelGrey);
    painter.drawText(kDetailMargin, y, ToQt(line.label));
    painter.setPen(Qt::black);
    painter.drawText(valueX, y, ToQt(line.value));
    if (!line.label2.empty()) {
      y += kDetailSecondLine;
      painter.setPen(kLabelGrey);
      painter.drawText(kDetailMargin, y, ToQt(line.label2));
    }
    y += kDetailStep;
  }
}

tObjWinView::tObjWinView(QWidget* parent, QWidget* toolbar, std::unique_ptr<tObjectForms> forms)
    : tDocWidget(std::make_unique<tObjWin>(std::move(forms)), parent, toolbar),
      window_(static_cast<tObjWin*>(&Child())),
      list_(new tList(this, *window_)),
      detail_(new tObjDetailPanel(this, *window_)) {
  setWindowTitle(KindTitle(kKindObjects));
  window_->SetObjView(this);
  list_->setItemDelegate(new tDelegate(list_, *window_));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setFixedWidth(kListWidth);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
  layout->addWidget(detail_, 1);
  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0) return;
    CallGuarded("tObjWin.Select", [this, row] { window_->Select(row); });
    detail_->update();
  });
  connect(list_, &QListWidget::itemDoubleClicked, this,
          [this] { CallGuarded("tObjWin.DblClick", [this] { window_->Change(); }); });
  window_->CreateToolPanel(false);
}

tObjWinView::~tObjWinView() { window_->SetObjView(nullptr); }

void tObjWinView::CreateToolPanel(bool withUndo) {
  tDocWidget::CreateToolPanel(withUndo);
  for (const TObjToolButton& tool : window_->ToolButtons()) {
    auto* button = new QPushButton(ToQt(tool.caption), ToolPanel());
    button->setToolTip(ToQt(tool.hint));
    button->setFocusPolicy(Qt::NoFocus);
    button->adjustSize();
    button->show();
    const TObjToolButton::Action action = tool.action;
    connect(button, &QPushButton::clicked, this,
            [this, action] { CallGuarded("tObjWin.Tool", [this, action] { window_->RunTool(action); }); });
    buttons_.push_back(button);
  }
  ArrangeToolPanel();
}

void tObjWinView::ShowLines() {
  const QSignalBlocker blocker(list_);
  list_->clear();
  for (const TObjLine& line : window_->Lines()) list_->addItem(ToQt(line.texto));
  list_->setCurrentRow(window_->Selected());
  detail_->update();
}

bool tObjWinView::ListHasFocus() const { return list_->hasFocus(); }

void tObjWinView::FocusList() { list_->setFocus(); }

}  // namespace zi::desktop
