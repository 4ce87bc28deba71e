#include "statements/accounts.h"

#include <set>

#include "db/connection.h"
#include "session/reference_data.h"
#include "statements/statement.h"
#include "toolbox/errors.h"

namespace zi {

namespace {

using db::TDataSetHolder;
using db::ZiDb;

constexpr int kSemComando = 3939;
constexpr std::array<const char*, kCaracCount> kCaracColumns = {
    "carac_Periodizavel", "carac_PeriodizCalc",   "carac_EmMoeda",  "carac_03",       "carac_04",
    "carac_AfetadaPorLote", "carac_DoResumo",     "carac_EhPorAcao", "carac_HideNaEsctreco", "carac_OferecePriBal",
    "carac_10",           "carac_11",             "carac_12",       "carac_13",       "carac_14",
    "carac_15"};

// Entries by id, held only for ids that were asked for and found: an id from a bad line allocates
// nothing.
struct TCacheDeContas {
  std::unordered_map<int, ContaBal> contas;
  std::set<int> formatosLidos;
};

TCacheDeContas& Cache() {
  static TCacheDeContas cache;
  return cache;
}

ContaBal LeConta(const db::TDbCommand& c) {
  ContaBal conta;
  conta.id = c.FieldAsInteger("id");
  conta.Nome_Extenso = c.FieldAsText("Nome_Extenso");
  conta.Nome_Compacto = c.FieldAsText("Nome_Compacto");
  conta.Bloco = c.FieldAsInteger("Bloco");
  conta.OrdemNoBloco = c.FieldAsInteger("OrdemNoBloco");
  conta.Decimais = c.FieldAsInteger("Decimais");
  conta.Formatacao = c.FieldAsInteger("Formatacao");
  for (size_t i = 0; i < kCaracColumns.size(); ++i) conta.carac[i] = c.FieldAsBoolean(kCaracColumns[i]);
  conta.comocalcular = c.FieldAsInteger("comocalcular");
  conta.comocalcular_Num = c.FieldAsInteger("comocalcular_Num");
  conta.HideNoZorInput = c.FieldAsBoolean("HideNoZorInput");
  conta.BlocoPadraoNaDigitacao = c.FieldAsInteger("BlocoPadraoNaDigitacao");
  return conta;
}

// Stores every row whose id lies in the range; 0 or the code of the call.
int LeContas(const char* procedure, int id) {
  TDataSetHolder c(ZiDb(), procedure);
  if (!c) return kSemComando;
  c->SetInteger("@id", id);
  if (const int code = ZiDb().ExecStProc(*c, 2)) return code;
  for (; !c->Eof(); c->Next()) {
    ContaBal conta = LeConta(*c);
    if (ContaValida(conta.id)) Cache().contas[conta.id] = std::move(conta);
  }
  return 0;
}

void EsqueceConta(int id) {
  Cache().contas.erase(id);
  Cache().formatosLidos.clear();
}

}  // namespace

const ContaBal* TTabelaDeContas::Conta(int id) const {
  const auto it = contas_.find(id);
  return it == contas_.end() ? nullptr : &it->second;
}

ContaBal MeDaContaBal(int id, int formato) {
  if (!ContaValida(id)) throw EZorInputException(kContaInvalida);
  TCacheDeContas& cache = Cache();
  auto it = cache.contas.find(id);
  if (it == cache.contas.end() && formato >= 0 && cache.formatosLidos.insert(formato).second) {
    if (const int code = LeContas("ContaBalDoFBalGet", formato)) throw EZorInputException(code);
    it = cache.contas.find(id);
  }
  if (it == cache.contas.end()) {
    int code = 0;
    try {
      code = LeContas("ContaBalGet", id);
    } catch (const std::exception&) {
      cache.contas.erase(id);
      throw;
    }
    it = cache.contas.find(id);
    if (code != 0 || it == cache.contas.end()) {
      cache.contas.erase(id);
      // The server answered without the account: it does not exist.
      throw EZorInputException(code != 0 ? code : kContaInvalida);
    }
  }
  return it->second;
}

void EsqueceContasBal() {
  Cache().contas.clear();
  Cache().formatosLidos.clear();
}

int DbContaBalPut(const ContaBal& conta, const std::array<std::string, 3>& nomeExtenso,
                  const std::array<std::string, 3>& nomeCompacto) {
  int code = kSemComando;
  {
    TDataSetHolder c(ZiDb(), "ContaBalPut");
    if (c) {
      c->SetInteger("@id", conta.id);
      c->SetText("@nome_extenso_Por", nomeExtenso[0]);
      c->SetText("@nome_extenso_Ing", nomeExtenso[1]);
      c->SetText("@nome_extenso_Esp", nomeExtenso[2]);
      c->SetText("@nome_compacto_Por", nomeCompacto[0]);
      c->SetText("@nome_compacto_Ing", nomeCompacto[1]);
      c->SetText("@nome_compacto_Esp", nomeCompacto[2]);
      c->SetInteger("@bloco", conta.Bloco);
      c->SetInteger("@ordemnobloco", conta.OrdemNoBloco);
      c->SetInteger("@decimais", conta.Decimais);
      c->SetInteger("@formatacao", conta.Formatacao);
      for (size_t i = 0; i < kCaracColumns.size(); ++i) c->SetBoolean(std::string("@") + kCaracColumns[i], conta.carac[i]);
      c->SetInteger("@comocalcular", conta.comocalcular);
      c->SetInteger("@comocalcular_num", conta.comocalcular_Num);
      c->SetBoolean("@HideNoZorInput", conta.HideNoZorInput);
      c->SetInteger("@BlocoPadraoNaDigitacao", conta.BlocoPadraoNaDigitacao);
      c->SetBoolean("@ComCamposExtraZor", false);
      code = ZiDb().ExecStProc(*c, 0);
    }
  }
  EsqueceConta(conta.id);
  return code;
}

int DbContaBalDel(int id) {
  int code = kSemComando;
  {
    TDataSetHolder c(ZiDb(), "ContaBalDel");
    if (c) code = ZiDb().ExecStProcId(*c, id, 0);
  }
  EsqueceConta(id);
  return code;
}

int DbBlocoContaBalPut(int id, const std::string& nomePor, const std::string& nomeIng, const std::string& nomeEsp) {
  int code = kSemComando;
  {
    TDataSetHolder c(ZiDb(), "BlocoContaBalPut");
    if (c) {
      c->SetInteger("@id", id);
      c->SetText("@nomePor", nomePor);
      c->SetText("@nomeIng", nomeIng);
      c->SetText("@nomeEsp", nomeEsp);
      code = ZiDb().ExecStProc(*c, 0);
    }
  }
  Listas().EnumBlocoDeContaBal.Limpa();
  return code;
}

}  // namespace zi
