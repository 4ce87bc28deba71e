#include "desktop/catalogue/company_picker_view.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "desktop/core/ui_port.h"
#include "desktop/country_badges.h"
#include "desktop/forms.h"
#include "desktop/text_fields.h"

namespace zi::desktop {

namespace {

// No company name is longer, and a ticker or registry number is shorter.
constexpr int kMaxSearchText = 50;
constexpr int kRightMargin = 22;
constexpr int kStatusWidth = 14;
constexpr int kTextPadding = 2;
constexpr int kBadgeGap = 4;
constexpr int kMinRowHeight = kBadgeHeight + 4;

struct TPickerHolder {
  CompanyPickerController picker;
  QPointer<TWinNewObj> window;
};

TPickerHolder& Holder() {
  static TPickerHolder holder;
  return holder;
}

TWinNewObj& Picker(QWidget* parent) {
  TPickerHolder& holder = Holder();
  if (!holder.window) {
    holder.window = new TWinNewObj(parent, holder.picker);
  } else if (holder.window->parentWidget() != parent) {
    holder.window->setParent(parent, holder.window->windowFlags());
  }
  return *holder.window;
}

int At(const QRect& rect, int percent) { return rect.left() + rect.width() * percent / 100; }

QRect Column(const QRect& rect, int left, int right) {
  return QRect(left + kTextPadding, rect.top(), std::max(0, right - left - kTextPadding), rect.height());
}

}  // namespace

TPickerDelegate::TPickerDelegate(const CompanyPickerController& picker, QObject* parent)
    : QStyledItemDelegate(parent), picker_(picker) {}

TPickerRowPaint TPickerDelegate::LayOut(const TPickerRow& row, const QRect& rect, const QPalette& palette,
                                        bool selected) {
  const QColor text = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
  const QColor grey(kPickerGrey);
  const QColor series = row.serieInativa ? QColor(selected ? kInactiveGold : kInactiveRed) : text;
  const int end = rect.right() + 1;
  TPickerRowPaint paint;
  paint.hasBadge = !row.empresaRepetida;
  paint.badge = QRect(rect.left() + kTextPadding, rect.top() + (rect.height() - kBadgeHeight) / 2, kBadgeWidth,
                      kBadgeHeight);
  const int companyText = rect.left() + kBadgeWidth + kBadgeGap;
  paint.cells = {
      {Column(rect, companyText, At(rect, 35)), ToQt(row.empresa), row.empresaRepetida ? grey : text},
      {Column(rect, At(rect, 35), At(rect, 50)), ToQt(row.classe), row.classeRepetida ? grey : text},
      {Column(rect, At(rect, 50), At(rect, 70)), ToQt(row.ticker), series},
      {Column(rect, At(rect, 70), end - kRightMargin), ToQt(row.bolsa), series},
      {Column(rect, end - kStatusWidth, end), ToQt(row.status), text},
  };
  return paint;
}

void TPickerDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  CallGuarded("TWinNewObj.DrawItem", [&] {
    const int i = index.row();
    if (i < 0 || i >= static_cast<int>(picker_.rows().size())) return;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(option.rect, option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
    const TPickerRow& row = picker_.rows()[static_cast<size_t>(i)];
    const TPickerRowPaint paint = LayOut(row, option.rect, option.palette, selected);
    if (paint.hasBadge) painter->drawPixmap(paint.badge, CountryBadge(row.object.EmpPais));
    for (const TPickerCell& cell : paint.cells) {
      if (cell.text.isEmpty()) continue;
      painter->setPen(cell.colour);
      painter->drawText(cell.rect, Qt::AlignLeft | Qt::AlignVCenter,
                        option.fontMetrics.elidedText(cell.text, Qt::ElideRight, cell.rect.width()));
    }
    painter->restore();
  });
}

QSize TPickerDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const QSize size = QStyledItemDelegate::sizeHint(option, index);
  return QSize(size.width(), std::max({size.height(), option.fontMetrics.height() + 4, kMinRowHeight}));
}

TPickerModel::TPickerModel(const CompanyPickerController& picker, QObject* parent)
    : QAbstractListModel(parent), picker_(picker) {}

int TPickerModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(picker_.rows().size());
}

// The text of a row for keyboard search and accessibility; the delegate draws the columns.
QVariant TPickerModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  const TPickerRow& row = picker_.rows()[static_cast<size_t>(index.row())];
  std::string text = row.empresa;
  for (const std::string* part : {&row.classe, &row.ticker, &row.bolsa})
    if (!part->empty()) text += "  " + *part;
  return ToQt(text);
}

void TPickerModel::Refresh() {
  beginResetModel();
  endResetModel();
}

tWinNewObjParams::tWinNewObjParams(QWidget* parent, TRunSearch run)
    : QDialog(parent),
      run_(std::move(run)),
      edText_(new QLineEdit(this)),
      cbMyCountry_(new QCheckBox("Show &only companies and exchanges of my country", this)),
      okay_(new QPushButton("Okay", this)) {
  setWindowTitle("Company Selection Parameters");
  setModal(true);
  LimitText(edText_, kMaxSearchText);
  auto* searchFor = new QLabel("Search for", this);
  searchFor->setBuddy(edText_);
  auto* in = new QGroupBox("in", this);
  auto* inLayout = new QVBoxLayout(in);
  for (const char* caption : {"Company &Names", "&Tickers", "Ticker e&xact", "Company names &and tickers"}) {
    onde_.push_back(new QRadioButton(caption, in));
    inLayout->addWidget(onde_.back());
  }
  auto* cancel = new QPushButton("Cancel", this);
  okay_->setDefault(true);
  connect(okay_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okay_);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(searchFor);
  layout->addWidget(edText_);
  layout->addWidget(in);
  layout->addWidget(cbMyCountry_);
  layout->addLayout(buttons);
  Fill(TBuscaDeEmp{});
}

