#pragma once
// The run modes "msgqq" (a message file into the data log) and "msgqqcode" (a file of one coded
// message line), both with login.

#include "app/run_modes.h"

namespace zi::app {

RunResult RunMsgQQMode(const ModeSelection& selection);
RunResult RunMsgQQCodeMode(const ModeSelection& selection);

}  // namespace zi::app
