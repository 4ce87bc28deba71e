#include "desktop/statements/statement_header_dialog.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cctype>

#include "desktop/forms.h"
#include "toolbox/display_formats.h"
#include "toolbox/lifecycle.h"

namespace zi::desktop {

namespace {

constexpr int kDialogWidth = 230;
constexpr int kDateWidth = 90;

// The first run of exactly `length` letters `letter` in either case, or npos.
size_t RunOf(const std::string& text, char letter, size_t length) {
  for (size_t i = 0; i < text.size();) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != letter) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && std::tolower(static_cast<unsigned char>(text[end])) == letter) ++end;
    if (end - i == length) return i;
    i = end;
  }
  return std::string::npos;
}

}  // namespace

std::string DefaultDatePattern(const std::string& shortDateFormat) {
  std::string pattern = shortDateFormat;
  if (const size_t month = RunOf(pattern, 'm', 3); month != std::string::npos) pattern.erase(month, 1);
  if (RunOf(pattern, 'y', 4) == std::string::npos) {
    if (const size_t year = RunOf(pattern, 'y', 2); year != std::string::npos) pattern.insert(year, pattern, year, 2);
  }
  return pattern;
}

TEditaHeaderBal::TEditaHeaderBal(QWidget* parent)
    : QDialog(parent),
      title_(new QLabel(this)),
      date_(new QLineEdit(this)),
      no_(new QRadioButton("No", this)),
      yes_(new QRadioButton("Yes", this)),
      source_(new QLabel(this)),
      error_(new QLabel(this)),
      ok_(new QPushButton("OK", this)),
      cancel_(new QPushButton("Cancel", this)) {
  setWindowTitle("Financial Statement");
  setModal(true);
  setFixedWidth(kDialogWidth);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  for (QLabel* line : {title_, source_, error_}) {
    line->setTextFormat(Qt::PlainText);
    line->setWordWrap(true);
  }
  error_->setStyleSheet("color: red");
  date_->setFixedWidth(kDateWidth);
  auto* group = new QGroupBox("Consolidated", this);
  auto* items = new QHBoxLayout(group);
  items->addWidget(no_);
  items->addWidget(yes_);
  auto* exclusive = new QButtonGroup(group);
  exclusive->addButton(no_);
  exclusive->addButton(yes_);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &TEditaHeaderBal::accept);
  connect(cancel_, &QPushButton::clicked, this, &TEditaHeaderBal::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title_);
  layout->addWidget(new QLabel("Reference Date", this));
  layout->addWidget(date_);
  layout->addWidget(group);
  layout->addWidget(source_);
  layout->addWidget(error_);
  layout->addLayout(buttons);
}

bool TEditaHeaderBal::Ask(const std::string& title, int source, const std::string& sourceName, TDayNumber& date,
                          bool& consolidated) {
  title_->setText(ToQt(title));
  title_->setVisible(!title.empty());
  date_->setText(ToQt(date.IsNoDate() ? DefaultDatePattern(Regional().shortDateFormat) : ShownDay(date)));
  (consolidated ? yes_ : no_)->setChecked(true);
  source_->setText(ToQt("Source : " + sourceName));
  source_->setVisible(source != 0);
  error_->clear();
  error_->hide();
  date_->setFocus();
  date_->selectAll();
  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  if (exec() != QDialog::Accepted) return false;
  date = accepted_;
  consolidated = yes_->isChecked();
  return true;
}

void TEditaHeaderBal::accept() {
  const std::optional<TDayNumber> day = ParseShownDay(FromQt(date_->text()));
  if (!day || (!no_->isChecked() && !yes_->isChecked())) {
    error_->setText(kFillInAllFields);
    error_->show();
    adjustSize();
    return;
  }
  accepted_ = *day;
  QDialog::accept();
}

}  // namespace zi::desktop
