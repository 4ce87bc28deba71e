#include "session/builtin_tables.h"

#include <gtest/gtest.h>

#include "session/bulletin.h"
#include "session/int_stg_list.h"
#include "session/session.h"

namespace zi {
namespace {

TEST(BuiltinTables, CountryCodesReadBothWays) {
  struct Case {
    const char* code;
    std::optional<int> id;
  } cases[] = {{"uk", 7},  {"GBR", 7},  {"GB", std::nullopt}, {"--", 9},  {"-", 9}, {"---", 9},
               {"75", 75}, {"075", 75}, {"80", std::nullopt}, {"-1", std::nullopt}, {"", std::nullopt},
               {"br", 0},  {"SAU", 69}, {"7x", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(PaisDoCodigo(c.code), c.id) << c.code;

  EXPECT_EQ(CodigoDoPais(7, true), "UK");
  EXPECT_EQ(CodigoDoPais(7, false), "GBR");
  EXPECT_EQ(CodigoDoPais(75, true), "75");
  EXPECT_EQ(CodigoDoPais(75, false), "075");
  for (int id = 0; id < kCountryCount; ++id) {
    EXPECT_EQ(PaisDoCodigo(CodigoDoPais(id, true)), id) << id;
    EXPECT_EQ(PaisDoCodigo(CodigoDoPais(id, false)), id) << id;
  }
}

TEST(BuiltinTables, CurrenciesKnowTheirCountries) {
  EXPECT_EQ(SimboloDaMoeda(1), "BRL");
  EXPECT_EQ(PaisDaMoeda(6), 24);
  EXPECT_EQ(SimboloDaMoeda(31), "#31");
  EXPECT_EQ(SimboloDaMoeda(32), "");
  EXPECT_EQ(PrimeiraMoedaDoPais(4), 5) << "CLP before CLF";
  EXPECT_EQ(PrimeiraMoedaDoPais(9), 0);
  EXPECT_EQ(PrimeiraMoedaDoPais(33), std::nullopt);
}

TEST(BuiltinTables, NamesOfTypesAndSources) {
  EXPECT_EQ(NomeDoDataLogTipo(1), "EmpAdd#1");
  EXPECT_EQ(NomeDoDataLogTipo(43), "ReqGBol#43");
  EXPECT_EQ(NomeDoDataLogTipo(57), "unknown#57");
  EXPECT_EQ(NomeDoDataLogTipo(105), "105#105");
  EXPECT_EQ(NomeDoDataLogTipo(148), "AcertaPosicPaisV2#148");
  EXPECT_EQ(NomeDoDataLogTipo(149), "unknown#149");
  EXPECT_EQ(NomeDoTipoDeBGL(0), "Zor Clients");
  EXPECT_EQ(NomeDoTipoDeBGL(6), "Ombrel");
  EXPECT_EQ(NomeDoTipoDeBGL(9), "TipoDeBGL#9");
  EXPECT_EQ(NomeDaFonte(0), "Local");
  EXPECT_EQ(NomeDaFonte(2), "SEC");
  EXPECT_EQ(NomeDaFonte(5), "sdb#5");
  int withLists = 0;
  for (int code = 0; code < kValueListFieldCodes; ++code) withLists += TemListaDeValores(code);
  EXPECT_EQ(withLists, 1 + 62 + 38 + 100 + 1);
  EXPECT_FALSE(TemListaDeValores(103));
  EXPECT_FALSE(TemListaDeValores(246));
}

TEST(LanguageParts, EmptyPartsTakeTheLastNonEmptyOne) {
  EXPECT_EQ(FillLanguageParts("Nome||"), "Nome|Nome|Nome");
  EXPECT_EQ(FillLanguageParts("A||C"), "A|C|C");
  EXPECT_EQ(FillLanguageParts("Casa|House|"), "Casa|House|House");
  EXPECT_EQ(FillLanguageParts("|B|"), "B|B|B");

  struct Case {
    int lingua;
    const char* shown;
  } cases[] = {{0, "A"}, {1, "C"}, {2, "C"}};
  for (const auto& c : cases) {
    ZiGlobs().lingua = c.lingua;
    EXPECT_EQ(ShownText(FillLanguageParts("A||C")), c.shown) << c.lingua;
  }
  ZiGlobs().lingua = 2;
  EXPECT_EQ(ShownText(FillLanguageParts("Casa|House|")), "House");
  EXPECT_EQ(ShownText("no parts"), "no parts");
  ZiGlobs().lingua = 0;
}

TEST(Bulletin, PendingPriorityIsTheSmallestPositiveOne) {
  ResetBulletinRequest();
  PedeBoletim(5);
  PedeBoletim(3);
  EXPECT_EQ(PendingBulletinPriority(), 3);
  PedeBoletim(7);
  PedeBoletim(0);
  PedeBoletim(-2);
  EXPECT_EQ(PendingBulletinPriority(), 3);
  PedeBoletim(1);
  EXPECT_EQ(PendingBulletinPriority(), 1);
  AppendRequester("[/reqgbol]");
  AppendRequester("[*OBJEMP]");
  EXPECT_EQ(RequesterText(), "[/reqgbol][*OBJEMP]");
  ResetBulletinRequest();
}

}  // namespace
}  // namespace zi
