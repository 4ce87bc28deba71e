#pragma once
// The portfolio store of the text path: the header, the securities list with its operations, and
// the writes of both in one transaction.

#include <cstdint>
#include <limits>
#include <vector>

#include "toolbox/dates.h"

namespace zi::db {
class TDbCommand;
}

namespace zi {

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();
inline constexpr int kPortfolioWriteRaised = 4329;

struct TPortfolioRec {
  int32_t id = 0;
  int32_t emp = 0;
  TDayNumber dtref;
  TDayNumber dtpub;
  TDayNumber dtrtf;
  uint8_t TipoDocumento = 1;
  TDayNumber dtrefinformadapelafonte;
  double PL = kNoValue;
  double TotalPorc = kNoValue;
};

struct TPortfolioItem {
  int32_t IdPtfAssetTvm = 0;
  int32_t TipoAplicacao = 0;
  int32_t TipoClassificacao = 0;  // 0 or less: none
  bool unconfirmed = false;
  double vlr = 0;
  double peso = 0;
  double qtdtit = 0;
};

class TPortfolioItems {
 public:
  uint8_t TipoDocumento = 1;

  const std::vector<TPortfolioItem>& Entries() const { return entries_; }
  // The index of the entry, searching from the end; -1 when there is none.
  int Find(int32_t asset, int32_t application, int32_t classification) const;
  // Adds to or replaces an entry's values; without add, an entry left with neither value nor weight
  // other than 0 is removed.
  void Set(int32_t asset, int32_t application, int32_t classification, bool add, double qtdtit, double peso,
           double vlr);
  // Keeps the entries whose value or weight is a number other than 0.
  void Compact();
  // One entry per row: columns 2 to 7 are asset, application, classification, value, weight, count.
  void Load(db::TDbCommand& rows);
  // Replaces the stored securities of the portfolio with the list (within the caller's transaction).
  int Save(int32_t portfolio, bool isNew);

 private:
  std::vector<TPortfolioItem> entries_;
};

int DbPortfolioAdd(TPortfolioRec& header, TPortfolioItems& securities, bool check);
int DbPortfolioPut(TPortfolioRec& header, TPortfolioItems& securities, bool check);
int DbPortfolioCheck(int32_t id);
// 0 with the header read, 3932 when no portfolio has the triple, or a code.
int DbPortfolioGetPelaEmpTipoDocData(int32_t emp, int type, TDayNumber dtref, TPortfolioRec& header);
// Updates the portfolio of the header's company, type and date, or adds it when there is none.
int DbPortfolioAddOuPut(TPortfolioRec& header, TPortfolioItems& securities, bool check);

}  // namespace zi
