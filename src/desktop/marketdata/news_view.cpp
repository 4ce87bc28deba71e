#include "desktop/marketdata/news_view.h"

#include <QAbstractListModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include <fmt/format.h>

#include "desktop/text_fields.h"
#include "toolbox/message_box.h"

namespace zi::desktop {

namespace {

constexpr int kTextWidth = 560;
constexpr int kTextHeight = 300;
constexpr const char* kNotCp1252 = "The text has characters that the database cannot hold: ";

class tNwsFormsView : public tNwsForms {
 public:
  explicit tNwsFormsView(QWidget* parent) : parent_(parent) {}
  bool EditNews(TNwsDialog& dialog) override {
    tNwsDialogView view(parent_, dialog);
    return view.exec() == QDialog::Accepted;
  }

 private:
  QWidget* parent_;
};

}  // namespace

std::unique_ptr<tNwsForms> CreateNwsForms(QWidget* parent) { return std::make_unique<tNwsFormsView>(parent); }

std::string CharactersOutsideCp1252(const QString& text) {
  std::string names;
  std::vector<char32_t> seen;
  for (const char32_t code : text.toUcs4()) {
    if (FitsCp1252(QString::fromUcs4(&code, 1)) || std::find(seen.begin(), seen.end(), code) != seen.end()) continue;
    seen.push_back(code);
    names += (names.empty() ? "" : ", ") + fmt::format("U+{:04X}", static_cast<uint32_t>(code));
  }
  return names;
}

tNwsDialogView::tNwsDialogView(QWidget* parent, TNwsDialog& dialog)
    : QDialog(parent),
      dialog_(dialog),
      date_(new QLineEdit(this)),
      text_(new QPlainTextEdit(this)),
      okay_(new QPushButton("Okay", this)),
      cancel_(new QPushButton("Cancel", this)) {
  setWindowTitle(kNwsDialogCaption);
  LimitText(date_);
  FillText(date_, dialog_.date);
  date_->setEnabled(dialog_.DateEnabled());
  text_->setPlainText(ToQt(EditorNewsText(dialog_.text)));
  text_->setMinimumSize(kTextWidth, kTextHeight);
  okay_->setDefault(true);
  cancel_->setAutoDefault(false);
  auto* dateRow = new QHBoxLayout;
  dateRow->addWidget(new QLabel("Publishing Date", this));
  dateRow->addWidget(date_);
  dateRow->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okay_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(dateRow);
  layout->addWidget(text_, 1);
  layout->addLayout(buttons);
  connect(okay_, &QPushButton::clicked, this, [this] { CallGuarded("tNwsDialog.Okay", [this] { OkayClicked(); }); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  if (dialog_.DateEnabled()) date_->setFocus();
  else text_->setFocus();
}

// A character the database cannot hold is refused by name, never replaced.
void tNwsDialogView::OkayClicked() {
  const QString typed = text_->toPlainText();
  if (const std::string outside = CharactersOutsideCp1252(typed); !outside.empty()) {
    ShowErrorBox(kNwsDialogCaption, kNotCp1252 + outside);
    text_->setFocus();
    return;
  }
  dialog_.date = TextOf(date_);
  dialog_.text = StoredNewsText(FromQt(typed));
  if (const std::string failures = dialog_.Check(); !failures.empty()) {
    ShowErrorBox(kNwsDialogCaption, failures);
    return;
  }
  accept();
}

// The items' one-line forms, each built the first time the list asks for it.
class tNwsWinView::tModel : public QAbstractListModel {
 public:
  tModel(QObject* parent, tNwsWin& window) : QAbstractListModel(parent), window_(window) {}
  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : window_.List().RowCount(); }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= window_.List().RowCount()) return {};
    return ToQt(window_.List().RowText(index.row()));
  }
  void Reset() {
    beginResetModel();
    endResetModel();
  }

 private:
  tNwsWin& window_;
};

tNwsWinView::tNwsWinView(QWidget* parent, QWidget* toolbar, std::unique_ptr<tNwsForms> forms)
    : tListWinView(std::make_unique<tNwsWin>(std::move(forms)), parent, toolbar),
      window_(static_cast<tNwsWin*>(&Child())),
      model_(new tModel(this, *window_)),
      list_(new tShortCutList<QListView>(this, *window_)) {
  setWindowTitle(kNwsListCaption);
  list_->setModel(model_);
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  list_->setUniformItemSizes(true);
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            CallGuarded("tNwsWin.Select", [this, current] { window_->Select(current.isValid() ? current.row() : -1); });
          });
  // With one item per scroll step the scroll bar's value is the top line.
  connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this,
          [this](int top) { CallGuarded("tNwsWin.Scroll", [this, top] { window_->SetTop(top); }); });
  PlaceList(list_);
}

// The top line and the selection the window kept are shown again after the list was read.
void tNwsWinView::ShowLines() {
  const int top = window_->List().Top();
  const int selected = window_->List().Selected();
  {
    const QSignalBlocker blockScroll(list_->verticalScrollBar());
    const QSignalBlocker blockSelection(list_->selectionModel());
    model_->Reset();
    list_->doItemsLayout();
    if (selected >= 0) list_->setCurrentIndex(model_->index(selected));
    list_->verticalScrollBar()->setValue(top);
  }
  window_->SetTop(list_->verticalScrollBar()->value());
}

}  // namespace zi::desktop
