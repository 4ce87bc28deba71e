#pragma once
// The parts of the statement window's grid that Qt does not draw as the window wants: the four
// header lines above each statement column, the label column beside the lines, the cells' colours
// and fonts, and the status line under the grid.

#include <QHeaderView>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "desktop/core/statements/statement_window.h"

class QLabel;
class QPainter;

namespace zi::desktop {

inline constexpr int kMinShrunkPoints = 3;

// The narrow sans font of base's size.
QFont NarrowFont(const QFont& base);
// font, smaller one point at a time until text fits width (not below kMinShrunkPoints).
QFont ShrunkToFit(QFont font, const QString& text, int width);
// Paints one text in rect: its background, then the text in its colour and font.
void PaintText(QPainter* painter, const QRect& rect, const TStmCell& text, const QFont& font);

// The header lines of a statement column; col is the window's grid column (1 and up).
using THeaderLineOf = std::function<TStmCell(int col, int line)>;
// A right click on a statement column's header: the column and where the menu goes.
using THeaderMenu = std::function<void(int col, const QPoint& globalPos)>;

// Above the statement columns: four lines per column, and the column's popup on a right click.
class tBalHeaderView : public QHeaderView {
 public:
  // fixedCols: the window's columns left of the view's first column.
  tBalHeaderView(QWidget* parent, int fixedCols, THeaderLineOf lineOf, THeaderMenu menu);
  int LineHeight() const;

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  QSize sizeHint() const override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  int fixedCols_;
  THeaderLineOf lineOf_;
  THeaderMenu menu_;
};

// The label of a line; row is the window's grid row (the header rows before the first line).
using TLabelOf = std::function<TStmCell(int row)>;

// Beside the lines: the label column, as wide as the window asks.
class tBalLabelView : public QHeaderView {
 public:
  tBalLabelView(QWidget* parent, int fixedRows, TLabelOf labelOf);
  void SetWidth(int width);

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  QSize sizeHint() const override;

 private:
  int fixedRows_;
  TLabelOf labelOf_;
  int width_ = 0;
};

// The status line: up to kStmStatusPieces plain texts left to right, in red where the window says.
class tBalStatusLine : public QWidget {
 public:
  explicit tBalStatusLine(QWidget* parent);
  void Show(const std::vector<TStmStatusPiece>& pieces);
  QString Text(int piece) const;
  bool IsRed(int piece) const;

 private:
  std::array<QLabel*, kStmStatusPieces> pieces_{};
};

}  // namespace zi::desktop
