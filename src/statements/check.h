#pragma once
// The statement check: the format's tree of totals and parts applied to one period of a statement.
// It fills what it can compute, marks the accounts in error, grades the statement and describes
// the missing or disagreeing top-level totals. A pure function of the format, the statement and
// the account information.

#include <cstdint>
#include <string>
#include <vector>

#include "statements/formats.h"
#include "statements/statement.h"

namespace zi {

// b missing: equal when a is missing too; otherwise equal when equal, when b / a lies within 1e-8
// of 1, or when both lie within 1e-8 of zero.
bool Valorigual(double a, double b);

struct TResultadoChecagem {
  // The missing or disagreeing top-level totals, entries separated by blanks, the words set off by
  // NUL characters.
  std::string texto;
  bool semMeses = false;  // the statement has no months
};

class TChecagemBal {
 public:
  // Builds the families, their order and the identification groups once. The format and the
  // account information must outlive the object. With ordemLiteral every family is summed once per
  // part, as the work list names it; without, once per level (the results are the same).
  TChecagemBal(const TFormatoBal& formato, const TInfoDeContas& contas, bool ordemLiteral = false);

  // Checks one period (0 or 1) in place: the period's calculated cells and error marks are cleared
  // first, the other period's are left alone. A divisor not above 0 (or NaN) counts as 1. With
  // calculado, a fresh record receives the calculated statement.
  TResultadoChecagem Checa(TBalanco& bal, int periodo, double divisor = 1.0, TBalanco* calculado = nullptr);

 private:
  struct Familia {
    int32_t linha = -1;  // 0-based
    int32_t base = -1;
    bool umaParte = false;
    std::vector<int32_t> partes;
  };
  struct Estado {
    double stored = kMissing;
    double calc = kMissing;
    bool hasStored = false;
    bool hasCalc = false;
    bool erro = false;
    bool consistente = false;
  };

  bool EhConta(int32_t i) const;
  double Valor(int32_t i) const;
  bool Oferece(int32_t i, double x);
  bool PassoDeSoma();
  bool PassoDeZeros();
  bool Confiavel(int32_t i) const;
  void Preenche(TBalanco& bal, int periodo);
  std::string Descreve(int32_t i, double divisor, std::vector<uint8_t>& descrito) const;

  const TFormatoBal& formato_;
  const TInfoDeContas& contas_;
  std::vector<Familia> familias_;
  std::vector<int32_t> familiaDaLinha_;  // index into familias_, -1 for a line without parts
  std::vector<int32_t> ordem_;           // families, shallowest first
  std::vector<std::vector<int32_t>> grupos_;
  std::vector<int32_t> grupoDaLinha_;  // index into grupos_, -1 outside a group of two or more
  std::vector<Estado> estado_;
};

// The cell text of the statement window for an account computed from stored values (comocalcular
// 0), from the checked statement a and the calculated statement b: the difference when the cell is
// in error, the calculated value when it was left empty; else nothing.
std::string TextoDaCelula(const TBalanco& a, const TBalanco& b, int conta, int periodo, int decimais, double divisor);

}  // namespace zi
