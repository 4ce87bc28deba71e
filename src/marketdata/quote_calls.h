#pragma once
// The quote procedures as the client calls them. Every function returns 0 or an error code and
// lets no exception escape.

#include <array>
#include <bitset>
#include <string>
#include <vector>

#include "marketdata/quote_fields.h"
#include "toolbox/dates.h"

namespace zi {

// A day of a series: the date and the 27 values, the missing number where there is none.
struct TQuoteRecord {
  TDayNumber date;
  std::array<double, kQuoteValues> values{};
};

// What one *QT, *QTNOOVERWRITE or *QTIF line writes.
struct TQuoteImport {
  std::string ticker;
  int exchange = 0;
  TDayNumber date;
  std::array<double, kQuoteValues> values{};
  std::bitset<kQuoteValues> keep;  // keep the stored value of the position
  bool noOverwrite = false;
  bool naoLogar = false;  // the day goes out with a whole bulletin
  int ifOperador = 0;     // 0: no condition
  int ifValorTermo1 = 0;
  double ifTermo2 = 0;
};

int DbCotacaoImportV4(const TQuoteImport& line);
int DbCotacaoImportDelRange(const std::string& ticker, int exchange, TDayNumber from, TDayNumber to);
// The days of a series from min to max (day 0: no bound), in date order. 4005 for a day without a
// date; the list is empty after any error.
int DbCotacaoDaAnbV2(int anb, TDayNumber min, TDayNumber max, std::vector<TQuoteRecord>& days);
int DbCotacaoDaAnbMinDate(int anb, TDayNumber& date);
int DbCotacaoPutV4(int anb, const TQuoteRecord& day);

}  // namespace zi
