#include "catalogue/registers.h"

#include <gtest/gtest.h>

namespace zi {
namespace {

TEST(Registers, CompanyRegisterKeepsOneEntryPerExactPair) {
  TListaDeEmpAdded r;
  r.Add("A", 1);
  r.Add("A", 1);
  EXPECT_EQ(r.Count(), 1);
  r.Add("a", 1);
  r.Add("A", 2);
  EXPECT_EQ(r.Count(), 3);
  const struct {
    const char* cod;
    int pais;
    bool in;
  } cases[] = {{"A", 1, true}, {"a", 1, true}, {"A", 2, true}, {"a", 2, false}, {"A ", 1, false}, {"B", 1, false}};
  for (const auto& c : cases) EXPECT_EQ(r.Contains(c.cod, c.pais), c.in) << c.cod << "/" << c.pais;
}

TEST(Registers, ClassRegisterComparesAllThreeParts) {
  TListaDeClassAdded r;
  r.Add("ACME", "ON", 0);
  r.Add("ACME", "ON", 0);
  EXPECT_EQ(r.Count(), 1);
  const struct {
    const char* emp;
    const char* classe;
    int pais;
    bool in;
  } cases[] = {{"ACME", "ON", 0, true}, {"ACME", "on", 0, false}, {"acme", "ON", 0, false},
               {"ACME", "ON", 1, false}, {"ACME", "PN", 0, false}};
  for (const auto& c : cases) EXPECT_EQ(r.Contains(c.emp, c.classe, c.pais), c.in) << c.emp << c.classe << c.pais;
}

TEST(Registers, SeriesRegisterComparesTickerAndExchange) {
  TListaDeSerieAdded r;
  r.Add("PETR4", 1);
  r.Add("PETR4", 1);
  r.Add("PETR4", 2);
  EXPECT_EQ(r.Count(), 2);
  EXPECT_TRUE(r.Contains("PETR4", 2));
  EXPECT_FALSE(r.Contains("petr4", 1));
  EXPECT_FALSE(r.Contains("PETR4", 3));
}

}  // namespace
}  // namespace zi
