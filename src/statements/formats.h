#pragma once
// Presentation formats: the ordered lines of a statement, the tree of totals and parts their signs
// and indentation define, reading and writing them, the default data-entry lines and line labels.

#include <cstdint>
#include <string>
#include <vector>

#include "statements/accounts.h"

namespace zi {

inline constexpr int kMaxLinhasFmt = 4000;
// Deeper indentation than this shows as this: labels stay short whatever the server holds.
inline constexpr int kMaxIndentacao = 100;

enum TTipoLinhaFmt : uint8_t {
  kLinhaConta = 0,
  kLinhaTituloBloco = 1,
  kLinhaSeparador = 2,
  kLinhaConta2 = 3,  // an account line of the second kind, treated like kind 0
  kLinhaCarteira = 4,
  kLinhaOutra = 255,  // a kind this program does not know
};

enum TSinalFmt : uint8_t { kSinalNenhum = 0, kSinalIgual = 1, kSinalMais = 2, kSinalMaisMenos = 3, kSinalMenos = 4 };

struct TLinhaFmt {
  int32_t fmtbal = 0;
  int32_t seq = 0;
  uint8_t tipo = kLinhaConta;
  int32_t conta = 0;
  uint8_t sinal = kSinalNenhum;  // as stored: import files may give 0..12
  int32_t indentacao = 0;
  int32_t anvert = 0;
  int32_t IdentificacaoDeContas = 0;
  int32_t bloco = 0;
  int32_t IndTituloCarteira = 0;
  int32_t IndTipoCarteira = 0;
  // Computed by the tree.
  int32_t pai = 0;  // the parent's line number (1-based); 0 for none
  bool temPartes = false;
  int32_t nivel = 0;
  bool hidden = false;

  bool EhConta() const { return tipo == kLinhaConta || tipo == kLinhaConta2; }
  // The sign the tree and the check read: a sign they do not know counts as none.
  TSinalFmt Sinal() const { return sinal <= kSinalMenos ? static_cast<TSinalFmt>(sinal) : kSinalNenhum; }
};

struct TFormatoBal {
  int32_t id = 0;
  std::vector<TLinhaFmt> linhas;  // line n is linhas[n - 1]
  // The accounts of the account lines, as the catalogue gave them when the format was read.
  TTabelaDeContas contas;

  void Limpa() {
    id = 0;
    linhas.clear();
    contas.Limpa();
  }
};

// "", "=", "+", "+/-", "-" for signs 0..4; "" for any other.
const char* PrefixoDoSinal(int sinal);

// The parent, parts, level and hidden fields of every line, from the signs and indentation.
void CalculaArvore(TFormatoBal& formato, const TInfoDeContas& contas);

// Puts the lines a server gave in the order of their sequence numbers; 99603 when two lines share
// one (the line numbers would depend on the server's row order).
int OrdenaPorSeq(std::vector<TLinhaFmt>& linhas);

// Reads a format (" SoPer": drop kind-0 lines of accounts that are not periodizable; without
// " ComCPFunc": drop kind-0 lines of accounts computed by a function) and computes its tree. On
// any error the format is cleared and the code returned. Lines kept beyond 4000 are dropped with a
// log line; two lines with one sequence number fail with 99603.
int DbLeFormatoBal(int id, bool soPeriodizavel, bool comContasCalcPorFuncao, TFormatoBal& formato);

// The accounts of the default data-entry lines, in order.
int DbContaBalGetBlocoPadraoNaDigitacao(std::vector<int>& ids);
// Puts an account line for each id at the top (skipping, when asked, accounts with comocalcular 1
// and comocalcular_Num 5) and a separator after them, then recomputes the tree. Lines pushed past
// 4000 fall off. An empty list inserts nothing.
void InsereLinhasPadraoNaDigitacao(TFormatoBal& formato, const std::vector<int>& ids, bool semCampoDoHeader5);

// Writes the format's lines (the rows of the table become the lines, surplus rows deleted) in one
// transaction; 0 or the code.
int DbApresFormatoBalPut(const TFormatoBal& formato);
int DbFormatoBalPut(int id, int pais, const std::string& nome, const std::string& nomeExtenso, int flags);

// The first column of a statement grid: an account's full name, else its short name, else
// "Account #" + id, after two blanks per level and the sign prefix when indented; a block title's
// block name; nothing for other kinds.
std::string LabelDaLinha(const TLinhaFmt& linha, const TInfoDeContas& contas, bool comIndentacao,
                         const std::string& nomeDoBloco);
// The name of an account for texts: full, else short, else "Account #" + id.
std::string NomeDaConta(int id, const TInfoDeContas& contas);

}  // namespace zi
