#include "session/session.h"

#include "toolbox/switches.h"

namespace zi {

TZiGlobs& ZiGlobs() {
  static TZiGlobs globs;
  return globs;
}

void ClearUserInfo() {
  TZiGlobs& g = ZiGlobs();
  g.uid = 0;
  g.name.clear();
  g.email.clear();
  g.IsAdmin = false;
  g.UserFlag = 0;
  g.SourceDoBal = 0;
  g.lingua = 0;
}

bool RightA() { return ZiGlobs().IsAdmin || (ZiGlobs().UserFlag & 1) != 0; }
bool RightB() { return ZiGlobs().IsAdmin || (ZiGlobs().UserFlag & 2) != 0; }
bool RightC() { return ZiGlobs().IsAdmin || (ZiGlobs().UserFlag & 4) != 0; }
bool RightD() { return ZiGlobs().IsAdmin || ZiGlobs().SourceDoBal != 0; }

bool PodeMudarAtvDoAnbPraCima() { return TemParam("PodeMudarAtvDoAnbPraCima"); }
bool ImportPermitido() { return !TemParam("noimport"); }

}  // namespace zi
