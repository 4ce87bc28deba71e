#include "statements/statement.h"

#include <array>
#include <cmath>
#include <stdexcept>

#include <fmt/format.h>

namespace zi {

size_t TBalanco::Index(int periodo, int conta) {
  if (!PeriodoValido(periodo) || !ContaValida(conta)) {
    throw std::out_of_range(fmt::format("statement cell {}/{} does not exist", periodo, conta));
  }
  return static_cast<size_t>(periodo * kMaxContaBal + conta - 1);
}

void TBalanco::Limpa() {
  head = {};
  LimpaValores();
}

void TBalanco::LimpaValores() {
  for (TCelulaBal& cell : cells_) cell = {};
}

std::string NomeDoTipoDocumento(int tipo) {
  switch (tipo) {
    case 0: return "Financial Statements";
    case 1: return "Credit Receivables Funds Reports";
    case 2: return "Real Estate Funds Reports";
    default: return "TDB#" + std::to_string(tipo);
  }
}

std::string NomeDoConsolidado(bool consolidado) { return consolidado ? "Consolidated" : "Non-consolidated"; }

std::string ConsolidadoNaGrade(bool consolidado) { return consolidado ? "Yes" : "No"; }

char LetraDoConsolidado(bool consolidado) { return consolidado ? 'Y' : 'N'; }

std::string NomeDoCorrMon(int corrmon) {
  static constexpr std::array<const char*, 10> kNomes = {"CMI",      "LS",      "LS *",     "IFRS",     "PCGA-CHL",
                                                        "NIF-MEX", "PCGA-ARG", "PCGA-PER", "GAAP-USA", "PCGA-COL"};
  return corrmon >= 0 && corrmon < static_cast<int>(kNomes.size()) ? kNomes[static_cast<size_t>(corrmon)] : "";
}

const char* NomeDoPeriodo(int periodo) { return periodo == kPeriodo3M ? "3M" : "FY"; }

std::string DataDoBal(TDayNumber day) { return day.IsNoDate() ? "0" : FormatIsoDate(day); }

std::string LogLabelDoBal(const THeadBal& head) {
  return fmt::format("[Bal#{} emp:{} {} Csld:{} tpdocbal:{} src:{} meses:{}]", head.id, head.empresa,
                     DataDoBal(head.dataref), LetraDoConsolidado(head.consolidado != 0), head.TipoDocumento,
                     head.sourcedobal, head.meses);
}

std::string NumeroSimples(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  std::string text = fmt::format("{:.7f}", value);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  if (text == "-0") text = "0";
  return text;
}

}  // namespace zi
