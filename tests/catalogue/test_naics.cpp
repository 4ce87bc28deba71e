// The NAICS codes, their titles and their hierarchy.

#include "catalogue/naics.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/naics_tsv.h"

namespace zi {
namespace {

TEST(Naics, TheTableHoldsSectorsSubsectorsAndIndustryGroups) {
  int byLevel[3] = {};
  for (int code = 0; code <= 99999; ++code) {
    if (!NaicsValido(code)) continue;
    ASSERT_GE(code, 10) << code;
    ASSERT_LE(code, 9999) << code;
    ++byLevel[code < 100 ? 0 : code < 1000 ? 1 : 2];
    if (code >= 100) {
      EXPECT_TRUE(NaicsValido(NaicsPai(code))) << code << " has a parent in the table";
    }
  }
  EXPECT_EQ(byLevel[0], 20);
  EXPECT_EQ(byLevel[1], 99);
  EXPECT_EQ(byLevel[2], 312);
}

TEST(Naics, ParentsJoinTheSectorsThatSpanSeveralNumbers) {
  const struct {
    int code, parent;
  } cases[] = {{11, 0},   {21, 0},   {99, 0},     {111, 11},   {1111, 111}, {3114, 311},    {311, 31},
               {334, 31},  {336, 31}, {452, 44},   {454, 44},   {4510, 451}, {481, 48},      {493, 48},
               {4931, 493}, {541512, 54151}};
  for (const auto& c : cases) EXPECT_EQ(NaicsPai(c.code), c.parent) << c.code;
}

TEST(Naics, ACodeIsInsideItselfAndItsAncestors) {
  EXPECT_TRUE(NaicsDentroDe(3361, 3361));
  EXPECT_TRUE(NaicsDentroDe(3361, 336));
  EXPECT_TRUE(NaicsDentroDe(3361, 31));
  EXPECT_TRUE(NaicsDentroDe(541512, 54));
  EXPECT_FALSE(NaicsDentroDe(336, 3361));
  EXPECT_FALSE(NaicsDentroDe(3361, 32));
  EXPECT_FALSE(NaicsDentroDe(0, 0));
}

TEST(Naics, TheTableHolds431CodesEachTitledInTheThreeLanguages) {
  const auto& codes = NaicsTable::Get().Codigos();
  ASSERT_EQ(codes.size(), 431u);
  EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
  for (int code : codes) {
    EXPECT_TRUE(NaicsValido(code)) << code;
    for (int lingua = 0; lingua < 3; ++lingua) EXPECT_NE(NaicsTitulo(code, lingua), "") << code << " " << lingua;
  }
}

TEST(Naics, TitlesAreWindows1252TextInTheSessionLanguage) {
  EXPECT_EQ(NaicsTitulo(11, 0), "Agricultura, pecu\xE1" "ria, silvicultura, pesca e ca\xE7" "a");
  EXPECT_EQ(NaicsTitulo(11, 1), "Agriculture, Forestry, Fishing and Hunting");
  EXPECT_EQ(NaicsTitulo(11, 2), "Agricultura, ganader\xED" "a, aprovechamiento forestal, pesca y caza");
  const struct {
    int code;
    const char* english;
  } cases[] = {{23, "Construction"},
               {31, "Manufacturing"},
               {44, "Retail Trade"},
               {48, "Transportation and Warehousing"},
               {1111, "Oilseed and Grain Farming"},
               {3327, "Machine Shops; Turned Product; and Screw, Nut, and Bolt Manufacturing"},
               {4242, "Drugs and Druggists' Sundries Merchant Wholesalers"},
               {4529, "Other General Merchandise Stores"},
               {5171, "Wired Telecommunications Carriers"},
               {5172, "Wireless Telecommunications Carriers (except Satellite)"},
               {9281, "National Security and International Affairs"}};
  for (const auto& c : cases) EXPECT_EQ(NaicsTitulo(c.code, 1), c.english) << c.code;
  // Codes without translated titles show the English one in every language.
  EXPECT_EQ(NaicsTitulo(23, 0), "Construction");
  EXPECT_EQ(NaicsTitulo(23, 2), "Construction");
}

TEST(Naics, ALanguageOutsideTheThreeGivesNoTitleButLeavesTheCodesValid) {
  for (int lingua : {-1, 3, 99}) {
    EXPECT_EQ(NaicsTitulo(11, lingua), "") << lingua;
    EXPECT_EQ(NaicsTable::Get().Titulo(5171, lingua), "") << lingua;
  }
  EXPECT_TRUE(NaicsValido(11));
  EXPECT_TRUE(NaicsValido(5171));
}

TEST(Naics, CodesOutsideTheTableAreInvalidAndUntitled) {
  EXPECT_FALSE(NaicsValido(0));
  EXPECT_EQ(NaicsTitulo(0, 1), "");
  for (int code : {-11, 10, 12, 30, 32, 45, 49, 99, 110, 4510, 5173, 9999, 11111, 541512}) {
    EXPECT_FALSE(NaicsValido(code)) << code;
    EXPECT_EQ(NaicsTitulo(code, 1), "") << code;
    EXPECT_THAT(NaicsTable::Get().Filhos(code), testing::IsEmpty()) << code;
  }
}

TEST(Naics, LevelsFollowTheNumberOfDigits) {
  const struct {
    int code, level;
  } cases[] = {{0, 0}, {-5, 0}, {1, 1}, {11, 1}, {99, 1}, {100, 2}, {311, 2},
               {999, 2}, {1000, 3}, {3114, 3}, {9999, 3}, {10000, 0}, {541512, 0}};
  for (const auto& c : cases) EXPECT_EQ(NivelDoCodigo(c.code), c.level) << c.code;
}

TEST(Naics, TheChildrenOfZeroAreTheTwentySectors) {
  EXPECT_THAT(NaicsTable::Get().Filhos(0),
              testing::ElementsAre(11, 21, 22, 23, 31, 42, 44, 48, 51, 52, 53, 54, 55, 56, 61, 62, 71, 72, 81, 92));
}

TEST(Naics, TheChildrenOfASectorSpanningSeveralNumbersComeFromAllOfThem) {
  EXPECT_THAT(NaicsTable::Get().Filhos(31),
              testing::ElementsAre(311, 312, 313, 314, 315, 316, 321, 322, 323, 324, 325, 326, 327, 331, 332, 333,
                                   334, 335, 336, 337, 339));
  EXPECT_THAT(NaicsTable::Get().Filhos(44),
              testing::ElementsAre(441, 442, 443, 444, 445, 446, 447, 448, 451, 452, 453, 454));
  EXPECT_THAT(NaicsTable::Get().Filhos(48), testing::ElementsAre(481, 482, 483, 484, 485, 486, 487, 488, 491, 492, 493));
  EXPECT_THAT(NaicsTable::Get().Filhos(517), testing::ElementsAre(5171, 5172, 5174, 5179));
  EXPECT_THAT(NaicsTable::Get().Filhos(3114), testing::IsEmpty());
}

TEST(Naics, EveryCodeIsAChildOfItsParent) {
  size_t children = NaicsTable::Get().Filhos(0).size();
  for (int code : NaicsTable::Get().Codigos()) {
    const auto& siblings = NaicsTable::Get().Filhos(NaicsPai(code));
    EXPECT_THAT(siblings, testing::Contains(code)) << code;
    children += NaicsTable::Get().Filhos(code).size();
  }
  EXPECT_EQ(children, 431u);
}

// The reader that checks the data file while it is compiled in.
TEST(NaicsTsv, ReadsRowsAndNotes) {
  constexpr std::string_view text = "# a note\n11\tum\tone\tuno\n111\tdois; 2\ttwo\tdos\n";
  static_assert(ContaNaicsTsv(text) == 2);
  std::vector<TNaicsLinha> rows;
  EXPECT_TRUE(LeNaicsTsv(text, [&rows](const TNaicsLinha& row) { rows.push_back(row); }));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].codigo, 111);
  EXPECT_EQ(rows[1].titulos[0], "dois; 2");
  EXPECT_EQ(rows[1].titulos[1], "two");
  EXPECT_EQ(rows[1].titulos[2], "dos");
  EXPECT_EQ(ContaNaicsTsv("11\ta\tb\tc"), 1) << "the last line needs no line end";
}

TEST(NaicsTsv, RefusesMalformedLines) {
  const char* cases[] = {
      "11\ta\tb\n",                  // a title missing
      "11\ta\tb\tc\td\n",            // one too many
      "11\ta\t\tc\n",                // an empty title
      "11\ta\tb\tc\r\n",             // a control character
      "\n",                           // an empty line
      "011\ta\tb\tc\n",               // a leading zero
      "12345\ta\tb\tc\n",             // five digits
      "x1\ta\tb\tc\n",                // no code
      "11 \ta\tb\tc\n",               // no tab after the code
      "21\ta\tb\tc\n11\ta\tb\tc\n",  // out of order
      "11\ta\tb\tc\n11\ta\tb\tc\n",  // twice
  };
  for (const char* text : cases) EXPECT_EQ(ContaNaicsTsv(text), -1) << text;
}

}  // namespace
}  // namespace zi
