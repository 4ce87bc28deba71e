#pragma once
// The NAICS picker of the company form (tZiPickSicCod): a thin view over NaicsPickerModel.

#include <QDialog>

#include "desktop/core/naics_picker.h"

class QListWidget;
class QPushButton;

namespace zi::desktop {

class tNaicsRowDelegate;

class tZiPickSicCod : public QDialog {
 public:
  tZiPickSicCod(QWidget* parent, int codigo);

  // The selected row's code, or the code the picker opened at when no row is selected.
  int Codigo() const;

  QListWidget* List() const { return list_; }
  QPushButton* UpButton() const { return up_; }
  QPushButton* DownButton() const { return down_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Refill();
  void Go(bool down);

  NaicsPickerModel model_;
  int codigo_;
  tNaicsRowDelegate* delegate_;
  QListWidget* list_;
  QPushButton* up_;
  QPushButton* down_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

// Opens the picker at code, modal: true with the chosen code in code on OK; false, the code
// unchanged, on Cancel.
bool PickNaics(QWidget* parent, int& code);

}  // namespace zi::desktop
