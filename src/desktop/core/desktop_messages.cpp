#include "desktop/core/desktop_messages.h"

namespace zi::desktop {

namespace {

TDesktopPoster& Poster() {
  static TDesktopPoster poster;
  return poster;
}

}  // namespace

void SetDesktopPoster(TDesktopPoster poster) { Poster() = std::move(poster); }

void PostDesktopMessage(int message, int param) {
  if (Poster()) Poster()(message, param);
}

}  // namespace zi::desktop
