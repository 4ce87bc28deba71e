#include "desktop/catalogue/share_base_window_view.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QBrush>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>
#include <utility>

#include "desktop/catalogue/table_editor.h"
#include "session/builtin_tables.h"
#include "session/session.h"
#include "toolbox/display_formats.h"

namespace zi::desktop {

namespace {

constexpr int kMinColumnWidth = 110;

QColor ColourOf(uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

// The dialogs the window opens, over the window that is active.
TBacWinHooks WithQtHooks(TBacWinHooks hooks) {
  if (!hooks.chooseDate) {
    hooks.chooseDate = []() -> std::optional<std::string> {
      const QDate today = QDate::currentDate();
      bool okay = false;
      const QString text = QInputDialog::getText(QApplication::activeWindow(), kChooseDateCaption, "Date:",
                                                 QLineEdit::Normal,
                                                 ToQt(ShownDate({today.year(), today.month(), today.day()})), &okay);
      if (!okay) return std::nullopt;
      return FromQt(text);
    };
  }
  if (!hooks.editClasses) hooks.editClasses = [] { OpenTableEditor(QApplication::activeWindow(), "Classes", "Classes"); };
  return hooks;
}

}  // namespace

// The classes by date and slot: the class texts in the row headings, the dates and slot labels
// in the column headings, each cell in its status's colour.
class tBacWinView::tModel : public QAbstractTableModel {
 public:
  explicit tModel(TBacWin& window) : window_(window) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(window_.Rows().size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(window_.Columns().size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) return ToQt(window_.Cell(index.row(), index.column()).text);
    if (role == Qt::ForegroundRole) return QBrush(ColourOf(window_.Cell(index.row(), index.column()).colour));
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Vertical) {
      if (section < 0 || section >= rowCount({})) return {};
      const TBacRow& row = window_.Rows()[static_cast<size_t>(section)];
      if (role == Qt::DisplayRole) return ToQt(row.text);
      if (role == Qt::ForegroundRole) return QBrush(ColourOf(row.colour));
      return {};
    }
    if (section < 0 || section >= columnCount({}) || role != Qt::DisplayRole) return {};
    const TBacColumn& column = window_.Columns()[static_cast<size_t>(section)];
    return ToQt(ShownDay(column.date) + "\n" + BacSlotLabel(column.slot, ZiGlobs().lingua));
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (window_.RowEditable(index.row()) && !window_.LoadFailed()) flags |= Qt::ItemIsEditable;
    return flags;
  }
  // A refused text leaves the cell showing what the slot holds.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (!index.isValid() || role != Qt::EditRole) return false;
    TBacEdit result = TBacEdit::kBeep;
    CallGuarded("TBacWin.Edit",
                [&] { result = window_.Edit(index.row(), index.column(), FromQt(value.toString())); });
    return result == TBacEdit::kTaken;
  }

  // Rows or columns came or went: all is read again; else every cell and heading is repainted.
  void Refresh() {
    if (rows_ != window_.Rows().size() || cols_ != window_.Columns().size() || ids_ != RowIds()) {
      beginResetModel();
      rows_ = window_.Rows().size();
      cols_ = window_.Columns().size();
      ids_ = RowIds();
      endResetModel();
      return;
    }
    if (rows_ == 0 || cols_ == 0) return;
    emit dataChanged(index(0, 0), index(static_cast<int>(rows_) - 1, static_cast<int>(cols_) - 1));
    emit headerDataChanged(Qt::Vertical, 0, static_cast<int>(rows_) - 1);
  }

 private:
  std::vector<int> RowIds() const {
    std::vector<int> ids;
    for (const TBacRow& row : window_.Rows()) ids.push_back(row.idClass);
    return ids;
  }

  TBacWin& window_;
  size_t rows_ = 0;
  size_t cols_ = 0;
  std::vector<int> ids_;
};

tBacWinView::tBacWinView(QWidget* parent, QWidget* toolbar) : tBacWinView(parent, toolbar, {}) {}

tBacWinView::tBacWinView(QWidget* parent, QWidget* toolbar, TBacWinHooks hooks)
    : tDocWidget(std::make_unique<TBacWin>(WithQtHooks(std::move(hooks))), parent, toolbar),
      window_(static_cast<TBacWin*>(&Child())),
      new_(new QPushButton(kNewShareBaseCaption, this)),
      units_(new QComboBox(this)),
      decimals_(new QComboBox(this)),
      p1f_(new QCheckBox(kP1FCaption, this)),
      grid_(new QTableView(this)),
      model_(std::make_unique<tModel>(*window_)) {
  setWindowTitle(kShareBaseTitle);
  window_->SetBacView(this);
  new_->setAutoDefault(false);
  auto* choices = new QHBoxLayout;
  choices->addWidget(new_);
  for (const int source : window_->SourceButtons()) {
    auto* button = new QPushButton(ToQt(NomeDaFonte(source)), this);
    button->setCheckable(true);
    button->setAutoDefault(false);
    choices->addWidget(button);
    sources_.push_back(button);
    connect(button, &QPushButton::clicked, this, [this, source] {
      CallGuarded("TBacWin.Source", [this, source] { window_->SetSource(source); });
      ShowChoices();
    });
  }
  for (const char* unit : kUnitCaptions) units_->addItem(unit);
  for (int decimals = 0; decimals <= kMaxBacDecimals; ++decimals) decimals_->addItem(QString::number(decimals));
  choices->addWidget(units_);
  choices->addWidget(new QLabel(kDecimalsCaption, this));
  choices->addWidget(decimals_);
  choices->addWidget(p1f_);
  choices->addStretch();
  p1f_->setVisible(window_->P1FVisible());
  grid_->setModel(model_.get());
  grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed |
                         QAbstractItemView::EditKeyPressed);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  grid_->horizontalHeader()->setMinimumSectionSize(kMinColumnWidth);
  grid_->horizontalHeader()->setDefaultSectionSize(kMinColumnWidth);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(choices);
  layout->addWidget(grid_, 1);
  connect(new_, &QPushButton::clicked, this, [this] { CallGuarded("TBacWin.New", [this] { window_->NewShareBase(); }); });
  connect(units_, &QComboBox::activated, this,
          [this](int index) { CallGuarded("TBacWin.Unit", [this, index] { window_->SetUnit(index); }); });
  connect(decimals_, &QComboBox::activated, this,
          [this](int index) { CallGuarded("TBacWin.Decimals", [this, index] { window_->SetDecimals(index); }); });
  connect(p1f_, &QCheckBox::clicked, this,
          [this](bool checked) { CallGuarded("TBacWin.P1F", [this, checked] { window_->SetP1F(checked); }); });
  window_->CreateToolPanel(true);
  ShowChoices();
}

tBacWinView::~tBacWinView() {
  window_->SetBacView(nullptr);
  grid_->setModel(nullptr);
}

void tBacWinView::ShowShareBases() {
  model_->Refresh();
  ShowChoices();
}

// The choices show the window's: a refused change of source leaves the old button down.
void tBacWinView::ShowChoices() {
  const std::vector<int> sources = window_->SourceButtons();
  for (size_t i = 0; i < sources_.size() && i < sources.size(); ++i) sources_[i]->setChecked(sources[i] == window_->Source());
  units_->setCurrentIndex(window_->UnitIndex());
  decimals_->setCurrentIndex(window_->Decimals());
  p1f_->setChecked(window_->P1F());
}

}  // namespace zi::desktop
