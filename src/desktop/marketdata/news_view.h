#pragma once
// The news window's widget (the company's items in their one-line form, each built when first
// shown) and its edit dialog with the publishing date and the multi-line text.

#include <QDialog>
#include <QListView>
#include <memory>
#include <string>

#include "desktop/core/marketdata/news_window.h"
#include "desktop/forms.h"
#include "desktop/marketdata/list_window_view.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zi::desktop {

// The window's dialog, shown modal over parent.
std::unique_ptr<tNwsForms> CreateNwsForms(QWidget* parent);

// The text's characters that the database cannot hold (outside Windows-1252), each once, in order,
// named by their code points ("U+2192, U+03A9"), which a box can show; empty when there are none.
std::string CharactersOutsideCp1252(const QString& text);

class tNwsDialogView : public QDialog {
 public:
  tNwsDialogView(QWidget* parent, TNwsDialog& dialog);

  QLineEdit* DateField() const { return date_; }
  QPlainTextEdit* TextField() const { return text_; }
  QPushButton* OkayButton() const { return okay_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  void OkayClicked();

  TNwsDialog& dialog_;
  QLineEdit* date_;
  QPlainTextEdit* text_;
  QPushButton* okay_;
  QPushButton* cancel_;
};

class tNwsWinView : public tListWinView {
 public:
  tNwsWinView(QWidget* parent, QWidget* toolbar, std::unique_ptr<tNwsForms> forms);

  tNwsWin& Window() { return *window_; }
  QListView* List() const { return list_; }

  void ShowLines() override;

 private:
  class tModel;

  tNwsWin* window_;
  tModel* model_;
  QListView* list_;
};

}  // namespace zi::desktop
