#include "statements/listing.h"

#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "db/connection.h"
#include "statements/check.h"
#include "statements/formats.h"
#include "statements/statement_db.h"
#include "toolbox/log.h"
#include "toolbox/message_window.h"

namespace zi {

namespace {

constexpr const char* kSqlDasChaves =
    "select id,empresa,dataref,consolidado,sourcedobal, TipoDocumento from Balanco where ChecagemFalhou <> 0 "
    "order by empresa,TipoDocumento,sourcedobal,dataref,consolidado";
constexpr int kMaxSourceComFormato = 3;

// The key of a row; nullopt for a row whose fields no statement can have.
std::optional<ChavesBalanco> ChaveDaLinha(const db::TDbCommand& c) {
  ChavesBalanco k;
  k.id = c.FieldAsInteger("id");
  k.empresa = c.FieldAsInteger("empresa");
  const double dia = std::floor(c.FieldAsDateTime("dataref").days) - kDay1920;
  const int consolidado = c.FieldAsInteger("consolidado");
  const int source = c.FieldAsInteger("sourcedobal");
  const int tipo = c.FieldAsInteger("TipoDocumento");
  if (dia < 0 || dia > 65535 || consolidado < 0 || consolidado > 1 || source < 0 || source > kMaxSourceDoBal ||
      tipo < 0 || tipo > kMaxTipoDocumento)
    return std::nullopt;
  k.dataref = TDayNumber{static_cast<uint16_t>(dia)};
  k.consolidado = static_cast<uint8_t>(consolidado);
  k.sourcedobal = static_cast<uint8_t>(source);
  k.TipoDocumento = static_cast<uint8_t>(tipo);
  return k;
}

std::vector<ChavesBalanco> BalsComChecagemFalhou() {
  std::vector<ChavesBalanco> chaves;
  try {
    db::TDataSetHolder c(db::ZiDb(), db::CommandType::Text, kSqlDasChaves);
    if (!c) throw std::runtime_error("no command");
    if (const int code = db::ZiDb().OpenSql(*c)) throw std::runtime_error("erro:" + std::to_string(code));
    for (; !c->Eof(); c->Next()) {
      if (const std::optional<ChavesBalanco> k = ChaveDaLinha(*c)) {
        chaves.push_back(*k);
      } else {
        Loga("BalChecFalh Bal#" + std::to_string(c->FieldAsInteger("id")) + " ignored: a field is out of range");
      }
    }
  } catch (const std::exception& e) {
    Loga(std::string("Erro: BalChecFalh ") + e.what());
    chaves.clear();
  }
  return chaves;
}

// The format a statement of the company is checked with; 0 for none.
int FormatoDaChave(const ChavesBalanco& k, const tObjEmp& emp) {
  if (k.TipoDocumento == 1) return kFormatoDoTipoDocumento1;
  if (k.sourcedobal > kMaxSourceComFormato) {
    Loga("BalChecFalh Bal#" + std::to_string(k.id) + " src:" + std::to_string(k.sourcedobal) + " has no format");
    return 0;
  }
  return emp.fmtbal[k.sourcedobal];
}

// The first account in error of the statement within the block; nullopt when none.
std::optional<std::pair<int, int>> PrimeiraContaComErro(const TFormatoBal& formato, const TBalanco& bal, int bloco) {
  bool ligado = bloco <= 0;
  for (const TLinhaFmt& l : formato.linhas) {
    if (l.tipo == kLinhaTituloBloco) ligado = bloco <= 0 || l.bloco == bloco;
    if (!ligado || l.tipo != kLinhaConta || !ContaValida(l.conta)) continue;
    for (int periodo = 0; periodo < kPeriodos; ++periodo) {
      if (bal.Celula(periodo, l.conta).erro) return std::make_pair(periodo, l.conta);
    }
  }
  return std::nullopt;
}

}  // namespace

int ListaBalsComContasQueNaoFecham(int bloco) {
  const std::string b = std::to_string(bloco);
  Loga("Bals com conta com erro bloco:" + b);
  std::unique_ptr<TMessageWindow> janela = CreateMessageWindow("Bals Com Contas Que Nao Fecham bloco:" + b);
  janela->SetLine(1, "(Pegando lista de bals com ChecagemFalhou");
  const std::vector<ChavesBalanco> chaves = BalsComChecagemFalhou();
  Loga("bal com \"check falhou\": " + std::to_string(chaves.size()));
  int erros = 0;
  int code = 0;
  tObjEmp emp;
  int empresa = 0;
  TFormatoBal formato;
  bool temFormato = false;
  TBalanco bal;
  for (size_t i = 0; i < chaves.size() && code == 0; ++i) {
    const ChavesBalanco& k = chaves[i];
    if (k.empresa != empresa || i == 0) {
      if ((code = DbObjEmpGet(k.empresa, emp)) != 0) break;
      empresa = k.empresa;
      janela->SetLine(2, std::to_string(i + 1) + "/" + std::to_string(chaves.size()) + " errors:" + std::to_string(erros));
      janela->SetLine(3, LabelDaEmp(emp));
    }
    const int formatoId = FormatoDaChave(k, emp);
    if (!temFormato || formatoId != formato.id) {
      if (formatoId == 0) {
        formato.Limpa();
      } else if ((code = DbLeFormatoBal(formatoId, false, true, formato)) != 0) {
        break;
      }
      temFormato = true;
    }
    if ((code = DbBalGet(k.id, bal)) != 0) break;
    TChecagemBal checagem(formato, formato.contas);
    checagem.Checa(bal, kPeriodoFY);
    checagem.Checa(bal, kPeriodo3M);
    if (const auto conta = PrimeiraContaComErro(formato, bal, bloco)) {
      Loga(LabelDaEmp(emp) + " TpDoc:" + std::to_string(k.TipoDocumento) + " Src:" + std::to_string(k.sourcedobal) +
           " " + DataDoBal(k.dataref) + " Csld:" + LetraDoConsolidado(k.consolidado != 0) + " " +
           NomeDoPeriodo(conta->first) + " #" + std::to_string(conta->second));
      ++erros;
    }
  }
  Loga("end erros:" + std::to_string(erros));
  janela->Close();
  return code;
}

}  // namespace zi
