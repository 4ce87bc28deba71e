// The statement check: time per period for formats of 50 to 4000 lines at fill densities 0, 30 and
// 100 %, and two adversarial shapes (one family of 3999 parts, a chain of 2000 "=" lines). The
// cost should grow linearly with the format's lines.
#include <benchmark/benchmark.h>

#include <random>

#include "statements/check.h"

namespace zi {
namespace {

void AddLine(TFormatoBal& f, int conta, int sinal, int ind) {
  TLinhaFmt l{.fmtbal = 1, .seq = static_cast<int32_t>(f.linhas.size()) + 1};
  l.conta = conta;
  l.sinal = static_cast<uint8_t>(sinal);
  l.indentacao = ind;
  f.linhas.push_back(l);
  f.contas.Adiciona(ContaBal{.id = conta, .Nome_Extenso = "Account " + std::to_string(conta)});
}

// Totals of ten parts, three levels deep, like a real balance sheet.
TFormatoBal Realistic(int lines) {
  TFormatoBal f;
  f.id = 1;
  for (int i = 0; i < lines; ++i) {
    const int ind = i % 11 == 0 ? 0 : (i % 11 <= 3 ? 1 : 2);
    AddLine(f, i + 1, i % 11 == 0 ? kSinalNenhum : (i % 7 == 0 ? kSinalMenos : kSinalMais), ind);
  }
  CalculaArvore(f, f.contas);
  return f;
}

TBalanco Filled(const TFormatoBal& f, int percent) {
  TBalanco bal;
  bal.head.meses = 12;
  bal.head.datamoeda = TDayNumber{30000};
  std::mt19937 random(7);
  for (const TLinhaFmt& l : f.linhas) {
    if (static_cast<int>(random() % 100) < percent) bal.Celula(0, l.conta).valor = static_cast<double>(random() % 1000);
  }
  return bal;
}

void Run(benchmark::State& state, const TFormatoBal& f, int percent) {
  const TBalanco original = Filled(f, percent);
  TChecagemBal check(f, f.contas);
  TBalanco bal = original;
  for (auto _ : state) {
    state.PauseTiming();
    bal = original;
    state.ResumeTiming();
    benchmark::DoNotOptimize(check.Checa(bal, 0));
  }
  state.counters["lines"] = static_cast<double>(f.linhas.size());
}

void BM_CheckRealistic(benchmark::State& state) {
  Run(state, Realistic(static_cast<int>(state.range(0))), static_cast<int>(state.range(1)));
}
BENCHMARK(BM_CheckRealistic)->ArgsProduct({{50, 250, 1000, 4000}, {0, 30, 100}})->Unit(benchmark::kMicrosecond);

void BM_CheckOneFamilyOf3999Parts(benchmark::State& state) {
  TFormatoBal f;
  f.id = 1;
  AddLine(f, 1, kSinalNenhum, 0);
  for (int i = 2; i <= 4000; ++i) AddLine(f, i, kSinalMais, 1);
  CalculaArvore(f, f.contas);
  Run(state, f, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_CheckOneFamilyOf3999Parts)->Arg(0)->Arg(30)->Arg(100)->Unit(benchmark::kMicrosecond);

void BM_CheckChainOf2000Totals(benchmark::State& state) {
  TFormatoBal f;
  f.id = 1;
  for (int i = 1; i <= 2000; ++i) AddLine(f, i, i == 1 ? kSinalMais : kSinalIgual, 0);
  CalculaArvore(f, f.contas);
  Run(state, f, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_CheckChainOf2000Totals)->Arg(0)->Arg(30)->Arg(100)->Unit(benchmark::kMicrosecond);

// Building the families once per format, for comparison with a check.
void BM_BuildCheck(benchmark::State& state) {
  const TFormatoBal f = Realistic(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(TChecagemBal(f, f.contas));
}
BENCHMARK(BM_BuildCheck)->Arg(1000)->Arg(4000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zi
