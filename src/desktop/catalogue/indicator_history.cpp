#include "desktop/catalogue/indicator_history.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

#include "db/sql_errors.h"
#include "desktop/catalogue/grid_rows_model.h"
#include "desktop/core/catalogue/indicator_history.h"
#include "desktop/forms.h"

namespace zi::desktop {

tIndicatorHistoryDialog::tIndicatorHistoryDialog(QWidget* parent, tIndicatorHistory& historico)
    : QDialog(parent),
      historico_(historico),
      model_(new tGridRowsModel(historico.Rows(), this)),
      grid_(new QTableView(this)),
      add_(new QPushButton("Add row", this)),
      delete_(new QPushButton("Delete row", this)),
      save_(new QPushButton("Save", this)) {
  setWindowTitle(ToQt(historico.Title()));
  // Headings an analyst reads; a value sits in the column of its indicator's format, the others
  // stay empty.
  for (const auto& [column, heading] : {std::pair{"DataIniVigencia", "Effective date"}, {"valornum", "Number"},
                                        {"valordt", "Date"}, {"valorst", "Text"}})
    model_->SetHeading(column, heading);
  grid_->setModel(model_);
  grid_->setItemDelegate(new tGridRowsDelegate(grid_));
  grid_->horizontalHeader()->setStretchLastSection(true);
  auto* close = new QPushButton("Close", this);
  const bool editable = !historico.ReadOnly();
  add_->setEnabled(editable);
  delete_->setEnabled(editable);
  save_->setEnabled(editable);
  // Enter ends a cell's edit: it never saves nor closes.
  for (QPushButton* button : {add_, delete_, save_, close}) button->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add_);
  buttons->addWidget(delete_);
  buttons->addStretch();
  buttons->addWidget(save_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grid_);
  layout->addLayout(buttons);
  resize(640, 320);
  connect(add_, &QPushButton::clicked, this, [this] {
    CallGuarded("tIndicatorHistoryDialog.Add", [&] { model_->ShowAddedRow(*grid_, historico_.AddRow()); });
  });
  connect(delete_, &QPushButton::clicked, this, [this] {
    CallGuarded("tIndicatorHistoryDialog.Delete", [&] { model_->DeleteCurrentRow(*grid_); });
  });
  // Saved while open: a failure shows its box and the dialog stays with the edits.
  connect(save_, &QPushButton::clicked, this, [this] {
    CallGuarded("tIndicatorHistoryDialog.Save", [&] {
      const int code = historico_.Save();
      model_->Reload();
      if (code == 0) {
        accept();
        return;
      }
      db::ShowSqlErrorTxt("IndicatorHistory.Save", code);
    });
  });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

bool EditIndicatorHistory(QWidget* parent, int nivel, int objeto, int indicador, UmIndicadorDaEmpAtvAnb& entrada) {
  bool escreveu = false;
  CallGuarded("EditIndicatorHistory", [&] {
    escreveu = EditaHistoricoDoIndicador(nivel, objeto, indicador, entrada, [&](tIndicatorHistory& historico) {
      tIndicatorHistoryDialog dialog(parent, historico);
      return dialog.exec() == QDialog::Accepted;
    });
  });
  return escreveu;
}

}  // namespace zi::desktop
