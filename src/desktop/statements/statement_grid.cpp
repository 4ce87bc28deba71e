#include "desktop/statements/statement_grid.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <algorithm>

#include "desktop/forms.h"

namespace zi::desktop {

namespace {

constexpr const char* kNarrowFamily = "Liberation Sans Narrow";
constexpr int kTextMargin = 2;
const QColor kGridLine(192, 192, 192);

QColor Rgb(uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

}  // namespace

QFont NarrowFont(const QFont& base) {
  QFont font = base;
  font.setFamily(kNarrowFamily);
  font.setStretch(QFont::Unstretched);
  return font;
}

QFont ShrunkToFit(QFont font, const QString& text, int width) {
  while (font.pointSize() > kMinShrunkPoints && QFontMetrics(font).horizontalAdvance(text) > width)
    font.setPointSize(font.pointSize() - 1);
  return font;
}

void PaintText(QPainter* painter, const QRect& rect, const TStmCell& text, const QFont& font) {
  painter->fillRect(rect, Rgb(text.background));
  if (text.text.empty()) return;
  const QRect area = rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
  const QString shown = ToQt(text.text);
  QFont drawn = text.narrow ? ShrunkToFit(NarrowFont(font), shown, area.width()) : font;
  drawn.setBold(text.bold);
  painter->setFont(drawn);
  painter->setPen(Rgb(text.colour));
  const Qt::Alignment horizontal = text.align == TStmCell::kCentre  ? Qt::AlignHCenter
                                   : text.align == TStmCell::kRight ? Qt::AlignRight
                                                                    : Qt::AlignLeft;
  painter->drawText(area, static_cast<int>(horizontal | Qt::AlignVCenter), shown);
}

tBalHeaderView::tBalHeaderView(QWidget* parent, int fixedCols, THeaderLineOf lineOf, THeaderMenu menu)
    : QHeaderView(Qt::Horizontal, parent), fixedCols_(fixedCols), lineOf_(std::move(lineOf)), menu_(std::move(menu)) {
  setSectionsClickable(false);
  setHighlightSections(false);
}

int tBalHeaderView::LineHeight() const { return fontMetrics().height() + 2; }

QSize tBalHeaderView::sizeHint() const {
  QSize size = QHeaderView::sizeHint();
  size.setHeight(kStmHeaderRows * LineHeight() + 1);
  return size;
}

void tBalHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  painter->save();
  const int height = LineHeight();
  for (int line = 0; line < kStmHeaderRows; ++line) {
    const QRect area(rect.left(), rect.top() + line * height, rect.width(), height);
    TStmCell text;
    CallGuarded("TBalWin.HeaderText", [&] { text = lineOf_(logicalIndex + fixedCols_, line); });
    PaintText(painter, area, text, font());
  }
  painter->setPen(kGridLine);
  painter->drawLine(rect.topRight(), rect.bottomRight());
  painter->drawLine(rect.bottomLeft(), rect.bottomRight());
  painter->restore();
}

void tBalHeaderView::contextMenuEvent(QContextMenuEvent* event) {
  const int section = logicalIndexAt(event->pos());
  if (section < 0 || !menu_) return;
  menu_(section + fixedCols_, event->globalPos());
  event->accept();
}

tBalLabelView::tBalLabelView(QWidget* parent, int fixedRows, TLabelOf labelOf)
    : QHeaderView(Qt::Vertical, parent), fixedRows_(fixedRows), labelOf_(std::move(labelOf)) {
  setSectionsClickable(false);
  setHighlightSections(false);
}

void tBalLabelView::SetWidth(int width) {
  width_ = width;
  updateGeometry();
  if (QWidget* view = parentWidget()) view->updateGeometry();
}

QSize tBalLabelView::sizeHint() const {
  QSize size = QHeaderView::sizeHint();
  if (width_ > 0) size.setWidth(width_);
  return size;
}

void tBalLabelView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  painter->save();
  TStmCell text;
  CallGuarded("TBalWin.Label", [&] { text = labelOf_(logicalIndex + fixedRows_); });
  PaintText(painter, rect, text, font());
  painter->setPen(kGridLine);
  painter->drawLine(rect.bottomLeft(), rect.bottomRight());
  painter->drawLine(rect.topRight(), rect.bottomRight());
  painter->restore();
}

tBalStatusLine::tBalStatusLine(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 1, 2, 1);
  layout->setSpacing(0);
  for (QLabel*& piece : pieces_) {
    piece = new QLabel(this);
    piece->setTextFormat(Qt::PlainText);
    layout->addWidget(piece);
  }
  layout->addStretch(1);
  setMinimumHeight(fontMetrics().height() + 4);
}

void tBalStatusLine::Show(const std::vector<TStmStatusPiece>& pieces) {
  for (size_t i = 0; i < pieces_.size(); ++i) {
    const bool used = i < pieces.size();
    pieces_[i]->setText(used ? ToQt(pieces[i].text) : QString());
    pieces_[i]->setStyleSheet(used && pieces[i].red ? "color: red" : "");
    pieces_[i]->setVisible(used && !pieces[i].text.empty());
  }
}

QString tBalStatusLine::Text(int piece) const {
  return piece >= 0 && piece < kStmStatusPieces ? pieces_[static_cast<size_t>(piece)]->text() : QString();
}

bool tBalStatusLine::IsRed(int piece) const {
  return piece >= 0 && piece < kStmStatusPieces && !pieces_[static_cast<size_t>(piece)]->styleSheet().isEmpty();
}

}  // namespace zi::desktop
