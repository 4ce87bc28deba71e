#include "desktop/marketdata/corporate_action_view.h"

#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "desktop/core/window_kinds.h"
#include "desktop/text_fields.h"
#include "session/reference_data.h"
#include "toolbox/message_box.h"

namespace zi::desktop {

namespace {

constexpr int kTypeRole = Qt::UserRole;
constexpr int kTypeListWidth = 460;
constexpr int kInstructionsHeight = 90;

class tPrvFormsView : public tPrvForms {
 public:
  explicit tPrvFormsView(QWidget* parent) : parent_(parent) {}
  bool EditAction(TPrvDialog& dialog) override {
    tPrvDialogView view(parent_, dialog);
    return view.exec() == QDialog::Accepted;
  }

 private:
  QWidget* parent_;
};

}  // namespace

std::unique_ptr<tPrvForms> CreatePrvForms(QWidget* parent) { return std::make_unique<tPrvFormsView>(parent); }

tPrvDialogView::tPrvDialogView(QWidget* parent, TPrvDialog& dialog)
    : QDialog(parent),
      dialog_(dialog),
      date_(new QLineEdit(this)),
      order_(new QLineEdit(this)),
      type_(new QComboBox(this)),
      currencyLabel_(new QLabel("Currency", this)),
      currency_(new QComboBox(this)),
      quantityLabel_(new QLabel(this)),
      quantity_(new QLineEdit(this)),
      priceLabel_(new QLabel("Price", this)),
      price_(new QLineEdit(this)),
      approval_(new QLineEdit(this)),
      payment_(new QLineEdit(this)),
      key_(new QLineEdit(this)),
      instructions_(new QPlainTextEdit(this)),
      okay_(new QPushButton("Okay", this)),
      cancel_(new QPushButton("Cancel", this)),
      currencies_(ItensDe(Listas().EnumMoeda)) {
  setWindowTitle(kPrvCaption);
  for (QLineEdit* field : {date_, order_, quantity_, price_, approval_, payment_, key_}) LimitText(field);
  // Headers are bold and can be neither selected nor reached by the keys.
  auto* types = new QStandardItemModel(type_);
  for (const TPrvTypeLine& line : PrvTypeLines()) {
    auto* item = new QStandardItem(ToQt(line.text));
    item->setData(line.tipo, kTypeRole);
    if (line.header) {
      QFont bold = item->font();
      bold.setBold(true);
      item->setFont(bold);
      item->setFlags(Qt::NoItemFlags);
      // In the text's colour, not greyed as a disabled line: a header reads as a title.
      item->setForeground(type_->palette().text());
    }
    types->appendRow(item);
  }
  type_->setModel(types);
  type_->setMinimumWidth(kTypeListWidth);
  type_->setMaxVisibleItems(20);
  for (const TPickItem& item : currencies_) currency_->addItem(ToQt(item.text));
  instructions_->setReadOnly(true);
  instructions_->setFocusPolicy(Qt::NoFocus);
  instructions_->setFixedHeight(kInstructionsHeight);

  auto* grid = new QGridLayout;
  int row = 0;
  auto add = [&](QLabel* label, QWidget* field) {
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row++, 1);
  };
  add(new QLabel("Date", this), date_);
  add(new QLabel("Order", this), order_);
  add(new QLabel("Type", this), type_);
  add(currencyLabel_, currency_);
  add(quantityLabel_, quantity_);
  add(priceLabel_, price_);
  add(new QLabel("Date of approval", this), approval_);
  add(new QLabel("Date of payment", this), payment_);
  add(new QLabel("Key", this), key_);
  add(new QLabel("Instructions", this), instructions_);
  grid->setColumnStretch(1, 1);
  okay_->setDefault(true);
  cancel_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okay_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);

  connect(type_, &QComboBox::currentIndexChanged, this,
          [this](int index) { CallGuarded("tPrvDialog.TypeChange", [this, index] { TypeChanged(index); }); });
  connect(okay_, &QPushButton::clicked, this, [this] { CallGuarded("tPrvDialog.Okay", [this] { OkayClicked(); }); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  Fill();
}

void tPrvDialogView::Fill() {
  FillText(date_, dialog_.date);
  FillText(order_, dialog_.order);
  FillText(quantity_, dialog_.quantity);
  FillText(price_, dialog_.price);
  FillText(approval_, dialog_.approval);
  FillText(payment_, dialog_.payment);
  FillText(key_, dialog_.key);
  typeIndex_ = dialog_.tipo < 0 ? -1 : type_->findData(dialog_.tipo, kTypeRole);
  FillIndex(type_, typeIndex_);
  FillIndex(currency_, IndiceDoId(currencies_, dialog_.moeda));
  ShowFieldsOfType();
}

// A header reached anyway (a programmatic change, a mouse release on it) gives way to the line
// shown before.
void tPrvDialogView::TypeChanged(int index) {
  const int tipo = index < 0 ? -1 : type_->itemData(index, kTypeRole).toInt();
  if (index >= 0 && tipo < 0) {
    FillIndex(type_, typeIndex_);
    return;
  }
  typeIndex_ = index;
  dialog_.tipo = tipo;
  ShowFieldsOfType();
}

void tPrvDialogView::ShowFieldsOfType() {
  const bool money = dialog_.ShowsCurrencyAndPrice();
  const bool quantity = dialog_.ShowsQuantity();
  currencyLabel_->setVisible(money);
  currency_->setVisible(money);
  priceLabel_->setVisible(money);
  price_->setVisible(money);
  quantityLabel_->setText(ToQt(dialog_.QuantityCaption()));
  quantityLabel_->setVisible(quantity);
  quantity_->setVisible(quantity);
  instructions_->setPlainText(ToQt(PrvInstructions(dialog_.tipo)).replace("\r\n", "\n"));
}

void tPrvDialogView::Read() {
  dialog_.date = TextOf(date_);
  dialog_.order = TextOf(order_);
  dialog_.quantity = TextOf(quantity_);
  dialog_.price = TextOf(price_);
  dialog_.approval = TextOf(approval_);
  dialog_.payment = TextOf(payment_);
  dialog_.key = TextOf(key_);
  const int currency = currency_->currentIndex();
  dialog_.moeda = currency < 0 ? -1 : currencies_[static_cast<size_t>(currency)].id;
}

void tPrvDialogView::OkayClicked() {
  Read();
  if (const std::string failures = dialog_.Check(); !failures.empty()) {
    ShowErrorBox(kPrvCaption, failures);
    return;
  }
  accept();
}

tPrvWinView::tPrvWinView(QWidget* parent, QWidget* toolbar, std::unique_ptr<tPrvForms> forms)
    : tListWinView(std::make_unique<tPrvWin>(std::move(forms)), parent, toolbar),
      window_(static_cast<tPrvWin*>(&Child())),
      list_(new tShortCutList<QListWidget>(this, *window_)) {
  setWindowTitle(kPrvCaption);
  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) CallGuarded("tPrvWin.Select", [this, row] { window_->Select(row); });
  });
  PlaceList(list_);
}

void tPrvWinView::ShowLines() {
  const QSignalBlocker blocker(list_);
  list_->clear();
  const TPrvListModel& lines = window_->List();
  for (int row = 0; row < lines.RowCount(); ++row) list_->addItem(ToQt(lines.RowText(row)));
  list_->setCurrentRow(lines.Selected());
}

}  // namespace zi::desktop
