#pragma once
// The text run of the command-line import: its messages go to the log (and to standard output
// when the log echoes), each with the file name in front when the caller asks for it.

#include "import/run.h"

namespace zi::impcli {

class tMyImpMain : public TImpMain {
 public:
  using TImpMain::TImpMain;
  void Output(std::string_view message, bool memoryOnly) override;

 protected:
  const char* ClassName() const override { return "tMyImpMain"; }
};

}  // namespace zi::impcli
