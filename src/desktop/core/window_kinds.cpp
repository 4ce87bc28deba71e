#include "desktop/core/window_kinds.h"

#include <array>

#include "catalogue/objects.h"
#include "toolbox/log.h"

namespace zi::desktop {

namespace {

struct TWindowKind {
  const char* title;
  int level;
  bool opensWithoutObject;
};

constexpr std::array<TWindowKind, kKindCount> kKinds = {{
    {"Company Registration", kLevelCompany, true},
    {"Fin Stats", kLevelCompany, false},
    {"Prices", kLevelSeries, false},
    {"Corp Actions", kLevelSeries, false},
    {"News", kLevelCompany, false},
    {"Sh Holders", kLevelCompany, false},
    {"Log", kLevelNone, true},
    {"Import", kLevelNone, true},
    {"Permissions", kLevelNone, true},
    {"User Info", kLevelNone, true},
    {"Num of Shares", kLevelCompany, false},
    {"Fin Stat Mover", kLevelCompany, true},
    {"Fin Ind", kLevelNone, true},
    {"Abrev and Case", kLevelNone, true},
    {"Portfolio", kLevelCompany, false},
    {"Lamina Gallery", kLevelNone, true},
    {"Chart Gallery", kLevelNone, true},
    {"Announcements", kLevelNone, true},
    {"Screening Gallery", kLevelNone, true},
    {"Simple Galleries", kLevelNone, true},
}};

const TWindowKind& Kind(int kind) {
  if (kind < 0 || kind >= kKindCount) FatalRunError250("MdiCh.HL mt:" + std::to_string(kind));
  return kKinds[static_cast<size_t>(kind)];
}

}  // namespace

const char* KindTitle(int kind) { return Kind(kind).title; }
int HierLevel(int kind) { return Kind(kind).level; }
bool OpensWithoutObject(int kind) { return Kind(kind).opensWithoutObject; }

int ObjIdAtLevel(int kind, const tObjHierEx& object) {
  switch (HierLevel(kind)) {
    case kLevelCompany: return object.EmpId;
    case kLevelClass: return object.AtvId;
    case kLevelSeries: return object.AnbId;
    default: return 0;
  }
}

}  // namespace zi::desktop
