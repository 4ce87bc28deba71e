#pragma once
// Shareholding compositions: for one company at one reference date, the voting, non-voting and
// total shares of each shareholder, with the free float and the grand totals of the three kinds.
// A composition is written whole (header and items in one transaction) or not at all.

#include <cstdint>
#include <string>
#include <vector>

#include "toolbox/dates.h"
#include "toolbox/numbers.h"

namespace zi {

// Share kinds (`vot`).
inline constexpr uint8_t kNonVoting = 0;
inline constexpr uint8_t kVoting = 1;
inline constexpr uint8_t kAllShares = 2;
inline constexpr uint8_t kShareKinds = 3;

inline constexpr int kCompositionNotFound = 3932;
inline constexpr int kCompositionWriteRaised = 4329;

struct TCompAcionariaRec {
  int32_t id = 0;
  int32_t emp = 0;
  TDayNumber dtref;
  TDayNumber dtpub;
  TDayNumber dtrtf;
  bool inpct = false;
  double totalsemvoto = kMissing;
  double totalcomvoto = kMissing;
  double totaltodos = kMissing;
  double freefloatsemvoto = kMissing;
  double freefloatcomvoto = kMissing;
  double freefloattodos = kMissing;

  // The grand total and the free float of a share kind.
  double& Total(uint8_t vot);
  double Total(uint8_t vot) const;
  double& FreeFloat(uint8_t vot);
  double FreeFloat(uint8_t vot) const;
};

struct TCompAcionariaItem {
  int32_t IdShareholder = 0;
  uint8_t vot = 0;
  bool unconfirmed = false;
  double vlr = 0;
};

// At most one entry per shareholder and share kind.
class TCompAcionariaItems {
 public:
  // The entry's index, searching from the end; -1 when there is none.
  int Find(int32_t shareholder, uint8_t vot) const;
  // 0 and false when there is no entry.
  void Get(int32_t shareholder, uint8_t vot, double& value, bool& unconfirmed) const;
  // No value, or 0 without add, removes the entry. Otherwise the entry is made when missing; add
  // adds to its value (its mark stays), else the value replaces it and the entry is confirmed.
  void Set(int32_t shareholder, uint8_t vot, bool add, double value);
  // Removes the entries that are not finite or are 0; true when any was removed.
  bool Compact();
  void MarkAll(bool unconfirmed);
  bool AnyUnconfirmed() const;
  bool HasConfirmedNumbers() const;
  // Of the confirmed entries of a kind.
  double Sum(uint8_t vot) const;
  // From the confirmed values: voting + non-voting with preferSum when either is not 0, or when the
  // total entry is 0; otherwise the total entry.
  double ShareholderTotal(int32_t shareholder, bool preferSum) const;
  // Largest total first (preferSum off); equal totals in the order of first appearance.
  std::vector<int32_t> ShareholdersByTotal() const;
  void Clear() { entries_.clear(); }
  void Assign(const TCompAcionariaItems& other) { entries_ = other.entries_; }
  const std::vector<TCompAcionariaItem>& Entries() const { return entries_; }

  // Reads the stored items of the header's composition; 0 or an error code (the list is then empty).
  int Load(const TCompAcionariaRec& header);
  // Replaces the stored items of a composition by the confirmed entries, within the caller's
  // transaction; 0 or an error code.
  int Save(int32_t compositionId, bool isNew);

 private:
  std::vector<TCompAcionariaItem> entries_;
};

// Up to 11 significant digits, "." as point, without trailing zeros; plain notation for decimal
// exponents -6 to 10, else the digits, "E" and the exponent; "0" below 1e-28; "-" when not finite.
std::string CompNumberText(double value);

int DbCompAcionariaAdd(TCompAcionariaRec& header, TCompAcionariaItems& items);
int DbCompAcionariaPut(TCompAcionariaRec& header, TCompAcionariaItems& items);
int DbCompAcionariaDel(int32_t id);
// 0 with the header, 3932 when the company has no composition at that date.
int DbCompAcionariaGetPelaEmpData(int32_t emp, TDayNumber dtref, TCompAcionariaRec& header);
// The compositions of a company, by reference date.
int DbCompAcionariaDaEmp(int32_t emp, std::vector<TCompAcionariaRec>& headers);
// Writes the composition whether it exists at its date or not.
int DbCacAddOuPut(TCompAcionariaRec& header, TCompAcionariaItems& items);

}  // namespace zi
