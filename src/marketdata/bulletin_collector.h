#pragma once
// The quote bulletins of a run. The check pass counts its quote lines per exchange, date and
// bulletin type (and *BOLCOT lines force bulletins); at the first quote line of the import pass the
// list is finalised: the bulletins with enough quotes are chosen, so that their lines are written
// without announcing each day on its own. At the end of the run the bulletins are registered.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "import/run.h"
#include "toolbox/dates.h"

namespace zi {

inline constexpr int kCountAfterFinal = 3995;
inline constexpr int kForceAfterFinal = 3996;

struct TBolCot {
  int exchange = 0;
  TDayNumber date;
  int type = 0;  // 0 to 11
  int count = 0;  // quote lines of the check pass
  bool forced = false;
  bool dueToCount = false;
};

class TMakeUpBolCot : public TRunState {
 public:
  // The number of active series of an exchange and bulletin type; nullopt when it cannot be read.
  using ActiveSeries = std::function<std::optional<int>(int exchange, int type)>;

  // The active series are read from the server unless a lookup is set.
  TMakeUpBolCot();
  void SetActiveSeries(ActiveSeries lookup) { activeSeries_ = std::move(lookup); }

  // One quote line of the check pass. Raises EZorInputException 3995 after the finalisation.
  void CountQuote(int exchange, int type, TDayNumber date);
  // A bulletin named by *BOLCOT; type 5 is never forced. Raises EZorInputException 3996 after the
  // finalisation.
  void ForceBulletin(int exchange, int type, TDayNumber date);
  // Whether a quote line of the import pass belongs to a bulletin; finalises on first use.
  bool IsBulletin(int exchange, int type, TDayNumber date);
  // Finalises, logs the list and returns the bulletins in list order.
  std::vector<TBolCot> Bulletins();

  // Newest first.
  const std::vector<TBolCot>& Entries() const { return entries_; }
  bool Finalised() const { return finalised_; }

  // Registers the bulletins with the data log and asks for a bulletin generation; a check-only run
  // only logs the bulletins it would register.
  int EndOfRun(tImpRoot& run) override;

 private:
  // The entry of an exchange, type and date; nullptr when there is none.
  TBolCot* Find(int exchange, int type, TDayNumber date);
  TBolCot& Insert(int exchange, int type, TDayNumber date);
  // The entry a quote may push out of a full list: the oldest not forced, older than the date and
  // with at most 99 quotes; end() when there is none.
  std::vector<TBolCot>::iterator Evictable(TDayNumber date);
  void Finalise();
  std::optional<int> ActiveSeriesOf(int exchange, int type);
  void Dump(const std::string& caller) const;

  std::vector<TBolCot> entries_;
  bool finalised_ = false;
  ActiveSeries activeSeries_;
  std::map<std::pair<int, int>, std::optional<int>> active_;
  std::vector<TBolCot> bulletins_;  // after the finalisation
};

}  // namespace zi
