// Presentation formats: the line tree, labels and ordering by themselves; reading, writing and the
// default data-entry lines through the embedded server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "check_support.h"
#include "database_support.h"
#include "statements/formats.h"
#include "toolbox/own_codes.h"

namespace zi {
namespace {

using test::Formato;
using test::StatementDatabaseTest;
using testing::ElementsAre;

// Each line as "parent.level", "*" when it has parts.
std::string Arvore(const TFormatoBal& f) {
  std::string text;
  for (const TLinhaFmt& l : f.linhas)
    text += std::to_string(l.pai) + "." + std::to_string(l.nivel) + (l.temPartes ? "*" : "") + " ";
  return text;
}

struct TCasoDeArvore {
  const char* nome;
  std::initializer_list<test::TLinhaDeTeste> linhas;
  const char* arvore;
};

TEST(LineTree, SignsAndIndentationMakeParentsPartsAndLevels) {
  const TCasoDeArvore casos[] = {
      {"total below its parts; a deeper line joins the part above it",
       {{1, kSinalMais, 1}, {2, kSinalMenos, 1}, {3, kSinalMais, 2}, {4, kSinalIgual, 1}},
       "4.1 4.1* 2.2 0.0* "},
      {"two totals at one indentation: the lower takes the upper and stops",
       {{1, kSinalMais}, {2, kSinalIgual}, {3, kSinalIgual}},
       "2.2 3.1* 0.0* "},
      {"a block title ends the upward scan", {{1, kSinalMais}, {0}, {2, kSinalIgual}}, "0.0 0.0 0.0 "},
      {"a line without sign is passed over upwards", {{1, kSinalMais}, {2}, {3, kSinalIgual}}, "3.1 0.0 0.0* "},
      {"an unknown sign counts as none", {{1, 9}, {2, kSinalIgual}}, "0.0 0.0 "},
      {"downwards: one level deeper is a part, deeper still is passed over",
       {{1}, {2, kSinalMais, 1}, {3, kSinalMais, 2}, {4, kSinalMais, 1}, {5}},
       "0.0* 1.1* 2.2 1.1 0.0 "},
      {"the last claim wins and levels follow parents that come later",
       {{1}, {2, kSinalMais, 1}, {3, kSinalIgual, 1}},
       "0.0* 3.2 1.1* "},
  };
  for (const TCasoDeArvore& caso : casos) EXPECT_EQ(Arvore(Formato(caso.linhas)), caso.arvore) << caso.nome;
}

TEST(LineTree, SecondKindOfAccountLineTakesPartAndHiddenComesFromTheCatalogue) {
  TFormatoBal f = Formato({{1}, {2, kSinalMais, 1}, {3, kSinalMais, 1}});
  f.linhas[1].tipo = kLinhaConta2;
  f.linhas[2].tipo = kLinhaSeparador;
  ContaBal escondida;
  escondida.id = 2;
  escondida.HideNoZorInput = true;
  f.contas.Adiciona(escondida);
  CalculaArvore(f, f.contas);
  EXPECT_EQ(Arvore(f), "0.0* 1.1 0.0 ");
  EXPECT_FALSE(f.linhas[0].hidden);
  EXPECT_TRUE(f.linhas[1].hidden);
}

TEST(FormatLines, LabelsShowNameIndentationAndSign) {
  TTabelaDeContas contas;
  contas.Adiciona({.id = 1, .Nome_Extenso = "Receita", .Nome_Compacto = "Rec"});
  contas.Adiciona({.id = 2, .Nome_Compacto = "Custo"});
  contas.Adiciona({.id = 3});
  const struct {
    TLinhaFmt linha;
    bool comIndentacao;
    const char* label;
  } casos[] = {
      {{.conta = 1, .sinal = kSinalIgual, .indentacao = 2}, false, "Receita"},
      {{.conta = 1, .sinal = kSinalIgual, .indentacao = 2}, true, "    =Receita"},
      {{.tipo = kLinhaConta2, .conta = 2, .sinal = kSinalMaisMenos, .indentacao = 1}, true, "  +/-Custo"},
      {{.conta = 3, .sinal = 7, .indentacao = 1}, true, "  Account #3"},
      {{.conta = 4}, false, "Account #4"},
      {{.tipo = kLinhaTituloBloco, .bloco = 5}, true, "Ativo"},
      {{.tipo = kLinhaSeparador}, true, ""},
      {{.tipo = kLinhaCarteira, .indentacao = 1}, true, ""},
  };
  for (const auto& caso : casos) EXPECT_EQ(LabelDaLinha(caso.linha, contas, caso.comIndentacao, "Ativo"), caso.label);
}

TEST(FormatLines, ServerRowsAreOrderedBySequenceAndOneSequenceTwiceFails) {
  std::vector<TLinhaFmt> linhas = {{.seq = 3, .conta = 30}, {.seq = 1, .conta = 10}, {.seq = 4000, .conta = 40}};
  ASSERT_EQ(OrdenaPorSeq(linhas), 0);
  std::vector<int> contas;
  for (const TLinhaFmt& l : linhas) contas.push_back(l.conta);
  EXPECT_THAT(contas, ElementsAre(10, 30, 40));
  linhas.push_back({.seq = 3});
  EXPECT_EQ(OrdenaPorSeq(linhas), kFormatDuplicateSeq);
}

// Accounts: 1 periodizable; 2 not; 3 periodizable, the header field 5; 4 periodizable, a function.
constexpr const char* kContas =
    "*CBAL 1 Um One Uno U O U 1 1 0 0 0 0 Y N N N N N N N N N N N N N N N\n"
    "*CBAL 2 Dois Two Dos D T D 1 2 0 0 0 0 N N N N N N N N N N N N N N N N\n"
    "*CBAL 3 Tres Three Tres T T T 1 3 0 0 1 5 Y N N N N N N N N N N N N N N N\n"
    "*CBAL 4 Quatro Four Cuatro Q F C 1 4 0 0 2 1 Y N N N N N N N N N N N N N N N\n"
    "*FBAL 7 0 Teste Teste\n";

class FormatDatabase : public StatementDatabaseTest {
 protected:
  void SetUp() override {
    StatementDatabaseTest::SetUp();
    ASSERT_EQ(Import(kContas), 0) << Log();
  }
  // Writes format 7 with one kind-0 line per account and a kind-3 line of account 2.
  void EscreveFormato(std::initializer_list<TLinhaFmt> linhas) {
    TFormatoBal f;
    f.id = 7;
    for (TLinhaFmt l : linhas) {
      l.fmtbal = 7;
      l.seq = static_cast<int32_t>(f.linhas.size()) + 1;
      f.linhas.push_back(l);
    }
    ASSERT_EQ(DbApresFormatoBalPut(f), 0) << Log();
  }
  static std::vector<int> Contas(const TFormatoBal& f) {
    std::vector<int> contas;
    for (const TLinhaFmt& l : f.linhas) contas.push_back(l.tipo == kLinhaConta ? l.conta : -l.tipo - l.conta);
    return contas;
  }
};

TEST_F(FormatDatabase, ReaderDropsLinesAsItsFlagsSay) {
  EscreveFormato({{.conta = 1}, {.conta = 2}, {.conta = 3}, {.conta = 4}, {.tipo = kLinhaConta2, .conta = 2}});
  const struct {
    bool soPeriodizavel;
    bool comFuncao;
    std::vector<int> contas;  // kind-3 lines as -3 - account
  } casos[] = {
      {false, true, {1, 2, 3, 4, -5}},
      {false, false, {1, 2, 3, -5}},
      {true, true, {1, 4, -5}},
      {true, false, {1, -5}},
  };
  for (const auto& caso : casos) {
    TFormatoBal f;
    ASSERT_EQ(DbLeFormatoBal(7, caso.soPeriodizavel, caso.comFuncao, f), 0);
    EXPECT_EQ(Contas(f), caso.contas) << caso.soPeriodizavel << caso.comFuncao;
    EXPECT_EQ(f.id, 7);
  }
}

// The embedded server's table cannot hold what a faulty central server might send: a plain table
// stands in for it.
TEST_F(FormatDatabase, ServerRowsBeyondTheLimitOrSharingASequenceAreHandled) {
  Sql("DROP TABLE ApresFmtBalItems");
  Sql("CREATE TABLE ApresFmtBalItems (fmtbal INTEGER, seq INTEGER, tipo INTEGER, conta INTEGER, sinal INTEGER, "
      "indentacao INTEGER, anvert INTEGER, IdentificacaoDeContas INTEGER, bloco INTEGER, IndTituloCarteira INTEGER, "
      "IndTipoCarteira INTEGER)");
  Sql("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 4001) "
      "INSERT INTO ApresFmtBalItems SELECT 7, i, 2, 0, 0, 0, 0, 0, NULL, NULL, NULL FROM n");
  TFormatoBal f;
  ASSERT_EQ(DbLeFormatoBal(7, true, false, f), 0);
  EXPECT_EQ(f.linhas.size(), 4000u);
  EXPECT_EQ(f.linhas.back().seq, 4000);
  EXPECT_NE(Log().find("MeDaAFB#7 lines beyond 4000 dropped"), std::string::npos) << Log();

  Sql("INSERT INTO ApresFmtBalItems VALUES (7, 12, 0, 1, 0, 0, 0, 0, NULL, NULL, NULL)");
  EXPECT_EQ(DbLeFormatoBal(7, true, true, f), kFormatDuplicateSeq);
  EXPECT_TRUE(f.linhas.empty());
  EXPECT_EQ(f.id, 0);
  EXPECT_NE(Log().find("MeDaAFB#7 SoPer ComCPFunc erro:99603"), std::string::npos);
}

TEST_F(FormatDatabase, WritingFewerLinesDeletesTheSurplusAndClearsTheFlags) {
  EscreveFormato({{.conta = 1}, {.conta = 2}, {.conta = 3}});
  Sql("UPDATE ApresFmtBalItems SET hidden = 1, cafecomleite = 1, NaoPodeCalcular = 1, NaoPodeDigitar = 1");
  EscreveFormato({{.conta = 3, .sinal = kSinalIgual, .indentacao = 1},
                  {.tipo = kLinhaTituloBloco, .conta = 9, .bloco = 2},
                  {.tipo = kLinhaCarteira, .conta = 9, .indentacao = 2, .IndTituloCarteira = 5, .IndTipoCarteira = 6}});
  const auto sets = Sql(
      "SELECT seq, tipo, conta, sinal, indentacao, bloco, IndTituloCarteira, IndTipoCarteira, "
      "hidden + cafecomleite + NaoPodeCalcular + NaoPodeDigitar FROM ApresFmtBalItems ORDER BY seq");
  std::string rows;
  for (const auto& row : sets.at(0).rows) {
    for (const DbValue& v : row) rows += (v.IsNull() ? "-" : std::to_string(v.AsInteger())) + " ";
    rows += "| ";
  }
  EXPECT_EQ(rows, "1 0 3 1 1 - - - 0 | 2 1 9 0 0 2 - - 0 | 3 4 9 0 2 - 5 6 0 | ");
  EscreveFormato({});
  EXPECT_EQ(SqlValue("SELECT count(*) FROM ApresFmtBalItems"), 0);
}

TEST_F(FormatDatabase, DefaultDataEntryLinesGoOnTopWithASeparator) {
  Sql("INSERT INTO BlocoPadraoNaDigitacao (Num, IdConta) VALUES (2, 1), (1, 3)");
  std::vector<int> ids;
  ASSERT_EQ(DbContaBalGetBlocoPadraoNaDigitacao(ids), 0);
  ASSERT_EQ(ids, (std::vector<int>{3, 1}));
  const TFormatoBal formato = Formato({{2}, {4, kSinalMais, 1}});
  const struct {
    std::vector<int> ids;
    bool semCampoDoHeader5;
    std::vector<int> contas;  // a separator as -2
    const char* arvore;
  } casos[] = {
      {ids, false, {3, 1, -2, 2, 4}, "0.0 0.0 0.0 0.0* 4.1 "},
      {ids, true, {1, -2, 2, 4}, "0.0 0.0 0.0* 3.1 "},
      {{}, false, {2, 4}, "0.0* 1.1 "},
  };
  for (const auto& caso : casos) {
    TFormatoBal f = formato;
    InsereLinhasPadraoNaDigitacao(f, caso.ids, caso.semCampoDoHeader5);
    EXPECT_EQ(Contas(f), caso.contas);
    EXPECT_EQ(Arvore(f), caso.arvore);
  }
  TFormatoBal cheio;
  cheio.linhas.assign(kMaxLinhasFmt, TLinhaFmt{.tipo = kLinhaSeparador});
  cheio.linhas.back().tipo = kLinhaCarteira;
  InsereLinhasPadraoNaDigitacao(cheio, {1}, false);
  EXPECT_EQ(cheio.linhas.size(), static_cast<size_t>(kMaxLinhasFmt));
  EXPECT_EQ(cheio.linhas.front().conta, 1);
  EXPECT_EQ(cheio.linhas.back().tipo, kLinhaSeparador);
}

}  // namespace
}  // namespace zi
