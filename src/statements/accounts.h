#pragma once
// The account catalogue: the account record, the session's account cache and the writers of
// accounts and block names.

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace zi {

// The characteristic flags in the order the server and import files carry them.
enum TCaracConta : int {
  kCaracPeriodizavel = 0,
  kCaracPeriodizCalc,
  kCaracEmMoeda,
  kCarac03,
  kCarac04,
  kCaracAfetadaPorLote,
  kCaracDoResumo,
  kCaracEhPorAcao,
  kCaracHideNaEsctreco,
  kCaracOferecePriBal,
  kCarac10,
  kCarac11,
  kCarac12,
  kCarac13,
  kCarac14,
  kCarac15,  // the account holds CPF/CNPJ documents
  kCaracCount
};

struct ContaBal {
  int32_t id = 0;
  std::string Nome_Extenso;
  std::string Nome_Compacto;
  int32_t Bloco = 0;
  int32_t OrdemNoBloco = 0;
  int32_t Decimais = 0;
  int32_t Formatacao = 0;
  std::array<bool, kCaracCount> carac{};
  int32_t comocalcular = 0;  // 0 stored, 1 a header field, 2 a function
  int32_t comocalcular_Num = 0;
  bool HideNoZorInput = false;
  int32_t BlocoPadraoNaDigitacao = 0;

  bool Carac(TCaracConta c) const { return carac[static_cast<size_t>(c)]; }
};

// The account information a format's tree and the check read: what the catalogue says of an id.
class TInfoDeContas {
 public:
  virtual ~TInfoDeContas() = default;
  // nullptr when the id names no account.
  virtual const ContaBal* Conta(int id) const = 0;
};

class TTabelaDeContas : public TInfoDeContas {
 public:
  const ContaBal* Conta(int id) const override;
  void Adiciona(const ContaBal& conta) { contas_[conta.id] = conta; }
  void Limpa() { contas_.clear(); }

 private:
  std::unordered_map<int, ContaBal> contas_;
};

// The account of an id, through the session cache: a cache miss with a format id (>= 0) whose
// accounts were not fetched fetches them all; then the single account is read. Raises
// EZorInputException with 3763 for an id outside 1..8000 (before the cache is touched) and with the
// server's code when the account cannot be read.
ContaBal MeDaContaBal(int id, int formato);
// Empties the whole cache (at login, and in tests).
void EsqueceContasBal();

// Writers: 0 or the server's code. An account write or delete empties its cache entry and forgets
// which formats were fetched; a block write reloads the block list.
int DbContaBalPut(const ContaBal& conta, const std::array<std::string, 3>& nomeExtenso,
                  const std::array<std::string, 3>& nomeCompacto);
int DbContaBalDel(int id);
int DbBlocoContaBalPut(int id, const std::string& nomePor, const std::string& nomeIng, const std::string& nomeEsp);

}  // namespace zi
