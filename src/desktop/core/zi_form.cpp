#include "desktop/core/zi_form.h"

namespace zi::desktop {

void tZiForm::FormActivate() {
  if (activated_) return;
  activated_ = true;
  OnFirstActivate();
}

bool tZiForm::CurtainPaint(bool nonEmptyArea) {
  if (!nonEmptyArea || firstPaintDone_) return false;
  firstPaintDone_ = true;
  if (formView_) {
    formView_->SetCurtainVisible(false);
    formView_->PostFirstPaint();
  }
  return true;
}

void tZiForm::RearmFirstPaint() {
  firstPaintDone_ = false;
  if (formView_) formView_->SetCurtainVisible(true);
}

}  // namespace zi::desktop