void tWinNewObjParams::Fill(const TBuscaDeEmp& criteria) {
  FillText(edText_, criteria.texto);
  OndeButton(criteria.onde)->setChecked(true);
  cbMyCountry_->setChecked(criteria.soMeuPais);
  edText_->selectAll();
  edText_->setFocus();
}

TBuscaDeEmp tWinNewObjParams::Criteria() const {
  TBuscaDeEmp criteria{.texto = TextOf(edText_), .soMeuPais = cbMyCountry_->isChecked()};
  for (size_t i = 0; i < onde_.size(); ++i)
    if (onde_[i]->isChecked()) criteria.onde = static_cast<TOndeBuscar>(i);
  return criteria;
}

QRadioButton* tWinNewObjParams::OndeButton(TOndeBuscar onde) const { return onde_.at(static_cast<size_t>(onde)); }

void tWinNewObjParams::accept() {
  CallGuarded("tWinNewObjParams.Okay", [this] {
    if (run_(Criteria())) QDialog::accept();
  });
}

TWinNewObj::TWinNewObj(QWidget* parent, CompanyPickerController& picker)
    : QDialog(parent),
      picker_(picker),
      model_(new TPickerModel(picker, this)),
      list_(new QListView(this)),
      description_(new QLabel(this)),
      okay_(new QPushButton("Okay", this)),
      cancel_(new QPushButton("Cancel", this)) {
  setWindowTitle("Companies / Tickers");
  setModal(true);
  list_->setModel(model_);
  list_->setItemDelegate(new TPickerDelegate(picker, list_));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setUniformItemSizes(true);
  connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { picker_.select(current.row()); });
  connect(list_, &QListView::doubleClicked, this, [this] { accept(); });
  auto* criteria = new QGroupBox("Search criteria ( F2 to change )", this);
  auto* criteriaLayout = new QVBoxLayout(criteria);
  // Room for two lines: a long search text wraps the description.
  description_->setWordWrap(true);
  description_->setMinimumHeight(2 * description_->fontMetrics().lineSpacing());
  criteriaLayout->addWidget(description_);
  auto* note = new QLabel("T = ZorInput    i = Zor Internal", this);
  okay_->setDefault(true);
  connect(okay_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  auto* f2 = new QShortcut(QKeySequence(Qt::Key_F2), this);
  connect(f2, &QShortcut::activated, this, [this] { CallGuarded("TWinNewObj.F2", [this] { EditSearch(); }); });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(note);
  buttons->addStretch(1);
  buttons->addWidget(okay_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addWidget(criteria);
  layout->addLayout(buttons);
  // Wide enough for a long company name in its 35 % column, badge included.
  resize(780, 420);
  ShowSearch();
}

bool TWinNewObj::Pick(tObjHierEx& object) {
  switch (picker_.showing()) {
    case TPickerShowing::OpenSearch:
      // Once the picker is up, so that the search dialog opens over it.
      QTimer::singleShot(0, this, [this] { CallGuarded("TWinNewObj.FirstPaint", [this] { EditSearch(); }); });
      break;
    case TPickerShowing::RerunSearch: picker_.rerun(); break;
    case TPickerShowing::Nothing: break;
  }
  ShowSearch();
  list_->setFocus();
  if (exec() != QDialog::Accepted) return false;
  return picker_.pick(picker_.selected(), object);
}

void TWinNewObj::EditSearch() {
  tWinNewObjParams params(this, [this](const TBuscaDeEmp& criteria) { return RunSearch(criteria); });
  params.Fill(picker_.lastAsked());
  params.exec();
}

bool TWinNewObj::RunSearch(const TBuscaDeEmp& criteria) {
  const bool ran = picker_.search(criteria) == 0;
  if (ran) ShowSearch();
  return ran;
}

void TWinNewObj::ShowSearch() {
  model_->Refresh();
  if (picker_.selected() >= 0) list_->setCurrentIndex(model_->index(picker_.selected()));
  description_->setText(ToQt(picker_.describe()));
}

void TWinNewObj::accept() {
  if (picker_.selected() < 0) {
    Beep();
    return;
  }
  QDialog::accept();
}

QString TWinNewObj::Description() const { return description_->text(); }

bool PickCompany(QWidget* parent, tObjHierEx& object) {
  bool picked = false;
  CallGuarded("TWinNewObj.Pick", [&] {
    TWinNewObj& picker = Picker(parent);
    // Already shown further down the stack: one picker per process.
    if (picker.isVisible()) {
      Beep();
      return;
    }
    picked = picker.Pick(object);
  });
  return picked;
}

void RearmCompanyPicker() { Holder().picker.rearm(); }

void DropCompanyPicker() {
  TPickerHolder& holder = Holder();
  delete holder.window.data();
  holder.picker = CompanyPickerController{};
}

TWinNewObj* CompanyPickerWindow() { return Holder().window.data(); }

}  // namespace zi::desktop
