// The quote fields, the layouts over the 27 positions, the choice of a series' layout and the
// headings it gives the value columns.
#include "marketdata/quote_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <sstream>
#include <string>

#include "session/int_stg_list.h"
#include "session/session.h"

namespace zi {
namespace {

// Layouts 1 to 22, positions 1 to 27, "-" where a position is unused.
constexpr const char* kLayouts[] = {
    "1 2 3 4 0 5 6 7 - - - - - - - - - - - - - - - - - - -",
    "8 9 10 23 0 11 22 12 - - - - - - - - - - - - - - - - - - -",
    "15 16 49 - 0 11 17 12 - - - - - - - - - - - - - - - - - - -",
    "- - - 14 0 - 21 12 - - - - - - - - - - - - - - - - - - -",
    "- - - - 0 11 - 12 - - - - - - - - - - - - - - - - - - -",
    "24 25 26 27 28 29 33 34 35 - - - 96 97 98 99 100 101 102 103 104 105 106 107 - - -",
    "38 37 39 36 0 40 41 50 51 52 53 54 - - - - - - - - - - - - - - -",
    "0 36 42 37 43 44 45 46 47 48 40 41 - - - - - - - - - - - - - - -",
    "- - 49 - 0 11 17 12 - - - - - - - - - - - - - - - - - - -",
    "- - - - 0 - - - 37 - 61 - - - - - - - - - - - - - - - -",
    "55 56 58 59 0 60 61 57 37 - - - - - - - - - - - - - - - - - -",
    "62 63 65 66 0 64 61 - - - - - - - - - - - - - - - - - - - -",
    "38 37 39 36 0 67 68 69 70 52 53 54 - - - - - - - - - - - - - - -",
    "83 84 85 86 0 11 87 12 88 89 90 91 - - - - - - - - - - - - - - -",
    "71 72 73 74 75 76 77 78 79 80 81 82 - - - - - - - - - - - - - - -",
    "40 41 - 60 0 5 6 7 37 48 53 54 - - - - - - - - - - - - - - -",
    "40 41 46 60 0 5 6 7 37 48 53 54 - - - - - - - - - - - - - - -",
    "- - - - 0 11 - 12 93 52 40 - - - - - - - - - - - - - - - -",
    "38 37 - 36 0 94 95 - - 52 53 - - - - - - - - - - - - - - - -",
    "111 2 3 4 0 5 37 7 108 109 110 - - - - - - - - - - - - - - - -",
    "1 2 3 4 0 5 6 7 112 113 114 115 116 117 118 119 120 121 122 123 124 125 126 127 128 129 130",
    "1 2 3 4 0 5 6 7 112 113 114 115 116 117 118 119 120 - 122 123 124 125 126 127 128 129 37",
};

std::string LayoutText(int layout) {
  std::string text;
  for (int position = 1; position <= kQuoteValues; ++position) {
    const int field = LayoutField(layout, position);
    if (position > 1) text += ' ';
    text += field == kNoQuoteField ? "-" : std::to_string(field);
  }
  return text;
}

class QuoteFieldsTest : public testing::Test {
 protected:
  void TearDown() override { ZiGlobs().lingua = 0; }
};

TEST_F(QuoteFieldsTest, FieldsHoldThreeLanguagesAndTheLayoutsMapEveryPosition) {
  EXPECT_STREQ(QuoteField(5).longCaption, "Q Neg\xF3" "cios|#Trades|Num Operaciones");
  EXPECT_STREQ(QuoteField(5).shortCaption, "Q Negs|#Trades|Num Operac");
  EXPECT_STREQ(QuoteField(24).longCaption,
               "Qtd t\xEDtulos (contr em aberto)|#Securities (contr on loan)|Cantidad t\xEDtulos (contr en abierto)");
  EXPECT_STREQ(QuoteField(37).shortCaption, "Taxa (YTM)|YTM|Rend (YTM)");
  ZiGlobs().lingua = 1;
  EXPECT_EQ(ShownText(QuoteField(23).longCaption), "Data Source");
  EXPECT_EQ(ShownText(QuoteField(111).shortCaption), "DtaSrc");
  EXPECT_EQ(ShownText(QuoteField(130).longCaption), "Intragroup reference price");
  EXPECT_EQ(ShownText(QuoteField(130).shortCaption), "Intgrp ref price");
  for (int field = 0; field < kQuoteFields; ++field) {
    for (const char* caption : {QuoteField(field).longCaption, QuoteField(field).shortCaption}) {
      const std::string text(caption);
      EXPECT_EQ(std::count(text.begin(), text.end(), '|'), 2) << field << ": " << text;
    }
  }
  EXPECT_THROW(QuoteField(kQuoteFields), std::out_of_range);
  EXPECT_EQ(LayoutText(0), "- - - - - - - - - - - - - - - - - - - - - - - - - - -");
  for (int layout = 1; layout < kQuoteLayouts; ++layout) EXPECT_EQ(LayoutText(layout), kLayouts[layout - 1]) << layout;
  EXPECT_EQ(LayoutField(kQuoteLayouts, 1), kNoQuoteField);
  EXPECT_EQ(LayoutField(1, 0), kNoQuoteField);
  EXPECT_EQ(LayoutField(1, 28), kNoQuoteField);
}

TEST_F(QuoteFieldsTest, LayoutOfASeries) {
  const TLayoutInputs share{.column13 = 0, .exchange = 1, .exchangeCountry = 0, .seriesRead = true};
  auto with = [&](auto change) {
    TLayoutInputs inputs = share;
    change(inputs);
    return LayoutOfSeries(inputs);
  };
  const struct {
    const char* what;
    int layout;
  } cases[] = {
      {"a listed share", with([](TLayoutInputs&) {})},
      {"MapaFaskel 5 on a bond", with([](TLayoutInputs& in) { in.mapaFaskel = 5, in.assetType = 9; })},
      {"MapaFaskel 23 is no layout", with([](TLayoutInputs& in) { in.mapaFaskel = 23; })},
      {"column 13 at 2", with([](TLayoutInputs& in) { in.column13 = 2, in.assetType = 9; })},
      {"column 13 at 3", with([](TLayoutInputs& in) { in.column13 = 3; })},
      {"exchange 201", with([](TLayoutInputs& in) { in.exchange = 201, in.mapaFaskel = 5; })},
      {"exchange country 80", with([](TLayoutInputs& in) { in.exchangeCountry = 80; })},
      {"exchange not listed", with([](TLayoutInputs& in) { in.exchangeCountry = -1; })},
      {"series not read", with([](TLayoutInputs& in) { in.seriesRead = false, in.mapaFaskel = 5; })},
      {"type 19 in country 10", with([](TLayoutInputs& in) { in.assetType = 19, in.exchangeCountry = 10; })},
      {"type 12 in country 10", with([](TLayoutInputs& in) { in.assetType = 12, in.exchangeCountry = 10; })},
      {"type 21 in country 10", with([](TLayoutInputs& in) { in.assetType = 21, in.exchangeCountry = 10; })},
      {"type 9 in country 4", with([](TLayoutInputs& in) { in.assetType = 9, in.exchangeCountry = 4; })},
      {"type 9 in country 5", with([](TLayoutInputs& in) { in.assetType = 9, in.exchangeCountry = 5; })},
      {"type 12 in country 3", with([](TLayoutInputs& in) { in.assetType = 12, in.exchangeCountry = 3; })},
      {"type 7 on exchange 60", with([](TLayoutInputs& in) { in.assetType = 7, in.exchange = 60; })},
      {"type 7 on exchange 1", with([](TLayoutInputs& in) { in.assetType = 7; })},
  };
  std::ostringstream got;
  for (const auto& c : cases) got << c.what << ": " << c.layout << "\n";
  EXPECT_EQ(got.str(),
            "a listed share: 1\n"
            "MapaFaskel 5 on a bond: 5\n"
            "MapaFaskel 23 is no layout: 1\n"
            "column 13 at 2: 6\n"
            "column 13 at 3: 0\n"
            "exchange 201: 0\n"
            "exchange country 80: 0\n"
            "exchange not listed: 0\n"
            "series not read: 0\n"
            "type 19 in country 10: 1\n"
            "type 12 in country 10: 14\n"
            "type 21 in country 10: 14\n"
            "type 9 in country 4: 17\n"
            "type 9 in country 5: 1\n"
            "type 12 in country 3: 18\n"
            "type 7 on exchange 60: 12\n"
            "type 7 on exchange 1: 1\n");
}

TEST_F(QuoteFieldsTest, HeadingsAreShortCaptionsInTheSessionLanguage) {
  ZiGlobs().lingua = 1;
  std::string headings;
  for (int position = 1; position <= kQuoteValues; ++position) headings += ColumnHeading(5, position) + ",";
  EXPECT_EQ(headings, "-,-,-,-,Close,Tot Invest,-,Net Assets,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,-,");
  EXPECT_EQ(ColumnHeading(0, 5), "-");
  ZiGlobs().lingua = 0;
  EXPECT_EQ(ColumnHeading(1, 6), "Q Negs");
  ZiGlobs().lingua = 2;
  EXPECT_EQ(ColumnHeading(1, 6), "Num Operac");
}

}  // namespace
}  // namespace zi
