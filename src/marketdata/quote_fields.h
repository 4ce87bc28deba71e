#pragma once
// The meaning of a quote's 27 positions: the table of quote fields with their captions, the
// layouts that map positions to fields for each kind of security, the choice of a series' layout
// and the headings of the quote window's value columns. Imports and exports of quotes are
// positional and do not consult layouts.

#include <string>

namespace zi {

struct tObjHierEx;

inline constexpr int kQuoteValues = 27;
inline constexpr int kQuoteFields = 131;
inline constexpr int kQuoteLayouts = 23;
inline constexpr int kNoQuoteField = -1;

// Captions hold three languages: "PT|EN|ES".
struct TQuoteField {
  const char* longCaption;
  const char* shortCaption;
};

// Field 0 to 130 (std::out_of_range otherwise).
const TQuoteField& QuoteField(int field);
// The field at position 1 to 27 of layout 0 to 22; kNoQuoteField where the position is unused or
// the layout or position does not exist.
int LayoutField(int layout, int position);

// What chooses a series' layout.
struct TLayoutInputs {
  int column13 = 0;         // the series' column 13 of the object list
  int exchange = 0;
  int exchangeCountry = -1;  // the exchange's country in the exchange list; -1 when not there
  bool seriesRead = false;   // the series record was read
  int mapaFaskel = 0;        // of the series record
  int assetType = 0;         // of the series' class
};
int LayoutOfSeries(const TLayoutInputs& inputs);
// The layout of the series of an object-list row: its record is read and its exchange's country
// looked up in the session's exchange list.
int LayoutDaSerie(const tObjHierEx& row);

// The heading of value column 1 to 27: "-" where the layout does not use the position, otherwise
// the short caption of its field in the session's language.
std::string ColumnHeading(int layout, int position);

}  // namespace zi
