// The name normaliser of *OBJEMPABREV: abbreviations, casing terms, default capitalisation, the
// Windows-1252 letters, and its lists as the server keeps them.

#include "import/name_normaliser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/logged_in_database.h"

namespace zi {
namespace {

using testing::HasSubstr;

TNormalizadorDeNomes Normaliser() {
  TNormalizadorDeNomes normaliser;
  normaliser.Monta({{"Sociedade Anonima", "S.A."},
                    {"sociedade", "Soc."},
                    {"companhia", " Cia. "},
                    {"", "empty keys are dropped"},
                    {"  ", "and blank ones"}},
                   {{"do", ""}, {"BR", ""}, {"e", ""}});
  return normaliser;
}

TEST(NameNormaliser, TablesHoldTheLongestKeysFirstAndNoEmptyOnes) {
  const TNormalizadorDeNomes normaliser = Normaliser();
  ASSERT_EQ(normaliser.Abreviacoes().size(), 3u);
  EXPECT_EQ(normaliser.Abreviacoes()[0].chave, "sociedade anonima");
  EXPECT_EQ(normaliser.Abreviacoes()[0].substituto, "S.A.");
  EXPECT_EQ(normaliser.Abreviacoes()[1].chave, "companhia");
  EXPECT_EQ(normaliser.Abreviacoes()[1].substituto, "Cia.");
  ASSERT_EQ(normaliser.Casos().size(), 3u);
  EXPECT_EQ(normaliser.Casos()[0].chave, "br");
  EXPECT_EQ(normaliser.Casos()[0].substituto, "BR");
  EXPECT_EQ(normaliser.Casos()[1].chave, "do");
}

TEST(NameNormaliser, NamesTakeTheAbbreviationsTheCasingTermsAndCapitals) {
  const TNormalizadorDeNomes normaliser = Normaliser();
  const struct {
    const char* name;
    const char* normalised;
  } cases[] = {
      {"SOCIEDADE ANONIMA  PETROLEO", "S.A. Petroleo"},
      {"SOCIEDADE LIMITADA", "Soc. Limitada"},
      {"COMPANHIA VALE DO RIO DOCE", "Cia. Vale do Rio Doce"},
      {"do brasil", "Do Brasil"},
      {"BANCO DO BR", "Banco do BR"},
      {"DOCAS DO PORTO", "Docas do Porto"},
      {"CAFE E ACUCAR--MOAGEM  ", "Cafe e Acucar-Moagem"},
      {"\x93" "ABC\x94 \x96 XYZ \x97 1A2B", "\"Abc\" - Xyz - 1a2b"},
      {"PETR\xD3LEO \xC9" "DITIONS \x8AKODA \x8C" "UVRE \x8E" "ELEZO \x9FVES",
       "Petr\xF3leo \xC9" "ditions \x8A" "koda \x8C" "uvre \x8E" "elezo \x9Fves"},
      {"\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8 \xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD8\xD9\xDA\xDB\xDC\xDD\xDE \xD7",
       "\xC0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8 \xD0\xF1\xF2\xF3\xF4\xF5\xF6\xF8\xF9\xFA\xFB\xFC\xFD\xFE \xD7"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(normaliser.Normaliza(c.name), c.normalised) << c.name;
}

TEST(NameNormaliser, DefaultCapitalisationCollapsesRepeatedSeparators) {
  EXPECT_EQ(CapitalizacaoPadrao("a  b..c"), "A B.C");
  EXPECT_EQ(CapitalizacaoPadrao("x1y z"), "X1y Z");
}

class NameListsTest : public test::LoggedInDatabase {};

// The lists come from the server per country; one that cannot be read leaves the name alone.
TEST_F(NameListsTest, ANormaliserIsBuiltForTheCountryAskedFor) {
  Sql("INSERT INTO BufPorPais (pais, tipo, conteudo) VALUES (0, 1, 'sociedade anonima = S.A.\r\n\r\n"
      "companhia=Cia.'), (0, 2, 'do\nBR'), (1, 1, 'incorporated = Inc.')");
  TNormalizadorDeNomes normaliser;
  EXPECT_EQ(NormalizaNome(normaliser, 0, "COMPANHIA DO BR SOCIEDADE ANONIMA"), "Cia. do BR S.A.");
  EXPECT_EQ(NormalizaNome(normaliser, 1, "ACME INCORPORATED DO BR"), "Acme Inc. Do Br");
  EXPECT_EQ(NormalizaNome(normaliser, 2, "SEM LISTAS"), "Sem Listas") << "a country without lists";
  for (const auto& [call, code] : {std::pair{1, 15679}, std::pair{2, 15680}}) {
    TNormalizadorDeNomes fresh;
    Driver().InjectFaults({.failCall = call});
    EXPECT_EQ(NormalizaNome(fresh, 0, "COMPANHIA X"), "COMPANHIA X");
    EXPECT_THAT(Log(), HasSubstr("Warn:" + std::to_string(code) + " pais:0 nome:[COMPANHIA X]"));
    Driver().InjectFaults({});
    EXPECT_EQ(NormalizaNome(fresh, 0, "COMPANHIA X"), "Cia. X") << "read again at the next name";
  }
}

TEST(NameListText, EntriesAreSplitAtLineEndsAndAtTheirFirstEqualsSign) {
  TListaStringsAbrev list;
  list.LeTexto("b = x = y\r\n\n  a=1\r  \rc");
  EXPECT_EQ(list.Entradas(), (std::vector<std::pair<std::string, std::string>>{{"a", "1"}, {"b", "x = y"}, {"c", ""}}));
}

}  // namespace
}  // namespace zi
