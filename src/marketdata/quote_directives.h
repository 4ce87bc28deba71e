#pragma once
// The quote directives of import files: *QT, *QTNOOVERWRITE and *QTIF write a day of a series,
// *DELQT deletes a range of days, *BOLCOT names a bulletin to register at the end of the run.

#include <string_view>

namespace zi {

// Codes of the quote lines.
inline constexpr int kQuoteFieldCount = 3950;
inline constexpr int kQuoteTicker = 3951;
inline constexpr int kQuoteExchange = 3952;
inline constexpr int kQuoteDate = 3953;
inline constexpr int kQuoteValue = 3954;
inline constexpr int kQuoteTooBig = 31131;
inline constexpr int kBolCotFieldCount = 4100;
inline constexpr int kBolCotExchange = 4101;
inline constexpr int kBolCotDate = 4102;
inline constexpr int kBolCotType = 4104;

// The *QTIF condition: "#", the position, the operator, the term, separated by blanks.
struct TQuoteCondition {
  int op = 0;        // 1 to 11, in the order "###", "=*", "<>*", "<*", ">*", "**", "!!", "=", "<>", "<", ">"
  int position = 0;  // as written; the server checks it
  double term = 0;   // the missing number when the field is empty or "-"
};
// 0, or 4392 (no "#"), 4393 (no integer), 4394 (no operator), 4395 (no number), 4396 (more words).
int ReadQuoteCondition(std::string_view field, TQuoteCondition& condition);

// Plugs the quote directives into the directive table; called once at start-up.
void RegisterQuoteDirectives();

}  // namespace zi
