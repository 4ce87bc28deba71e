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
#include <string>

#include "desktop/forms.h"

namespace zi::desktop {

namespace {

constexpr int kDialogWidth = 230;
constexpr int kDateWidth = 90;

}  // namespace

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

std::optional<TStmKey> TEditaHeaderBal::Ask(const THeaderDialogRequest& request) {
  title_->setText(ToQt(request.title));
  title_->setVisible(!request.title.empty());
  date_->setText(ToQt(request.dateText));
  (request.consolidado ? yes_ : no_)->setChecked(true);
  source_->setText(ToQt(request.sourceLine));
  source_->setVisible(!request.sourceLine.empty());
  error_->clear();
  error_->hide();
  accepted_.reset();
  date_->setFocus();
  date_->selectAll();
  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  if (exec() != QDialog::Accepted) return std::nullopt;
  return accepted_;
}

void TEditaHeaderBal::accept() {
  const int choice = yes_->isChecked() ? 1 : no_->isChecked() ? 0 : -1;
  std::string error;
  accepted_ = ReadHeaderDialog(FromQt(date_->text()), choice, error);
  if (!accepted_) {
    error_->setText(ToQt(error));
    error_->show();
    adjustSize();
    return;
  }
  QDialog::accept();
}

}  // namespace zi::desktop
