#pragma once
// The run mode "import": log in, check the whole text file, then import it, one line per step.

#include "app/run_modes.h"

namespace zi::app {

// The exit kind tells a check that failed (nothing was written) from an import pass that left
// errors (some lines were not imported).
RunResult RunImportMode(const ModeSelection& selection);

}  // namespace zi::app
