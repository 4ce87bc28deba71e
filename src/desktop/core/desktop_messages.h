#pragma once
// The messages windows post to the main window, handled after the current event and, since a
// handler may destroy the window that posted them, only once no modal dialog is open.

#include <functional>

namespace zi::desktop {

// The object tree changed: the company picker searches again when next shown.
inline constexpr int kMsgObjTreeChanged = 1568;
// A company was added; the parameter is its id: the main window makes it the current object.
inline constexpr int kMsgCompanyAdded = 1571;

using TDesktopPoster = std::function<void(int message, int param)>;
// Installed by the main window; without one a message goes nowhere.
void SetDesktopPoster(TDesktopPoster poster);
void PostDesktopMessage(int message, int param = 0);

}  // namespace zi::desktop
