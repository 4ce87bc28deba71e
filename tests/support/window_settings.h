#pragma once
// What a window's test sets for its scope and puts back at its end: the regional settings the
// test types and reads in (a decimal point, days as dd/MM/yyyy), and the save question, answered
// saveAnswer and counted in saveQuestions.

#include "desktop/core/mdi_child.h"
#include "desktop/core/window_kinds.h"
#include "toolbox/lifecycle.h"

namespace zi::test {

class TWindowSettings {
 public:
  TWindowSettings() : regional_(Regional()) {
    SetRegional({.decimalSeparator = '.', .dateSeparator = '/', .shortDateFormat = "dd/MM/yyyy"});
    desktop::SetSaveQuestion([this](bool) {
      ++saveQuestions;
      return saveAnswer;
    });
  }
  ~TWindowSettings() {
    desktop::SetSaveQuestion({});
    SetRegional(regional_);
  }
  TWindowSettings(const TWindowSettings&) = delete;
  TWindowSettings& operator=(const TWindowSettings&) = delete;

  int saveQuestions = 0;
  int saveAnswer = desktop::kMrCancel;

 private:
  RegionalSettings regional_;
};

}  // namespace zi::test
