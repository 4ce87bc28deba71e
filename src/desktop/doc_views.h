#pragma once
// The views of today's document windows: the import window, the log window, and the kinds whose
// views live in their family's folder (the company window, the price window).

#include <QWidget>
#include <memory>
#include <vector>

#include "desktop/core/doc_windows.h"
#include "desktop/forms.h"

class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace zi::desktop {

// The kinds that have a window in this build.
bool KindBuilt(int kind);
// The window of a kind, or none.
std::unique_ptr<tDocWindow> CreateDocWindowOfKind(int kind, QWidget* parent, QWidget* toolbar);

class tImpView : public tDocWidget, public tIdleHost {
 public:
  tImpView(QWidget* parent, QWidget* toolbar);
  tImpWin& Window() { return *window_; }
  QLineEdit* FileField() const { return file_; }
  // "…": a file dialog that fills the file field.
  QPushButton* BrowseButton() const { return browse_; }
  QComboBox* ActionList() const { return action_; }
  QComboBox* EncodingList() const { return encoding_; }
  QPushButton* OkayButton() const { return okay_; }
  QPushButton* CancelButton() const { return cancel_; }
  QPlainTextEdit* Pane() const { return pane_; }

  void PostIdle() override;
  void ProcessEvents() override {}
  uint64_t TickMs() const override;

 protected:
  bool event(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void Refresh();
  void Browse();

  tImpWin* window_;
  QLineEdit* file_;
  QPushButton* browse_;
  QComboBox* action_;
  QComboBox* encoding_;
  QPushButton* okay_;
  QPushButton* cancel_;
  QPlainTextEdit* pane_;
  size_t shownLines_ = 0;
};

class tLogView : public tDocWidget {
 public:
  tLogView(QWidget* parent, QWidget* toolbar, tLogForm::TReader reader = tLogForm::DataLogDump);
  QTableWidget* Grid() const { return grid_; }

 private:
  void Fill();

  tLogForm* window_;
  QTableWidget* grid_;
};

}  // namespace zi::desktop
