#include "import/command_line_run.h"

#include "toolbox/codec.h"
#include "toolbox/log.h"

namespace zi::impcli {

void tMyImpMain::Output(std::string_view message, bool memoryOnly) {
  if (!FileNamePrefix()) {
    LogaConsole(message, memoryOnly);
    return;
  }
  LogaConsole(PathText(FileName()) + " " + std::string(message), memoryOnly);
}

}  // namespace zi::impcli
