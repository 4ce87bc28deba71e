// The NAICS picker's levels, selections and scroll positions.

#include "desktop/core/naics_picker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "session/session.h"

namespace zi::desktop {
namespace {

class NaicsPicker : public testing::Test {
 protected:
  void SetUp() override { ZiGlobs().lingua = 1; }
  void TearDown() override { ZiGlobs().lingua = 0; }

  static std::vector<int> Codes(const NaicsPickerModel& picker) {
    std::vector<int> codes;
    for (int row = 0; row < picker.Linhas(); ++row) codes.push_back(picker.Codigo(row));
    return codes;
  }
  static int SelectedCode(const NaicsPickerModel& picker) {
    return picker.Selecionada() < 0 ? -1 : picker.Codigo(picker.Selecionada());
  }
  // The selected code at every level from the opening one up to the sectors.
  static std::vector<int> SelectionsUpwards(NaicsPickerModel picker) {
    std::vector<int> codes = {SelectedCode(picker)};
    while (picker.Sobe()) codes.push_back(SelectedCode(picker));
    return codes;
  }
};

TEST_F(NaicsPicker, OpensAtTheCodesLevelWithItsAncestorSelectedAtEveryLevel) {
  const struct {
    int code, level;
    std::vector<int> selections;
  } cases[] = {{3114, 3, {3114, 311, 31}}, {4511, 3, {4511, 451, 44}}, {4931, 3, {4931, 493, 48}},
               {311, 2, {311, 31}},         {334, 2, {334, 31}},         {454, 2, {454, 44}},
               {21, 1, {21}},               {92, 1, {92}}};
  for (const auto& c : cases) {
    const NaicsPickerModel picker(c.code);
    EXPECT_EQ(picker.Nivel(), c.level) << c.code;
    EXPECT_EQ(SelectionsUpwards(picker), c.selections) << c.code;
  }
}

TEST_F(NaicsPicker, EachLevelListsTheChildrenOfTheSelectionAbove) {
  NaicsPickerModel picker(3114);
  EXPECT_THAT(Codes(picker), testing::ElementsAre(3111, 3112, 3113, 3114, 3115, 3116, 3117, 3118, 3119));
  EXPECT_EQ(picker.Selecionada(), 3);
  ASSERT_TRUE(picker.Sobe());
  EXPECT_THAT(Codes(picker), testing::ElementsAre(311, 312, 313, 314, 315, 316, 321, 322, 323, 324, 325, 326, 327,
                                                  331, 332, 333, 334, 335, 336, 337, 339));
  ASSERT_TRUE(picker.Sobe());
  EXPECT_THAT(Codes(picker), testing::ElementsAre(11, 21, 22, 23, 31, 42, 44, 48, 51, 52, 53, 54, 55, 56, 61, 62, 71,
                                                  72, 81, 92));
}

TEST_F(NaicsPicker, OpeningAtZeroListsTheSectorsWithNothingSelected) {
  NaicsPickerModel picker(0);
  EXPECT_EQ(picker.Nivel(), 1);
  EXPECT_EQ(picker.Linhas(), 20);
  EXPECT_EQ(picker.Selecionada(), -1);
  EXPECT_FALSE(picker.PodeDescer());
  EXPECT_FALSE(picker.PodeSubir());
  EXPECT_FALSE(picker.Desce());
  EXPECT_EQ(picker.Nivel(), 1);
  EXPECT_EQ(picker.Escolhido(0), 0);
}

TEST_F(NaicsPicker, ACodeOutsideTheTableOpensAtItsNearestAncestorInIt) {
  EXPECT_EQ(SelectionsUpwards(NaicsPickerModel(4510)), (std::vector<int>{451, 44}));
  EXPECT_EQ(SelectionsUpwards(NaicsPickerModel(541512)), (std::vector<int>{5415, 541, 54}));
  for (int code : {12345, 99, 10, -7}) {
    const NaicsPickerModel picker(code);
    EXPECT_EQ(picker.Nivel(), 1) << code;
    EXPECT_EQ(picker.Selecionada(), -1) << code;
    EXPECT_EQ(picker.Escolhido(code), code) << code << " stays when nothing is chosen";
  }
}

TEST_F(NaicsPicker, DownThenUpRestoresTheSelectionAndScrollOfEachLevel) {
  NaicsPickerModel picker(0);
  picker.Seleciona(4);  // 31
  picker.Rola(3);
  ASSERT_TRUE(picker.Desce());
  EXPECT_EQ(picker.Nivel(), 2);
  EXPECT_EQ(picker.Codigo(0), 311);
  EXPECT_EQ(picker.Selecionada(), 0) << "a new parent starts at the top";
  EXPECT_EQ(picker.Rolagem(), 0);
  picker.Seleciona(16);  // 334
  picker.Rola(10);

  ASSERT_TRUE(picker.Sobe());
  EXPECT_EQ(SelectedCode(picker), 31);
  EXPECT_EQ(picker.Rolagem(), 3);

  ASSERT_TRUE(picker.Desce());
  EXPECT_EQ(SelectedCode(picker), 334) << "the same parent keeps the level as it was left";
  EXPECT_EQ(picker.Rolagem(), 10);

  ASSERT_TRUE(picker.Sobe());
  picker.Seleciona(6);  // 44
  ASSERT_TRUE(picker.Desce());
  EXPECT_EQ(SelectedCode(picker), 441) << "another parent starts at the top again";
  EXPECT_EQ(picker.Rolagem(), 0);
  EXPECT_EQ(picker.Escolhido(0), 441);
}

TEST_F(NaicsPicker, DownIsForASelectedRowAboveTheLastLevelAndUpForBelowTheFirst) {
  NaicsPickerModel picker(3114);
  EXPECT_FALSE(picker.PodeDescer());
  EXPECT_FALSE(picker.Desce());
  EXPECT_EQ(picker.Nivel(), 3);
  EXPECT_TRUE(picker.PodeSubir());
  ASSERT_TRUE(picker.Sobe());
  EXPECT_TRUE(picker.PodeDescer());
  EXPECT_TRUE(picker.PodeSubir());
  picker.Seleciona(-1);
  EXPECT_FALSE(picker.PodeDescer());
  ASSERT_TRUE(picker.Sobe());
  EXPECT_FALSE(picker.PodeSubir());
  EXPECT_FALSE(picker.Sobe());
  EXPECT_EQ(picker.Nivel(), 1);
}

TEST_F(NaicsPicker, OkGivesTheSelectedRowsCodeOrKeepsTheCode) {
  NaicsPickerModel picker(3114);
  picker.Seleciona(0);
  EXPECT_EQ(picker.Escolhido(3114), 3111);
  picker.Seleciona(9);  // past the last row
  EXPECT_EQ(picker.Selecionada(), -1);
  EXPECT_EQ(picker.Escolhido(3114), 3114);
}

TEST_F(NaicsPicker, RowsAreTitledInTheSessionLanguage) {
  const struct {
    int lingua;
    const char* title;
  } cases[] = {{0, "Agricultura, pecu\xE1" "ria, silvicultura, pesca e ca\xE7" "a"},
               {1, "Agriculture, Forestry, Fishing and Hunting"},
               {2, "Agricultura, ganader\xED" "a, aprovechamiento forestal, pesca y caza"},
               {3, ""}};
  for (const auto& c : cases) {
    ZiGlobs().lingua = c.lingua;
    const NaicsPickerModel picker(11);
    EXPECT_EQ(picker.Titulo(0), c.title) << c.lingua;
    EXPECT_EQ(picker.Linhas(), 20) << c.lingua << ": the language never hides a code";
  }
}

}  // namespace
}  // namespace zi::desktop
