#pragma once
// The financial statement record: its header, its two value tables (the whole period and the last
// three months, each over accounts 1 to 8000), its identity and the labels that name it.

#include <cstdint>
#include <string>
#include <vector>

#include "toolbox/dates.h"
#include "toolbox/numbers.h"

namespace zi {

inline constexpr int kMaxContaBal = 8000;
inline constexpr int kPeriodos = 2;
inline constexpr int kPeriodoFY = 0;  // the whole period, "meses" months
inline constexpr int kPeriodo3M = 1;  // the last three months
inline constexpr int kMaxSourceDoBal = 7;
inline constexpr int kMaxTipoDocumento = 2;
// Document type 1 (credit-receivables fund reports) takes this format whatever the company's.
inline constexpr int kFormatoDoTipoDocumento1 = 74;

// An id out of 1..8000, refused before any cell or cache is touched.
inline constexpr int kContaInvalida = 3763;

constexpr bool ContaValida(int conta) { return conta >= 1 && conta <= kMaxContaBal; }
constexpr bool PeriodoValido(int periodo) { return periodo == kPeriodoFY || periodo == kPeriodo3M; }

struct THeadBal {
  int32_t id = 0;  // 0 for a statement not yet stored
  int32_t empresa = 0;
  TDayNumber dataref;
  uint8_t consolidado = 0;
  uint8_t sourcedobal = 0;
  int32_t meses = 0;
  int32_t moeda = 0;
  TDayNumber datamoeda;
  TDayNumber datadivulgacao;
  TDayNumber DataUltAlteracao;
  int32_t corrmon = 0;
  bool Incompleto = false;
  int32_t ChecagemFalhou = 0;  // 0 passed, 1 only top-level totals missing, 2 inconsistent
  bool AceitarFalhaNaChecagem = false;
  uint8_t TipoDocumento = 0;
  friend bool operator==(const THeadBal&, const THeadBal&) = default;
};

struct TCelulaBal {
  double valor = kMissing;
  bool CalcOuRx = false;  // filled in by the check
  bool erro = false;      // the check found the account inconsistent
};

class TBalanco {
 public:
  TBalanco() : cells_(static_cast<size_t>(kPeriodos * kMaxContaBal)) {}

  THeadBal head;

  // The cell of a valid period and account; callers check ids from outside first (ContaValida).
  TCelulaBal& Celula(int periodo, int conta) { return cells_[Index(periodo, conta)]; }
  const TCelulaBal& Celula(int periodo, int conta) const { return cells_[Index(periodo, conta)]; }
  double Valor(int periodo, int conta) const { return Celula(periodo, conta).valor; }

  // Every header field 0 and every value missing.
  void Limpa();
  void LimpaValores();

 private:
  static size_t Index(int periodo, int conta);
  std::vector<TCelulaBal> cells_;
};

// A statement named without loading it.
struct ChavesBalanco {
  int32_t id = 0;
  int32_t empresa = 0;
  TDayNumber dataref;
  uint8_t consolidado = 0;
  uint8_t TipoDocumento = 0;
  uint8_t sourcedobal = 0;
  friend bool operator==(const ChavesBalanco&, const ChavesBalanco&) = default;
};

// "Financial Statements", "Credit Receivables Funds Reports", "Real Estate Funds Reports", else "TDB#" + n.
std::string NomeDoTipoDocumento(int tipo);
// "Consolidated" / "Non-consolidated".
std::string NomeDoConsolidado(bool consolidado);
// "Yes" / "No", as grids show the flag.
std::string ConsolidadoNaGrade(bool consolidado);
// "Y" / "N", as log lines show it.
char LetraDoConsolidado(bool consolidado);
// The accounting basis 0..9 ("CMI" ... "PCGA-COL"); empty for any other.
std::string NomeDoCorrMon(int corrmon);
// "FY" for period 0, "3M" for period 1.
const char* NomeDoPeriodo(int periodo);
// "YYYY-MM-DD", or "0" for no date.
std::string DataDoBal(TDayNumber day);
// "[Bal#id emp:company date Csld:N tpdocbal:type src:source meses:months]"
std::string LogLabelDoBal(const THeadBal& head);

// A number as the data layer writes it in texts: up to 7 decimals, trailing zeros dropped.
std::string NumeroSimples(double value);

}  // namespace zi
