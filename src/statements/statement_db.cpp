#include "statements/statement_db.h"

#include <cmath>
#include <exception>
#include <string>

#include "db/batch_row_set.h"
#include "db/connection.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"

namespace zi {

namespace {

using db::TDataSetHolder;
using db::ZiDb;

// A command that cannot be made is a call that failed.
constexpr int kSemComando = 3939;

void HeadBalParamGet(const db::TDbCommand& c, THeadBal& head) {
  head.id = c.ParamAsInteger("@id");
  head.empresa = c.ParamAsInteger("@empresa");
  head.dataref = c.ParamAsDayNumber("@dataref");
  head.consolidado = c.ParamAsBoundedByte("@consolidado", 1);
  head.sourcedobal = c.ParamAsBoundedByte("@sourcedobal", kMaxSourceDoBal);
  head.meses = c.ParamAsInteger("@meses");
  head.datamoeda = c.ParamAsDayNumber("@datamoeda");
  head.moeda = c.ParamAsInteger("@moeda");
  head.datadivulgacao = c.ParamAsDayNumber("@datadivulgacao");
  head.DataUltAlteracao = c.ParamAsDayNumber("@DataUltAlteracao");
  head.corrmon = c.ParamAsInteger("@corrmon");
  head.Incompleto = c.ParamAsBoolean("@Incompleto");
  head.ChecagemFalhou = c.ParamAsInteger("@ChecagemFalhou");
  head.AceitarFalhaNaChecagem = c.ParamAsBoolean("@AceitarFalhaNaChecagem");
  // Document type 2 (real-estate fund reports) is a type statements are stored with.
  head.TipoDocumento = c.ParamAsBoundedByte("@TipoDocumento", kMaxTipoDocumento);
}

void ContasBalFieldGet(db::TDbCommand& c, TBalanco& bal) {
  for (; !c.Eof(); c.Next()) {
    const int conta = c.FieldAsInteger("conta");
    const int periodo = c.FieldAsInteger("De3Meses");
    if (!ContaValida(conta) || !PeriodoValido(periodo)) throw EZorInputException(kContaInvalida);
    TCelulaBal& cell = bal.Celula(periodo, conta);
    if (!c.Field("valor").IsNull()) cell.valor = c.FieldAsFloat("valor");
    cell.CalcOuRx = c.FieldAsBoolean("CalcOuRx");
  }
}

// The header from the call's outputs and the cells from its rows.
int LeBal(db::TDbCommand& c, TBalanco& bal) {
  int code = 0;
  try {
    HeadBalParamGet(c, bal.head);
  } catch (const std::exception& e) {
    bal.head = {};
    ReportExceptionWithCode("BalUtil.HeadBalParamGet", code, e, kBalHeadNaoLido);
    return code;
  }
  try {
    ContasBalFieldGet(c, bal);
  } catch (const std::exception& e) {
    ReportExceptionWithCode("BalUtil.ContasBalFieldGet", code, e, kBalContasNaoLidas);
  }
  return code;
}

void NaoLogaContas(const char* procedure, int id) {
  TDataSetHolder c(ZiDb(), procedure);
  if (!c) return;
  c->SetInteger("@id", id);
  static_cast<void>(ZiDb().ExecStProc(*c, 0));
}

bool TemValorInfinito(const TBalanco& bal) {
  for (int periodo = 0; periodo < kPeriodos; ++periodo) {
    for (int conta = 1; conta <= kMaxContaBal; ++conta) {
      if (std::isinf(bal.Valor(periodo, conta))) return true;
    }
  }
  return false;
}

void SetHeadParams(db::TDbCommand& c, const THeadBal& h, bool novoBD) {
  c.SetInteger("@id", h.id);
  c.SetInteger("@empresa", h.empresa);
  c.SetDayNumber("@DataRef", h.dataref);
  c.SetInteger("@Consolidado", h.consolidado != 0 ? 1 : 0);
  c.SetInteger("@SourceDoBal", h.sourcedobal);
  c.SetInteger("@Meses", h.meses);
  c.SetInteger("@Moeda", h.moeda);
  c.SetDayNumber("@DataMoeda", h.datamoeda);
  c.SetDayNumber("@DataDivulgacao", h.datadivulgacao);
  c.SetInteger("@CorrMon", h.corrmon);
  c.SetBoolean("@Incompleto", h.Incompleto);
  c.SetInteger("@ChecagemFalhou", h.ChecagemFalhou);
  c.SetBoolean("@AceitarFalhaNaChecagem", h.AceitarFalhaNaChecagem);
  c.SetInteger("@BalEntrouComoNovoBD", novoBD ? 1 : 0);
  c.SetInteger("@TipoDocumento", h.TipoDocumento);
}

// Steps 19 to 34: the rows held on the client become the record's values, every one as entered.
void SincronizaValores(db::TBatchRowSet& rows, const TBalanco& bal, int id, int& passo) {
  std::vector<uint8_t> seen(static_cast<size_t>(kPeriodos * kMaxContaBal), 0);
  passo = 19;
  for (int r = 0; r < rows.RowCount(); ++r) {
    const DbValue& contaValue = rows.Value(r, "conta");
    const DbValue& periodoValue = rows.Value(r, "De3Meses");
    const int64_t conta = contaValue.Type() == DbType::Integer ? contaValue.AsInteger() : 0;
    const int64_t periodo = periodoValue.Type() == DbType::Integer ? periodoValue.AsInteger() : -1;
    // A row the record cannot hold is not part of the statement written.
    if (!ContaValida(static_cast<int>(conta)) || !PeriodoValido(static_cast<int>(periodo)) ||
        conta != static_cast<int>(conta)) {
      rows.Delete(r);
      continue;
    }
    const double value = bal.Valor(static_cast<int>(periodo), static_cast<int>(conta));
    if (IsMissing(value)) {
      rows.Delete(r);
    } else {
      const DbValue& stored = rows.Value(r, "valor");
      if (stored.Type() != DbType::Float || stored.AsFloat() != value) rows.SetValue(r, "valor", value);
      const DbValue& calc = rows.Value(r, "CalcOuRx");
      if (!(calc.Type() == DbType::Boolean && !calc.AsBoolean()) && !(calc.Type() == DbType::Integer && calc.AsInteger() == 0))
        rows.SetValue(r, "CalcOuRx", false);
    }
    seen[static_cast<size_t>(periodo * kMaxContaBal + conta - 1)] = 1;
  }
  passo = 30;
  for (int periodo = 0; periodo < kPeriodos; ++periodo) {
    for (int conta = 1; conta <= kMaxContaBal; ++conta) {
      const double value = bal.Valor(periodo, conta);
      if (seen[static_cast<size_t>(periodo * kMaxContaBal + conta - 1)] || IsMissing(value)) continue;
      rows.Insert({{"balanco", id}, {"conta", conta}, {"De3Meses", periodo}, {"valor", value}, {"CalcOuRx", false}});
    }
  }
}

}  // namespace

int DbBalGet(int id, TBalanco& bal) {
  bal.Limpa();
  TDataSetHolder c(ZiDb(), "BalGet");
  if (!c) return kSemComando;
  c->SetInteger("@id", id);
  if (const int code = ZiDb().ExecStProc(*c, 2)) return code;
  return LeBal(*c, bal);
}

int DbBalGetPelaDataCons(int empresa, TDayNumber dataref, bool consolidado, int tipoDocumento, int sourceDoBal,
                         TBalanco& bal) {
  bal.Limpa();
  TDataSetHolder c(ZiDb(), "BalGetPelaDataCons");
  if (!c) return kSemComando;
  c->SetInteger("@Empresa", empresa);
  c->SetDayNumber("@DataRef", dataref);
  c->SetInteger("@Consolidado", consolidado ? 1 : 0);
  c->SetInteger("@TipoDocumento", tipoDocumento);
  c->SetInteger("@SourceDoBal", sourceDoBal);
  if (const int code = ZiDb().ExecStProc(*c, 2)) return code;
  return LeBal(*c, bal);
}

int DbBalPut(TBalanco& bal, bool BalEntrouComoNovoBD) {
  if (TemValorInfinito(bal)) {
    Loga("DbBalPut " + LogLabelDoBal(bal.head) + " erro:" + std::to_string(kStatementValueInfinite));
    return kStatementValueInfinite;
  }
  db::TAdoDataBaseComInfoTran& zi = ZiDb();
  const int idAntes = bal.head.id;
  int result = 0;
  int passo = 1;
  bool enviado = false;
  bool registrado = false;
  bool reconectar = false;
  std::exception_ptr erroDoBanco;
  {
    db::TTransactionGuard tran(zi);
    if (tran.Code() != 0) return tran.Code();
    try {
      passo = 2;
      TDataSetHolder c(zi, "BalHeadPutV2");
      if (!c) result = kSemComando;
      if (result == 0) {
        SetHeadParams(*c, bal.head, BalEntrouComoNovoBD);
        passo = 6;
        result = zi.ExecStProc(*c, 0);
      }
      if (result == 0) {
        passo = 7;
        if (bal.head.id == 0) {
          bal.head.id = c->ParamAsInteger("@id");
          if (bal.head.id == 0) result = kBalPutSemId;
        }
      }
      if (result == 0) {
        passo = 10;
        if (c->ParamAsBoolean("@InsertOuUpdate")) {
          DbBalancoNaoLogaContasAdd(bal.head.id);
          registrado = true;
        }
        passo = 14;
        db::TBatchRowSet rows(zi, "BalancoUmaConta", {"balanco", "De3Meses", "conta"});
        result = rows.Open("select * from BalancoUmaConta where [balanco]=" + std::to_string(bal.head.id));
        if (result == 0) {
          SincronizaValores(rows, bal, bal.head.id, passo);
          passo = 35;
          rows.UpdateBatch();
          enviado = true;
        }
      }
    } catch (const std::exception& e) {
      result = kBalPutNaoEnviado;
      const std::string onde = "DbBalPut(passo:" + std::to_string(passo) + ")";
      if (dynamic_cast<const db::EDriverError*>(&e) == nullptr) {
        ReportExceptionWithCode("DbBalPut Passo:" + std::to_string(passo), result, e, kBalPutExcecao);
      } else if (db::IsConstraintError(e)) {
        Loga(onde + "->error:" + std::to_string(result) + " " + e.what());
      } else {
        Loga(onde + "->TentaReconectar " + e.what());
        reconectar = true;
        erroDoBanco = std::current_exception();
      }
    }
    if (!enviado && result == 0) result = kBalPutNaoEnviado;
    // The transaction ends before a reconnection: the connection it ran on may be gone.
    int fim = enviado ? tran.Commit() : tran.Rollback();
    if (fim != 0 && enviado) {
      Loga("DbBalPut(passo:" + std::to_string(passo) + ") end tran erro:" + std::to_string(fim));
      result = fim;
    }
  }
  if (result != 0 && idAntes == 0) bal.head.id = 0;
  if (registrado) DbBalancoNaoLogaContasDel(bal.head.id);
  // A connection that was never lost needs no reconnection: the write simply failed.
  if (reconectar && !zi.TentaReconectar("DbBalPut") && !zi.Connected()) std::rethrow_exception(erroDoBanco);
  return result;
}

int DbBalDel(int id) {
  TDataSetHolder c(ZiDb(), "BalDel");
  if (!c) return kSemComando;
  return ZiDb().ExecStProcId(*c, id, 0);
}

int DbBalancosIdDaEmp(int empresa, int sourceDoBal, int tipoDocumento, std::vector<int>& ids) {
  ids.clear();
  TDataSetHolder c(ZiDb(), "BalancosIdDaEmp");
  if (!c) return kSemComando;
  c->SetInteger("@empresa", empresa);
  c->SetBoolean("@restringe_consolidado", false);
  c->SetBoolean("@consolidado", false);
  c->SetInteger("@SourceDoBal", sourceDoBal);
  c->SetInteger("@TipoDocumento", tipoDocumento);
  if (const int code = ZiDb().ExecStProc(*c, 2)) return code;
  try {
    for (; !c->Eof(); c->Next()) ids.push_back(c->FieldAsInteger("id"));
  } catch (const std::exception& e) {
    int code = 0;
    ids.clear();
    ReportExceptionWithCode("DbBalancosIdDaEmp", code, e, kBalContasNaoLidas);
    return code;
  }
  return 0;
}

void DbBalancoNaoLogaContasAdd(int id) { NaoLogaContas("BalancoNaoLogaContasAdd", id); }

void DbBalancoNaoLogaContasDel(int id) { NaoLogaContas("BalancoNaoLogaContasDel", id); }

}  // namespace zi
