#include "desktop/catalogue/table_editor.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <string>

#include "desktop/catalogue/grid_rows_model.h"
#include "desktop/core/ui_port.h"
#include "desktop/forms.h"
#include "desktop/text_fields.h"

namespace zi::desktop {

namespace {

// A preset's caption: its text without the "select * from " every one of them begins with.
QString PresetCaption(const std::string& sql) {
  const std::string prefix = "select * from ";
  return ToQt(sql.rfind(prefix, 0) == 0 ? sql.substr(prefix.size()) : sql);
}

}  // namespace

tTableEditorDialog::tTableEditorDialog(QWidget* parent)
    : QDialog(parent),
      tableField_(new QLineEdit(this)),
      sqlField_(new QLineEdit(this)),
      tableButton_(new QPushButton("Table!", this)),
      sqlButton_(new QPushButton("SQL!", this)),
      grid_(new QTableView(this)),
      add_(new QPushButton("Add row", this)),
      delete_(new QPushButton("Delete row", this)),
      save_(new QPushButton("Save", this)) {
  setWindowTitle("Tables");
  LimitText(tableField_, 128);
  LimitText(sqlField_);
  auto* fields = new QGridLayout;
  fields->addWidget(tableField_, 0, 0);
  fields->addWidget(tableButton_, 0, 1);
  fields->addWidget(sqlField_, 1, 0);
  fields->addWidget(sqlButton_, 1, 1);
  auto* presets = new QGridLayout;
  for (size_t i = 0; i < kTableEditorPresets.size(); ++i) {
    const std::string sql = kTableEditorPresets[i];
    auto* button = new QPushButton(PresetCaption(sql), this);
    button->setToolTip(ToQt(sql));
    button->setAutoDefault(false);
    presets->addWidget(button, static_cast<int>(i / 4), static_cast<int>(i % 4));
    presets_.push_back(button);
    connect(button, &QPushButton::clicked, this, [this, sql] {
      CallGuarded("tTableEditorDialog.Preset", [&] {
        FillText(sqlField_, sql);
        if (editor_.RunSql(sql) == 0) ShowRows();
      });
    });
  }
  auto* close = new QPushButton("Close", this);
  for (QPushButton* button : {tableButton_, sqlButton_, add_, delete_, save_, close}) button->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add_);
  buttons->addWidget(delete_);
  buttons->addStretch();
  buttons->addWidget(save_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(presets);
  layout->addWidget(grid_);
  layout->addLayout(buttons);
  resize(900, 600);
  grid_->setItemDelegate(new tGridRowsDelegate(grid_));
  ShowRows();
  connect(tableButton_, &QPushButton::clicked, this, [this] {
    CallGuarded("tTableEditorDialog.Table", [&] {
      if (editor_.RunTable(TextOf(tableField_)) == 0) ShowRows();
    });
  });
  connect(sqlButton_, &QPushButton::clicked, this, [this] {
    CallGuarded("tTableEditorDialog.Sql", [&] {
      if (editor_.RunSql(TextOf(sqlField_)) == 0) ShowRows();
    });
  });
  connect(add_, &QPushButton::clicked, this, [this] {
    CallGuarded("tTableEditorDialog.Add", [&] { model_->ShowAddedRow(*grid_, editor_.Rows()->AddRow({})); });
  });
  connect(delete_, &QPushButton::clicked, this, [this] {
    CallGuarded("tTableEditorDialog.Delete", [&] { model_->DeleteCurrentRow(*grid_); });
  });
  connect(save_, &QPushButton::clicked, this, [this] {
    CallGuarded("tTableEditorDialog.Save", [&] {
      editor_.Save();
      model_->Reload();
    });
  });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void tTableEditorDialog::ShowRows() {
  tGridRows* rows = editor_.Rows();
  tGridRowsModel* old = model_;
  model_ = rows ? new tGridRowsModel(*rows, this) : nullptr;
  grid_->setModel(model_);
  delete old;
  const bool editable = rows && rows->Editable();
  add_->setEnabled(editable);
  delete_->setEnabled(editable);
  save_->setEnabled(editable);
}

void tTableEditorDialog::reject() {
  bool close = true;
  CallGuarded("tTableEditorDialog.Close", [&] {
    tGridRows* rows = editor_.Rows();
    close = !rows || !rows->Modified() || AskYesNo("Confirm", kDropUnsavedEdits);
  });
  if (close) QDialog::reject();
}

void OpenTableEditor(QWidget* parent) {
  if (!MayOpenTableEditor()) return;
  {
    tTableEditorDialog dialog(parent);
    dialog.exec();
  }
  CallGuarded("OpenTableEditor", ForgetEditedLists);
}

void OpenTableEditor(QWidget* parent, const std::string& table, const std::string& title) {
  if (!MayOpenTableEditor()) return;
  {
    tTableEditorDialog dialog(parent);
    dialog.setWindowTitle(ToQt(title));
    FillText(dialog.TableField(), table);
    dialog.TableButton()->click();
    dialog.exec();
  }
  CallGuarded("OpenTableEditor", ForgetEditedLists);
}

}  // namespace zi::desktop
