#pragma once
// How imports create and rename holders: the text directives *SHAREHOLDER, *SHAREHOLDERIFDOCISNEW,
// *PFITEM and *PFITEMIFDOCISNEW, the JSON types "ptfassettvm" and "ptfassettvmadddoc", and the
// per-run limits on how many holders an import may create or change.

#include <string>

#include "holdings/registry.h"
#include "import/run.h"

namespace zi {

// What a run has done to one registry: the holders its lines create (by document upper-cased and
// country) and the counters the limits read.
struct THolderRunCounts {
  THolderAddedList added;
  int adds = 0;
  int mods = 0;
};

// Kept across both passes of a text run; the counters start again with each pass, and the limits
// are checked at the end of the check pass, assets first.
class THolderRunState : public TRunState {
 public:
  void StartPass(tImpRoot& run) override;
  int EndOfCheckPass(tImpRoot& run) override;

  THolderRunCounts shareholders;
  THolderRunCounts assets;
};

THolderRunState& HolderRunState(tImpRoot& run);

// The registry's limits read from the command line against the counts: 0, 4180 (a limit is not an
// integer) or 4181 (exceeded). note is the line to write, empty when the counts are both 0.
template <typename K>
int HolderLimitCheck(int adds, int mods, std::string& note);

// Plugs the four directives, the two JSON types and *SHAREHOLDERS in.
void RegisterHolderDirectives();

}  // namespace zi
