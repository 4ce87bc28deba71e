#pragma once

namespace zi::app {

// The program: starts the foundation, runs the selected mode and ends the process with its status.
[[noreturn]] void Main(int argc, char** argv);

}  // namespace zi::app
