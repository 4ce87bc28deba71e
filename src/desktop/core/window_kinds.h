#pragma once
// The kinds of document window the main window hosts, with their titles and the level of the
// object each works on, and the modal results that dialogs answer.

#include <string>

namespace zi {
struct tObjHierEx;
}

namespace zi::desktop {

inline constexpr int kMrYes = 6;
inline constexpr int kMrNo = 7;
inline constexpr int kMrCancel = 2;
// The chooser answers 1000 + the kind of the window asked for.
inline constexpr int kChooserKindBase = 1000;
inline constexpr int kChooserGenBgl = 23001;

inline constexpr int kKindCount = 20;
inline constexpr int kKindLog = 6;
inline constexpr int kKindImport = 7;

enum ObjLevel { kLevelNone = 0, kLevelCompany = 1, kLevelClass = 2, kLevelSeries = 3 };

// The title shown in the main window's caption; a kind outside 0..19 ends the process (250).
const char* KindTitle(int kind);
int HierLevel(int kind);
bool OpensWithoutObject(int kind);
// The id of the object at the kind's level: 0 for the level none.
int ObjIdAtLevel(int kind, const tObjHierEx& object);

}  // namespace zi::desktop
