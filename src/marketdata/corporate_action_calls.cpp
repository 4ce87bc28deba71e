#include "marketdata/corporate_action_calls.h"

#include <functional>

#include "catalogue/call_support.h"
#include "db/connection.h"

namespace zi {

namespace {

// The record parameters, in the procedures' order.
void SetRecord(db::TDbCommand& ds, const tPrvento& prv) {
  ds.SetDayNumber("@udex", prv.udex);
  ds.SetInteger("@seq", prv.seq);
  ds.SetInteger("@tipo", prv.tipo);
  ds.SetInteger("@moeda", prv.moeda);
  ds.SetInteger("@loca", 0);
  ds.SetFloat("@acoes", prv.acoes);
  ds.SetFloat("@valor", prv.valor);
  ds.SetFloat("@cotA", 1.0);
  ds.SetFloat("@cotB", 0.0);
  ds.SetFloat("@titA", 1.0);
  ds.SetFloat("@titB", 0.0);
  ds.SetFloat("@qacA", 1.0);
  ds.SetFloat("@qacB", 0.0);
  ds.SetText("@chaveExterna", prv.chaveExterna);
  ds.SetDayNumber("@dtAprv", prv.dtAprv);
  ds.SetDayNumber("@dtPgto", prv.dtPgto);
}

int Import(const char* procedure, const std::string& ticker, int bolsa, const tPrvento& prv) {
  db::TDataSetHolder ds(db::ZiDb(), procedure);
  if (!ds) return ds.Failure(kCallFailed);
  ds->SetText("@ticker", ticker);
  ds->SetInteger("@bolsa", bolsa);
  SetRecord(*ds, prv);
  return db::ZiDb().ExecStProc(*ds, 0);
}

int Write(const char* procedure, tPrvento& prv) {
  return GuardedCall(procedure, [&] {
    db::TDataSetHolder ds(db::ZiDb(), procedure);
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", prv.id);
    ds->SetInteger("@anb", prv.anb);
    SetRecord(*ds, prv);
    const int code = db::ZiDb().ExecStProc(*ds, 0);
    if (code == 0) prv.id = ds->ParamAsInteger("@id");
    return code;
  });
}

}  // namespace

int DbPrvImport(const std::string& ticker, int bolsa, const tPrvento& prv) {
  return Import("PrvImport", ticker, bolsa, prv);
}

int DbPrvImportV2(const std::string& ticker, int bolsa, const tPrvento& prv) {
  return Import("PrvImportV2", ticker, bolsa, prv);
}

int DbPrvDelV2(const std::string& chaveExterna) {
  db::TDataSetHolder ds(db::ZiDb(), "PrvDelV2");
  if (!ds) return ds.Failure(kCallFailed);
  ds->SetText("@chaveExterna", chaveExterna);
  return db::ZiDb().ExecStProc(*ds, 0);
}

int DbPrvAddV2(tPrvento& prv) { return Write("PrvAddV2", prv); }

int DbPrvPutV2(const tPrvento& prv) {
  tPrvento copy = prv;
  return Write("PrvPutV2", copy);
}

int DbPrvDaAnbV2(int anb, std::vector<tPrvento>& actions) {
  actions.clear();
  const int code = GuardedCall("DbPrvDaAnbV2", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "PrvDaAnbV2");
    if (!ds) return ds.Failure(kCallFailed);
    ds->SetInteger("@id", anb);
    if (const int failed = db::ZiDb().ExecStProc(*ds, 2)) return failed;
    for (; !ds->Eof(); ds->Next()) {
      tPrvento& prv = actions.emplace_back();
      prv.id = ds->FieldAsInteger("id");
      prv.udex = DayNumberOfValue(ds->Field("udex"));
      prv.seq = ds->FieldAsInteger("seq");
      prv.tipo = ds->FieldAsInteger("tipo");
      prv.moeda = ds->FieldAsInteger("moeda");
      prv.acoes = ds->FieldAsFloat("acoes");
      prv.valor = ds->FieldAsFloat("valor");
      prv.anb = ds->FieldAsInteger("anb");
      prv.chaveExterna = ds->FieldAsText("chaveExterna");
      prv.dtAprv = DayNumberOfValue(ds->Field("dtAprv"));
      prv.dtPgto = DayNumberOfValue(ds->Field("dtPgto"));
    }
    return 0;
  });
  if (code != 0) actions.clear();
  return code;
}

int DbOcoCaracsV2(std::vector<TOcoCaracs>& types) {
  types.clear();
  const int code = GuardedCall("DbOcoCaracsV2", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "OcoCaracsV2");
    if (!ds) return ds.Failure(kCallFailed);
    if (const int failed = db::ZiDb().ExecStProc(*ds, 2)) return failed;
    for (; !ds->Eof(); ds->Next())
      types.push_back({ds->FieldAsInteger("id"), ds->FieldAsInteger("seq"), ds->FieldAsText("abrv"),
                       ds->FieldAsText("nome")});
    return 0;
  });
  if (code != 0) types.clear();
  return code;
}

}  // namespace zi
