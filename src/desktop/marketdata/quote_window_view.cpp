#include "desktop/marketdata/quote_window_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "desktop/core/window_kinds.h"
#include "desktop/text_fields.h"
#include "toolbox/display_formats.h"

namespace zi::desktop {

namespace {

constexpr int kRowHeight = 17;
constexpr int kColumnPad = 16;
constexpr int kDateChars = 10;
constexpr const char* kWidestValue = "99,999,999.99";
// The date of a day every regional order shows at full width.
constexpr TCalendarDate kWidestDate{2028, 12, 28};

}  // namespace

tQuoteRangeDialog::tQuoteRangeDialog(QWidget* parent, TOkay okay)
    : QDialog(parent),
      onOkay_(std::move(okay)),
      endingIn_(new QRadioButton(kRangeModeEndingIn, this)),
      fromFirst_(new QRadioButton(kRangeModeFromFirst, this)),
      date_(new QLineEdit(this)),
      okay_(new QPushButton("Okay", this)),
      cancel_(new QPushButton("Cancel", this)) {
  setWindowTitle(kRangeCaption);
  LimitText(date_, kDateChars);
  date_->setFixedWidth(date_->fontMetrics().horizontalAdvance(ToQt(ShownDate(kWidestDate))) + kColumnPad);
  okay_->setDefault(true);
  auto* choices = new QGridLayout;
  choices->addWidget(endingIn_, 0, 0);
  choices->addWidget(date_, 0, 1);
  choices->addWidget(fromFirst_, 1, 0, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okay_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(choices);
  layout->addLayout(buttons);
  connect(endingIn_, &QRadioButton::toggled, this, [this] { EnableDate(); });
  connect(okay_, &QPushButton::clicked, this, [this] { CallGuarded("TCotWin.RangeOkay", [this] { Okay(); }); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void tQuoteRangeDialog::Fill(TQuoteRangeMode mode, TDayNumber date) {
  const QSignalBlocker blockEnding(endingIn_);
  const QSignalBlocker blockFirst(fromFirst_);
  (mode == TQuoteRangeMode::kEndingIn ? endingIn_ : fromFirst_)->setChecked(true);
  FillText(date_, ShownDay(date));
  EnableDate();
}

void tQuoteRangeDialog::EnableDate() { date_->setEnabled(endingIn_->isChecked()); }

void tQuoteRangeDialog::Okay() {
  const TQuoteRangeMode mode = endingIn_->isChecked() ? TQuoteRangeMode::kEndingIn : TQuoteRangeMode::kFromFirstQuote;
  if (onOkay_(mode, FromQt(date_->text()))) accept();
}

TCotWinView::TCotWinView(QWidget* parent, QWidget* toolbar)
    : tDocWidget(std::make_unique<TCotWin>(), parent, toolbar),
      window_(static_cast<TCotWin*>(&Child())),
      range_(new QLabel(this)),
      rangeButton_(new QPushButton("...", this)),
      grid_(new TMyGrid(this, *window_, [this](int col, int row) { return window_->CellText(col, row); })) {
  setWindowTitle(KindTitle(kKindQuotes));
  rangeButton_->setToolTip(kRangeCaption);
  rangeButton_->setFixedWidth(rangeButton_->fontMetrics().horizontalAdvance("...") + kColumnPad);
  grid_->SetCellColour([this](int, int row) { return window_->RowColour(row); });
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setMinimumSectionSize(kRowHeight);
  grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  auto* panel = new QHBoxLayout;
  panel->addWidget(range_);
  panel->addWidget(rangeButton_);
  panel->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(panel);
  layout->addWidget(grid_, 1);
  connect(rangeButton_, &QPushButton::clicked, this, [this] { CallGuarded("TCotWin.Range", [this] { ChooseRange(); }); });
  window_->SetQuoteView(this);
  window_->AttachGrid(grid_);
  window_->CreateToolPanel(true);
}

TCotWinView::~TCotWinView() { window_->SetQuoteView(nullptr); }

void TCotWinView::ShowRange() {
  range_->setText(ToQt(window_->RangeText()));
  grid_->Reset(window_->Rows(), kQuoteColumns);
  grid_->SetHeaders(window_->Headers());
  const QFontMetrics metrics = grid_->fontMetrics();
  grid_->setColumnWidth(0, metrics.horizontalAdvance(ToQt(ShownDate(kWidestDate))) + kColumnPad);
  const int valueWidth = metrics.horizontalAdvance(kWidestValue) + kColumnPad;
  for (int col = 1; col < kQuoteColumns; ++col) grid_->setColumnWidth(col, valueWidth);
  const int cursor = window_->CursorRow();
  if (cursor < 0) return;
  const QModelIndex index = grid_->model()->index(cursor, 1);
  grid_->setCurrentIndex(index);
  grid_->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void TCotWinView::ShowRow(int) { grid_->Repaint(); }

void TCotWinView::ChooseRange() {
  tQuoteRangeDialog dialog(window(), [this](TQuoteRangeMode mode, const std::string& date) {
    return window_->ApplyRange(mode, date) != TCotWin::TRangeAnswer::kRefused;
  });
  const TQuoteSession& session = QuoteSession();
  dialog.Fill(session.mode, session.endDate.IsNoDate() ? Today() : session.endDate);
  dialog_ = &dialog;
  dialog.exec();
  dialog_ = nullptr;
}

}  // namespace zi::desktop
