// The statement check on small formats worked by hand: families, the single-part flag, the fill,
// the grading and the texts byte for byte; and the fast work order against the literal one.
#include <gtest/gtest.h>

#include <random>

#include "check_support.h"

namespace zi {
namespace {

using test::Balanco;
using test::Formato;

constexpr int T = 10, A = 11, B = 12, C = 13;

std::string Nul(std::string text) {
  for (char& c : text)
    if (c == '~') c = '\0';
  return text;
}

TEST(Valorigual, ComparesAsTheCheckDoes) {
  struct Case {
    double a, b;
    bool equal;
  } cases[] = {
      {kMissing, kMissing, true}, {1, kMissing, false},      {kMissing, 1, false},     {10, 10.000000001, true},
      {10, 11, false},            {1e-9, -1e-9, true},       {0, 1e-7, false},         {0, 0, true},
      {-5, -5.00000004, true},    {5, -5, false},            {0, 1e-9, true},          {1e-7, 0, false},
  };
  for (const Case& c : cases) EXPECT_EQ(Valorigual(c.a, c.b), c.equal) << c.a << " " << c.b;
}

TEST(Check, TotalWithAMissingPartIsInErrorAndTheMissingPartIsZero) {
  const TFormatoBal f = Formato({{T, kSinalNenhum, 0}, {A, kSinalMais, 1}, {B, kSinalMais, 1}});
  TBalanco bal = Balanco({{T, 100}, {A, 60}});
  TBalanco calc;
  const TResultadoChecagem r = TChecagemBal(f, f.contas).Checa(bal, kPeriodoFY, 1, &calc);
  EXPECT_EQ(bal.head.ChecagemFalhou, 2);
  EXPECT_TRUE(bal.Celula(0, T).erro);
  EXPECT_FALSE(bal.Celula(0, A).erro);
  // The total is in error, so nothing below it is filled in.
  EXPECT_TRUE(IsMissing(bal.Valor(0, B)));
  EXPECT_EQ(calc.Valor(0, T), 60);
  EXPECT_TRUE(calc.Celula(0, T).CalcOuRx);
  EXPECT_EQ(calc.Valor(0, B), 0);
  EXPECT_EQ(r.texto, "");
  EXPECT_EQ(TextoDaCelula(bal, calc, T, 0, 2, 1), Nul("Error :  ~difference~:40.00 half:20.00"));
}

TEST(Check, NegativePartIsSubtracted) {
  const TFormatoBal f = Formato({{T, kSinalNenhum, 0}, {A, kSinalMais, 1}, {B, kSinalMenos, 1}});
  TBalanco bal = Balanco({{T, 100}, {A, 60}, {B, 40}});
  TBalanco calc;
  TChecagemBal(f, f.contas).Checa(bal, kPeriodoFY, 1, &calc);
  EXPECT_EQ(calc.Valor(0, T), 20);
  EXPECT_TRUE(bal.Celula(0, T).erro);
  EXPECT_EQ(bal.head.ChecagemFalhou, 2);
}

TEST(Check, ZeroTotalMakesItsEmptyPartsZeroAndFillsThem) {
  const TFormatoBal f = Formato({{T, kSinalNenhum, 0}, {A, kSinalMais, 1}, {B, kSinalMais, 1}});
  TBalanco bal = Balanco({{T, 0}});
  bal.head.AceitarFalhaNaChecagem = true;
  const TResultadoChecagem r = TChecagemBal(f, f.contas).Checa(bal, kPeriodoFY);
  EXPECT_EQ(bal.head.ChecagemFalhou, 0);
  EXPECT_FALSE(bal.head.AceitarFalhaNaChecagem);
  for (int conta : {A, B}) {
    EXPECT_EQ(bal.Valor(0, conta), 0);
    EXPECT_TRUE(bal.Celula(0, conta).CalcOuRx);
  }
  EXPECT_FALSE(bal.Celula(0, T).CalcOuRx);
  EXPECT_FALSE(r.semMeses);
}

TEST(Check, MissingTopLevelTotalGradesOneAndIsDescribed) {
  const TFormatoBal f = Formato({{T, kSinalNenhum, 0}, {A, kSinalMais, 1}, {B, kSinalMais, 1}});
  TBalanco bal = Balanco({{A, 200}, {B, 300}});
  bal.head.AceitarFalhaNaChecagem = true;
  TBalanco calc;
  const TResultadoChecagem r = TChecagemBal(f, f.contas).Checa(bal, kPeriodoFY, 1, &calc);
  EXPECT_EQ(bal.head.ChecagemFalhou, 1);
  EXPECT_TRUE(bal.head.AceitarFalhaNaChecagem);
  EXPECT_EQ(r.texto, Nul("  A10:~missing~"));
  EXPECT_TRUE(bal.Celula(0, T).erro);
  EXPECT_TRUE(IsMissing(bal.Valor(0, T)));
  EXPECT_EQ(TextoDaCelula(bal, calc, T, 0, 0, 1), "Calculated : 500");
}

TEST(Check, IdentificationGroupsAgreeWithinTheRatioOrFailTogether) {
  const TFormatoBal f = Formato({{A, kSinalNenhum, 0, 7}, {B, kSinalNenhum, 0, 7}});
  TBalanco same = Balanco({{A, 10}, {B, 10.000000001}});
  TChecagemBal(f, f.contas).Checa(same, kPeriodoFY);
  EXPECT_EQ(same.head.ChecagemFalhou, 0);
  EXPECT_FALSE(same.head.Incompleto);
  TBalanco differ = Balanco({{A, 10}, {B, 11}});
  TChecagemBal(f, f.contas).Checa(differ, kPeriodoFY);
  EXPECT_EQ(differ.head.ChecagemFalhou, 2);
  EXPECT_TRUE(differ.Celula(0, A).erro);
  EXPECT_TRUE(differ.Celula(0, B).erro);
  TBalanco half = Balanco({{A, 10}});
  TChecagemBal(f, f.contas).Checa(half, kPeriodoFY);
  EXPECT_TRUE(half.head.Incompleto);
}

TEST(Check, DisagreeingGroupOfTotalsIsDescribedOnceWithBothValues) {
  const TFormatoBal f = Formato({{T, kSinalNenhum, 0, 7},
                                 {A, kSinalMais, 1},
                                 {B, kSinalMais, 1},
                                 {C, kSinalNenhum, 0, 7},
                                 {20, kSinalMais, 1}});
  TBalanco bal = Balanco({{A, 200}, {B, 300}, {20, 4000}});
  const TResultadoChecagem r = TChecagemBal(f, f.contas).Checa(bal, kPeriodoFY, 10);
  EXPECT_EQ(bal.head.ChecagemFalhou, 1);
  EXPECT_EQ(r.texto, Nul("  A10:50 ~different from~ A13:400"));
  EXPECT_TRUE(bal.head.Incompleto);
}

TEST(Check, StatementWithoutMonthsOrCurrencyDateGradesTwo) {
  const TFormatoBal f = Formato({{T, kSinalNenhum, 0}, {A, kSinalMais, 1}});
  TBalanco bal = Balanco({{T, 5}, {A, 5}});
  bal.head.meses = 0;
  EXPECT_TRUE(TChecagemBal(f, f.contas).Checa(bal, kPeriodoFY).semMeses);
  EXPECT_EQ(bal.head.ChecagemFalhou, 2);
  TBalanco semData = Balanco({{T, 5}, {A, 5}});
  semData.head.datamoeda = kNoDate;
  EXPECT_FALSE(TChecagemBal(f, f.contas).Checa(semData, kPeriodoFY).semMeses);
  EXPECT_EQ(semData.head.ChecagemFalhou, 2);
}

// A part with sign + that opens a family right under a block title makes it a single-part family:
// a zero total then says nothing of its parts. Under an account line, the same parts become 0.
TEST(Check, SinglePartFamilyKeepsItsPartsEmpty) {
  const TFormatoBal single = Formato({{0}, {A, kSinalMais, 0}, {B, kSinalMais, 0}, {T, kSinalIgual, 0}});
  ASSERT_EQ(single.linhas[3].pai, 0);
  ASSERT_EQ(single.linhas[1].pai, 4);
  TBalanco bal = Balanco({{T, 0}});
  TChecagemBal(single, single.contas).Checa(bal, kPeriodoFY);
  EXPECT_TRUE(IsMissing(bal.Valor(0, A)));
  EXPECT_EQ(bal.head.ChecagemFalhou, 0);

  const TFormatoBal plain = Formato({{C, kSinalNenhum, 0}, {A, kSinalMais, 0}, {B, kSinalMais, 0}, {T, kSinalIgual, 0}});
  TBalanco bal2 = Balanco({{T, 0}, {C, 1}});
  TChecagemBal(plain, plain.contas).Checa(bal2, kPeriodoFY);
  EXPECT_EQ(bal2.Valor(0, A), 0);
  EXPECT_TRUE(bal2.Celula(0, A).CalcOuRx);
}

TEST(Check, RunningTwiceGivesTheSameCells) {
  const TFormatoBal f = Formato({{T, kSinalNenhum, 0}, {A, kSinalMais, 1}, {B, kSinalMais, 1}});
  TBalanco bal = Balanco({{T, 100}, {A, 100}});
  TChecagemBal check(f, f.contas);
  check.Checa(bal, kPeriodoFY);
  ASSERT_TRUE(bal.Celula(0, B).CalcOuRx);
  const TBalanco first = bal;
  check.Checa(bal, kPeriodoFY);
  for (int conta : {T, A, B}) {
    EXPECT_EQ(bal.Valor(0, conta), first.Valor(0, conta));
    EXPECT_EQ(bal.Celula(0, conta).CalcOuRx, first.Celula(0, conta).CalcOuRx);
  }
}

TEST(Check, CheckingOnePeriodLeavesTheOtherPeriodsMarks) {
  const TFormatoBal f = Formato({{T, kSinalNenhum, 0}, {A, kSinalMais, 1}});
  TBalanco bal = Balanco({{T, 100}, {A, 60}});
  TChecagemBal check(f, f.contas);
  check.Checa(bal, kPeriodoFY);
  ASSERT_TRUE(bal.Celula(kPeriodoFY, T).erro);
  check.Checa(bal, kPeriodo3M);
  EXPECT_TRUE(bal.Celula(kPeriodoFY, T).erro);
  EXPECT_FALSE(bal.Celula(kPeriodo3M, T).erro);
}

TEST(Check, DivisorNotAboveZeroCountsAsOne) {
  const TFormatoBal f = Formato({{T, kSinalNenhum, 0}, {A, kSinalMais, 1}});
  for (double divisor : {0.0, -3.0, kMissing}) {
    TBalanco bal = Balanco({{A, 7}});
    EXPECT_EQ(TChecagemBal(f, f.contas).Checa(bal, kPeriodoFY, divisor).texto, Nul("  A10:~missing~"));
    TBalanco calc;
    TChecagemBal(f, f.contas).Checa(bal, kPeriodoFY, divisor, &calc);
    EXPECT_EQ(TextoDaCelula(bal, calc, T, 0, 1, divisor), "Calculated : 7.0");
  }
}

// Random formats: the work list in its literal form (a family once per part) and in its short form
// (once per level) give the same statement and text.
TEST(Check, FastOrderMatchesTheLiteralOne) {
  std::mt19937 random(20240410);
  for (int round = 0; round < 400; ++round) {
    TFormatoBal f;
    f.id = 1;
    const int n = 1 + static_cast<int>(random() % 40);
    for (int i = 0; i < n; ++i) {
      TLinhaFmt l{.fmtbal = 1, .seq = i + 1};
      l.tipo = random() % 10 == 0 ? kLinhaTituloBloco : (random() % 2 ? kLinhaConta : kLinhaConta2);
      l.conta = 1 + static_cast<int>(random() % 30);
      l.sinal = static_cast<uint8_t>(random() % 6);
      l.indentacao = static_cast<int>(random() % 4);
      l.IdentificacaoDeContas = random() % 8 == 0 ? 1 + static_cast<int>(random() % 2) : 0;
      ContaBal conta{.id = l.conta, .Nome_Extenso = "C" + std::to_string(l.conta)};
      conta.comocalcular = random() % 5 == 0 ? 1 : 0;
      conta.HideNoZorInput = random() % 9 == 0;
      f.contas.Adiciona(conta);
      f.linhas.push_back(l);
    }
    CalculaArvore(f, f.contas);
    TBalanco bal;
    bal.head.meses = 12;
    bal.head.datamoeda = TDayNumber{100};
    for (int conta = 1; conta <= 30; ++conta) {
      if (random() % 2) bal.Celula(0, conta).valor = static_cast<double>(random() % 5);
    }
    TBalanco literal = bal;
    TBalanco calcFast, calcLiteral;
    const std::string fast = TChecagemBal(f, f.contas).Checa(bal, 0, 1, &calcFast).texto;
    const std::string slow = TChecagemBal(f, f.contas, true).Checa(literal, 0, 1, &calcLiteral).texto;
    ASSERT_EQ(fast, slow) << round;
    ASSERT_EQ(bal.head, literal.head) << round;
    for (int conta = 1; conta <= 30; ++conta) {
      for (const auto& [x, y] : {std::pair(&bal, &literal), std::pair(&calcFast, &calcLiteral)}) {
        const TCelulaBal& a = x->Celula(0, conta);
        const TCelulaBal& b = y->Celula(0, conta);
        ASSERT_TRUE(Valorigual(a.valor, b.valor) && a.CalcOuRx == b.CalcOuRx && a.erro == b.erro) << round << " #" << conta;
      }
    }
  }
}

}  // namespace
}  // namespace zi
