// The NAICS codes and their hierarchy.

#include "catalogue/naics.h"

#include <gtest/gtest.h>

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
  } cases[] = {{11, 0}, {99, 0}, {111, 11}, {1111, 111}, {311, 31}, {336, 31}, {452, 44}, {454, 44},
               {481, 48}, {493, 48}, {4931, 493}, {541512, 54151}};
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

}  // namespace
}  // namespace zi
