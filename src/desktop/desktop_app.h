#pragma once
// The desktop: the Qt application and its main window, for a start without a run mode.

namespace zi::desktop {

// Runs the desktop until its main window closes: 0, or the code that says why it could not open
// (no display). Never ends the process itself.
int RunDesktop();

}  // namespace zi::desktop
