#include "catalogue/catalogue.h"

#include <optional>
#include <type_traits>

#include "catalogue/caches.h"
#include "db/connection.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/numbers.h"
#include "toolbox/text.h"

namespace zi {

namespace {

using db::TDataSetHolder;
using db::TDbCommand;

constexpr int kNoCommand = 3939;
constexpr int kFieldByteOutOfRange = 4016;
constexpr int kMaxStatusDeSerie = 11;
constexpr int kMaxPais = 79;
constexpr int kPaisPadrao = 9;

db::TAdoDataBaseComInfoTran& Db() { return db::ZiDb(); }

// Runs one operation; an exception becomes its code and a log line, and never escapes. The context
// is a text, or a function that builds it when the line is written.
template <typename Context, typename Body>
int Guarded(const Context& context, int defaultCode, Body&& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    int code = 0;
    if constexpr (std::is_invocable_v<Context>) {
      ReportExceptionWithCode(context(), code, e, defaultCode);
    } else {
      ReportExceptionWithCode(context, code, e, defaultCode);
    }
    return code;
  }
}

// A command keeps the outputs of its previous call when a call fails before the server answers;
// reads that take outputs whatever the result must not see those.
void ClearOutputs(TDbCommand& ds) {
  for (const auto& p : ds.Params())
    if (p.desc.direction == db::ParamDirection::Output || p.desc.direction == db::ParamDirection::ReturnValue)
      ds.ClearParam(p.desc.name);
}

// What a read that failed leaves in a record: empty texts and zeros, the id included, so that the
// record names nothing (the id parameter goes both ways and comes back as it was sent).
tObjEmp EmpVazia() {
  tObjEmp emp;
  emp.pais = 0;
  emp.moedabal.fill(0);
  return emp;
}

std::optional<int> PaisDoTexto(const std::string& texto) {
  std::optional<int32_t> pais = ParseInteger(Trim(texto));
  if (!pais || *pais < 0 || *pais > kMaxPais) return std::nullopt;
  return pais;
}

// A procedure that takes an id alone and whose return value is the result.
int ExecComId(const char* procedure, int id) {
  TDataSetHolder ds(Db(), procedure);
  if (!ds) return ds.Failure(kNoCommand);
  ds->SetInteger("@id", id);
  return Db().ExecStProc(*ds, 0);
}

void SetEmpParams(TDbCommand& ds, const tObjEmp& emp) {
  const TDireitosDeObj direitos = DireitosDeObj();
  ds.SetInteger("@id", emp.id);
  ds.SetText("@cod", emp.cod);
  ds.SetText("@cnpj", emp.cnpj);
  ds.SetInteger("@pais", emp.pais);
  ds.SetText("@nome", emp.nome);
  ds.SetInteger("@moedabalLocal", emp.moedabal[0]);
  ds.SetInteger("@moedabalSEC", emp.moedabal[2]);
  ds.SetInteger("@fmtbal", emp.fmtbal[0]);
  for (int n = 1; n < kSourcesComFormato; ++n)
    ds.SetInteger("@fmtbal" + std::to_string(n), emp.fmtbal[static_cast<size_t>(n)]);
  ds.SetInteger("@naics", emp.naics);
  ds.SetBoolean("@PodeAlterarPaisDaEmp", direitos.PodeAlterarPaisDaEmp);
  ds.SetBoolean("@PodeSourceDiferenteDeLocal", direitos.PodeSourceDiferenteDeLocal);
  ds.SetInteger("@moedaInformeFIDC", emp.moedaInformeFIDC);
}

void ReadEmp(const TDbCommand& ds, tObjEmp& emp) {
  emp.moedabal.fill(0);
  emp.moedaInformeFIDC = 0;
  emp.id = ds.ParamAsInteger("@id");
  emp.cod = ds.ParamAsText("@cod");
  emp.cnpj = ds.ParamAsText("@cnpj");
  emp.pais = ds.ParamAsInteger("@pais");
  emp.nome = ds.ParamAsText("@nome");
  emp.moedabal[0] = ds.ParamAsInteger("@moedabalLocal");
  emp.moedabal[2] = ds.ParamAsInteger("@moedabalSEC");
  emp.fmtbal[0] = ds.ParamAsInteger("@fmtbal");
  for (int n = 1; n < kSourcesComFormato; ++n)
    emp.fmtbal[static_cast<size_t>(n)] = ds.ParamAsInteger("@fmtbal" + std::to_string(n));
  emp.naics = ds.ParamAsInteger("@naics");
  emp.moedaInformeFIDC = ds.ParamAsInteger("@moedaInformeFIDC");
}

void SetAtvParams(TDbCommand& ds, const tObjAtv& atv) {
  const TDireitosDeObj direitos = DireitosDeObj();
  ds.SetInteger("@id", atv.id);
  ds.SetInteger("@emp", atv.emp);
  ds.SetInteger("@idclass", atv.idclass);
  ds.SetInteger("@vote", atv.vote);
  ds.SetInteger("@tipoobj", atv.tipoobj);
  ds.SetBoolean("@PodeMudarEmpDoAtv", direitos.PodeMudarEmpDoAtv);
  ds.SetBoolean("@PodeClasseEstrangeira", direitos.PodeClasseEstrangeira);
}

void SetAnbParams(TDbCommand& ds, const tObjAnb& anb) {
  const TDireitosDeObj direitos = DireitosDeObj();
  ds.SetInteger("@id", anb.id);
  ds.SetInteger("@acao", anb.acao);
  ds.SetText("@cod", anb.cod);
  ds.SetInteger("@bolsa", anb.bolsa);
  ds.SetInteger("@TipoDeBGLDestino", anb.TipoDeBGLDestino);
  ds.SetInteger("@moedacot", anb.moedacot);
  ds.SetInteger("@PaisProCodZor", anb.PaisProCodZor);
  ds.SetBoolean("@cancelado", anb.cancelado);
  ds.SetBoolean("@TrazDadosDaEmp", anb.TrazDadosDaEmp);
  ds.SetBoolean("@NaoAparecerNoZor", anb.NaoAparecerNoZor);
  ds.SetInteger("@IdCalendario", anb.IdCalendario);
  ds.SetInteger("@DisableCopy", anb.DisableCopy);
  ds.SetInteger("@FormatoDeCadastro", anb.FormatoDeCadastro);
  ds.SetInteger("@TipoDeContrato", anb.TipoDeContrato);
  ds.SetInteger("@MapaFaskel", anb.MapaFaskel);
  ds.SetInteger("@OverrideGruposCampoCotacao", anb.OverrideGruposCampoCotacao);
  ds.SetBoolean("@PodeMudarAtvDoAnb", direitos.PodeMudarAtvDoAnb);
  ds.SetBoolean("@PodeTodosOsTiposDeBGL", direitos.PodeTodosOsTiposDeBGL);
  ds.SetBoolean("@PodeMarcarTrazDadosDaEmp", direitos.PodeMarcarTrazDadosDaEmp);
  ds.SetBoolean("@PodeAlterarCalendario", direitos.PodeAlterarCalendario);
  ds.SetBoolean("@NaoAparecerNoOmbrel", anb.NaoAparecerNoOmbrel);
  ds.SetBoolean("@PodeMudarAtvDoAnbPraCima", direitos.PodeMudarAtvDoAnbPraCima);
}

void ReadAnb(const TDbCommand& ds, tObjAnb& anb) {
  anb.id = ds.ParamAsInteger("@id");
  anb.acao = ds.ParamAsInteger("@acao");
  anb.cod = ds.ParamAsText("@cod");
  anb.bolsa = ds.ParamAsInteger("@bolsa");
  anb.TipoDeBGLDestino = ds.ParamAsByte("@TipoDeBGLDestino");
  anb.moedacot = ds.ParamAsInteger("@moedacot");
  anb.PaisProCodZor = ds.ParamAsInteger("@PaisProCodZor");
  anb.cancelado = ds.ParamAsBoolean("@cancelado");
  anb.TrazDadosDaEmp = ds.ParamAsBoolean("@TrazDadosDaEmp");
  anb.NaoAparecerNoZor = ds.ParamAsBoolean("@NaoAparecerNoZor");
  anb.SerieMontada = ds.ParamAsBoolean("@SerieMontada");
  anb.IdCalendario = ds.ParamAsInteger("@IdCalendario");
  anb.DisableCopy = ds.ParamAsInteger("@DisableCopy");
  anb.FormatoDeCadastro = ds.ParamAsInteger("@FormatoDeCadastro");
  anb.TipoDeContrato = ds.ParamAsInteger("@TipoDeContrato");
  anb.MapaFaskel = ds.ParamAsInteger("@MapaFaskel");
  anb.OverrideGruposCampoCotacao = ds.ParamAsInteger("@OverrideGruposCampoCotacao");
  anb.NaoAparecerNoOmbrel = ds.ParamAsBoolean("@NaoAparecerNoOmbrel");
}

int IntAt(const TDbCommand& ds, int column) { return db::ValueAsInteger(ds.FieldByIndex(column)); }

uint8_t ByteAt(const TDbCommand& ds, int column) {
  int v = IntAt(ds, column);
  if (v < 0 || v > 255) throw EDBException(kFieldByteOutOfRange);
  return static_cast<uint8_t>(v);
}

std::string TextAt(const TDbCommand& ds, int column) { return Trim(db::ValueAsText(ds.FieldByIndex(column))); }

// The columns of an object-list row by position; the fields of a level that the row lacks stay 0.
tObjHierEx LinhaDoObjList(const TDbCommand& ds) {
  tObjHierEx row;
  row.EmpId = IntAt(ds, 0);
  row.AtvId = IntAt(ds, 4);
  row.AnbId = IntAt(ds, 6);
  if (row.EmpId != 0) {
    row.EmpNome = TextAt(ds, 1);
    row.EmpPais = IntAt(ds, 2);
  }
  if (row.AtvId != 0) {
    row.AtvIdClass = IntAt(ds, 10);
    row.AtvTipoObj = ByteAt(ds, 12);
  }
  if (row.AnbId != 0) {
    row.AnbCod = TextAt(ds, 7);
    row.AnbBolsa = IntAt(ds, 8);
    row.AnbTipoDeBGLDestino = ByteAt(ds, 9);
    row.AnbCancelado = db::ValueAsBoolean(ds.FieldByIndex(11));
    row.AnbColuna13 = IntAt(ds, 13);
    row.AnbFormatoDeCadastro = IntAt(ds, 14);
  }
  return row;
}

int LeObjList(TDbCommand& ds, std::vector<tObjHierEx>& lista) {
  int code = Db().ExecStProc(ds, 2);
  if (code != 0) return code;
  for (; !ds.Eof(); ds.Next()) lista.push_back(LinhaDoObjList(ds));
  return 0;
}

int PerguntaIdAtv(const std::string& codEmp, int pais, const std::string& classe, int& idEmp, int& idAtv,
                  int& idClass) {
  return Guarded("GetIdAtvV2", 0, [&] {
    TDataSetHolder ds(Db(), "GetIdAtvV2");
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetText("@emp", codEmp);
    ds->SetInteger("@pais", pais);
    ds->SetText("@class", classe);
    int code = Db().ExecStProc(*ds, 0);
    if (code == 0 || code == kClasseNaoEncontrada) {
      idEmp = ds->ParamAsInteger("@IdEmp");
      idAtv = ds->ParamAsInteger("@IdAtv");
      idClass = ds->ParamAsInteger("@IdClass");
    }
    return code;
  });
}

bool CodigoAusente(const std::string& texto) {
  std::string t = Trim(texto);
  return t.empty() || t == "-";
}

}  // namespace

int DbObjEmpAdd(tObjEmp& emp) {
  int passo = 1;
  return Guarded([&] { return "DbObjEmpAdd passo:" + std::to_string(passo); }, 3673, [&] {
    TDataSetHolder ds(Db(), "ObjEmpAddV3");
    if (!ds) return ds.Failure(kNoCommand);
    SetEmpParams(*ds, emp);
    passo = 2;
    int code = Db().ExecStProc(*ds, 0);
    passo = 3;
    if (code == 0) emp.id = ds->ParamAsInteger("@id");
    return code;
  });
}

int DbObjEmpGet(int id, tObjEmp& emp) {
  return Guarded("DbObjEmpGet", 3674, [&] {
    TDataSetHolder ds(Db(), "ObjEmpGetV3");
    if (!ds) return ds.Failure(kNoCommand);
    ClearOutputs(*ds);
    ds->SetInteger("@id", id);
    int code = Db().ExecStProc(*ds, 0);
    ReadEmp(*ds, emp);
    if (code != 0) emp = EmpVazia();
    return code;
  });
}

int DbObjEmpPut(const tObjEmp& emp) {
  return Guarded("DbObjEmpPut", 3675, [&] {
    TDataSetHolder ds(Db(), "ObjEmpPutV3");
    if (!ds) return ds.Failure(kNoCommand);
    SetEmpParams(*ds, emp);
    return Db().ExecStProc(*ds, 0);
  });
}

int DbObjEmpDel(int id) {
  return Guarded("DbObjEmpDel", 3676, [&] { return ExecComId("ObjEmpDel", id); });
}

int DbObjAtvAdd(tObjAtv& atv) {
  return Guarded("DbObjAtvAdd", 3677, [&] {
    TDataSetHolder ds(Db(), "ObjAtvAddV2");
    if (!ds) return ds.Failure(kNoCommand);
    SetAtvParams(*ds, atv);
    int code = Db().ExecStProc(*ds, 0);
    if (code == 0) atv.id = ds->ParamAsInteger("@id");
    return code;
  });
}

int DbObjAtvGet(int id, tObjAtv& atv) {
  return Guarded("DbObjAtvGet", 3678, [&] {
    TDataSetHolder ds(Db(), "ObjAtvGetV2");
    if (!ds) return ds.Failure(kNoCommand);
    ClearOutputs(*ds);
    ds->SetInteger("@id", id);
    int code = Db().ExecStProc(*ds, 0);
    atv.id = ds->ParamAsInteger("@id");
    atv.emp = ds->ParamAsInteger("@emp");
    atv.idclass = ds->ParamAsInteger("@idclass");
    atv.vote = ds->ParamAsInteger("@vote");
    atv.tipoobj = ds->ParamAsInteger("@tipoobj");
    if (code != 0) atv = tObjAtv{0, 0, 0, 0, 0};
    return code;
  });
}

int DbObjAtvPut(const tObjAtv& atv) {
  return Guarded("DbObjAtvPut", 3679, [&] {
    TDataSetHolder ds(Db(), "ObjAtvPutV2");
    if (!ds) return ds.Failure(kNoCommand);
    SetAtvParams(*ds, atv);
    return Db().ExecStProc(*ds, 0);
  });
}

int DbObjAtvDel(int id) {
  return Guarded("DbObjAtvDel", 3680, [&] { return ExecComId("ObjAtvDel", id); });
}

int DbObjAnbAdd(tObjAnb& anb) {
  std::string context = "DbObjAnbAdd atv:" + std::to_string(anb.acao) + " cod:" + anb.cod +
                        " bolsa:" + std::to_string(anb.bolsa);
  return Guarded(context, 3681, [&] {
    TDataSetHolder ds(Db(), "ObjAnbAdd");
    if (!ds) return ds.Failure(kNoCommand);
    SetAnbParams(*ds, anb);
    int code = Db().ExecStProc(*ds, 0);
    if (code == 0) {
      anb.id = ds->ParamAsInteger("@id");
      anb.PaisProCodZor = ds->ParamAsInteger("@PaisProCodZor");
    }
    return code;
  });
}

int DbObjAnbGet(int id, tObjAnb& anb) {
  return Guarded("DbObjAnbGet", 3682, [&] {
    TDataSetHolder ds(Db(), "ObjAnbGet");
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetInteger("@id", id);
    int code = Db().ExecStProc(*ds, 0);
    if (code != 0) return code;
    ReadAnb(*ds, anb);
    if (anb.PaisProCodZor < 0) {
      Loga("ObjAnbGet id:" + std::to_string(id) + " " + anb.cod + "/" + std::to_string(anb.bolsa) +
           " PaisProCodZor:" + std::to_string(anb.PaisProCodZor));
      return kSerieComPaisProCodZorNegativo;
    }
    return 0;
  });
}

int DbObjAnbPut(tObjAnb& anb) {
  return Guarded("DbObjAnbPut", 3683, [&] {
    TDataSetHolder ds(Db(), "ObjAnbPut");
    if (!ds) return ds.Failure(kNoCommand);
    SetAnbParams(*ds, anb);
    int code = Db().ExecStProc(*ds, 0);
    if (code == 0) anb.PaisProCodZor = ds->ParamAsInteger("@PaisProCodZor");
    return code;
  });
}

int DbObjAnbDel(int id) {
  return Guarded("DbObjAnbDel", 3684, [&] { return ExecComId("ObjAnbDel", id); });
}

int GetIdEmp(const std::string& cod, const std::string& paisTexto, int& id) {
  id = 0;
  std::optional<int> pais = PaisDoTexto(paisTexto);
  if (!pais) return kPaisInvalidoNaEmp;
  return Guarded("GetIdEmp", 0, [&] {
    TDataSetHolder ds(Db(), "GetIdEmp");
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetText("@cod", cod);
    ds->SetInteger("@pais", *pais);
    int code = Db().ExecStProc(*ds, 0);
    if (code != 0) return code;
    int found = ds->ParamAsInteger("@idemp");
    if (found < 1) return kEmpNaoEncontrada;
    id = found;
    return 0;
  });
}

int GetIdEmpCached(const std::string& cod, const std::string& paisTexto, int& id) {
  id = 0;
  std::optional<int> pais = PaisDoTexto(paisTexto);
  if (!pais) return kPaisInvalidoNaEmp;
  return Guarded("GetIdEmpCached", 0, [&] { return CacheEmpPais().Procura(*pais, cod, id); });
}

int GetIdAtvV2(const std::string& codEmp, const std::string& paisTexto, const std::string& classe,
               bool aceitaProvisorio, int& idEmp, int& idAtv, int& idClass) {
  idEmp = idAtv = idClass = 0;
  if (CodigoAusente(codEmp)) return kCodDaEmpAusente;
  std::optional<int> pais = PaisDoTexto(paisTexto);
  if (!pais) return kPaisInvalidoNaClasse;
  if (CodigoAusente(classe)) return kClasseAusente;
  int code = PerguntaIdAtv(codEmp, *pais, classe, idEmp, idAtv, idClass);
  if (code == kEmpDaClasseNaoEncontrada && aceitaProvisorio && codEmp.find("-provis") != std::string::npos) {
    std::string definitivo;
    int idEmpDefinitivo = 0;
    int idAnbDefinitivo = 0;
    if (GetRegistroCodCVMparaAnbima(codEmp, definitivo, idEmpDefinitivo, idAnbDefinitivo) == 1)
      code = PerguntaIdAtv(definitivo, *pais, classe, idEmp, idAtv, idClass);
  }
  return code;
}

int GetRegistroCodCVMparaAnbima(const std::string& codProvis, std::string& codAnbima, int& idEmp, int& idAnb) {
  codAnbima.clear();
  idEmp = idAnb = 0;
  return Guarded("GetRegistroCodCVMparaAnbima", 0, [&] {
    TDataSetHolder ds(Db(), "GetRegistroCodCVMparaAnbima");
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetText("@cod_provis", codProvis);
    int code = Db().ExecStProc(*ds, 0);
    if (code == 1) {
      codAnbima = ds->ParamAsText("@cod_anbima");
      idEmp = ds->ParamAsInteger("@idemp");
      idAnb = ds->ParamAsInteger("@idanb");
    }
    return code;
  });
}

int GetIdAnb(const std::string& cod, const std::string& bolsaTexto, int& id) {
  id = 0;
  std::optional<int32_t> bolsa = ParseInteger(Trim(bolsaTexto));
  if (!bolsa) return kBolsaInvalida;
  return Guarded("GetIdAnb", 0, [&] {
    TDataSetHolder ds(Db(), "GetIdAnb");
    if (!ds) return ds.Failure(kNoCommand);
    ClearOutputs(*ds);
    ds->SetText("@cod", cod);
    ds->SetInteger("@bolsa", *bolsa);
    int result = Db().ExecStProc(*ds, 0);
    // The return value is the id, so a failed call is told apart by the server never answering.
    if (ds->ReturnValue().IsNull()) return result;
    if (result <= 0) return kSerieNaoEncontrada;
    id = result;
    return 0;
  });
}

int ClassAdd(const std::string& clss, int pais, int filhaDe, int flag, int& id) {
  id = 0;
  return Guarded("DbClassAdd", kClassAddFalhou, [&] {
    TDataSetHolder ds(Db(), "ClassAdd");
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetText("@clss", clss);
    ds->SetInteger("@pais", pais);
    ds->SetInteger("@filhaDe", filhaDe);
    ds->SetInteger("@flag", flag);
    int code = Db().ExecStProc(*ds, 0);
    if (code == 0 || code == kClassAddComId) id = ds->ParamAsInteger("@id");
    return code;
  });
}

void DefineFormatoBalDaEmpSeNulo(int emp, int sourceDoBal, int tipoDocumentoBal, int fmtbal) {
  Guarded("DefineFormatoBalDaEmpSeNulo", 0, [&] {
    TDataSetHolder ds(Db(), "DefineFormatoBalDaEmpSeNulo");
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetInteger("@emp", emp);
    ds->SetInteger("@sourcedobal", sourceDoBal);
    ds->SetInteger("@TipoDocumentoBal", tipoDocumentoBal);
    ds->SetInteger("@fmtbal", fmtbal);
    return Db().ExecStProc(*ds, 0);
  });
}

int GetFormatoBalDaEmp(int idEmp, int source, int& formato) {
  formato = 0;
  if (source < 0 || source > kMaxSourceComFormato) {
    Loga("GFBDE SDB:" + std::to_string(source) + " > high:" + std::to_string(kMaxSourceComFormato));
    return kSourceAcimaDoFormato;
  }
  tObjEmp emp;
  int code = DbObjEmpGet(idEmp, emp);
  if (code == 0) formato = emp.fmtbal[static_cast<size_t>(source)];
  return code;
}

int PaisDaEmp(int idEmp) {
  tObjEmp emp;
  return DbObjEmpGet(idEmp, emp) == 0 ? emp.pais : kPaisPadrao;
}

int GetTipoDeBGLDaAnb(const std::string& cod, int bolsa, int& tipo) {
  tipo = 0;
  return Guarded("GetTipoDeBGLDaAnb", 0, [&] {
    TDataSetHolder ds(Db(), "GetTipoDeBGLDaAnb");
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetText("@cod", cod);
    ds->SetInteger("@bolsa", bolsa);
    int code = Db().ExecStProc(*ds, 0);
    if (code != 0) return code;
    int value = ds->ParamAsInteger("@TipoDeBGLDestino");
    if (value < 0 || value > kMaxStatusDeSerie) return kStatusDeSerieInvalido;
    tipo = value;
    return 0;
  });
}

int GetTotalAnbAtivosDessaBolsaTBGL(int bolsa, int tipoDeBGLDestino, int& num) {
  num = 0;
  return Guarded("GetTotalAnbAtivosDessaBolsaTBGL", 0, [&] {
    TDataSetHolder ds(Db(), "GetTotalAnbAtivosDessaBolsaTBGL");
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetInteger("@bolsa", bolsa);
    ds->SetInteger("@TipoDeBGLDestino", tipoDeBGLDestino);
    int code = Db().ExecStProc(*ds, 0);
    if (code == 0) num = ds->ParamAsInteger("@Num");
    return code;
  });
}

int AdminObjEmpRemandaTudo(int id) {
  return Guarded("AdminObjEmpRemandaTudo", 0, [&] { return ExecComId("AdminObjEmpRemandaTudo", id); });
}

int AdminObjAtvRemandaTudo(int id) {
  return Guarded("AdminObjAtvRemandaTudo", 0, [&] { return ExecComId("AdminObjAtvRemandaTudo", id); });
}

int AdminObjAnbRemandaTudo(int id) {
  return Guarded("AdminObjAnbRemandaTudo", 0, [&] { return ExecComId("AdminObjAnbRemandaTudo", id); });
}

int GetClassesDaEmp(int idEmp, std::vector<tObjAtv>& classes) {
  classes.clear();
  return Guarded("GetClassesDaEmp", 0, [&] {
    TDataSetHolder ds(Db(), db::CommandType::Text, "select * from ObjListRoot where [EmpId]=" + std::to_string(idEmp));
    if (!ds) return ds.Failure(kNoCommand);
    int code = Db().OpenSql(*ds);
    if (code != 0) return code;
    for (; !ds->Eof(); ds->Next()) {
      tObjAtv atv;
      atv.id = ds->FieldAsInteger("AtvId");
      atv.emp = ds->FieldAsInteger("EmpId");
      atv.idclass = ds->FieldAsInteger("AtvIdClass");
      atv.vote = 0;
      atv.tipoobj = ds->FieldAsInteger("AtvTipoObj");
      classes.push_back(atv);
    }
    return 0;
  });
}

int GetIdsDeTodasAsEmps(std::vector<int>& ids) {
  ids.clear();
  return Guarded("GetIdsDeTodasAsEmps", 0, [&] {
    TDataSetHolder ds(Db(), db::CommandType::Text, "select distinct EmpId from ObjIdList order by EmpId");
    if (!ds) return ds.Failure(kNoCommand);
    int code = Db().OpenSql(*ds);
    if (code != 0) return code;
    for (; !ds->Eof(); ds->Next()) ids.push_back(ds->FieldAsInteger("EmpId"));
    return 0;
  });
}

int GetObjListDaEmp(int nivel, int id, std::vector<tObjHierEx>& lista) {
  lista.clear();
  if (nivel < kNivelSerie || nivel > kNivelEmpresa) return kNivelInvalido;
  int idEmp = id;
  int idAtv = id;
  if (nivel == kNivelSerie) {
    tObjAnb anb;
    if (int code = DbObjAnbGet(id, anb); code != 0) return code;
    idAtv = anb.acao;
  }
  if (nivel != kNivelEmpresa) {
    tObjAtv atv;
    if (int code = DbObjAtvGet(idAtv, atv); code != 0) return code;
    idEmp = atv.emp;
  }
  int code = Guarded("ObjListDaEmp", 0, [&] {
    TDataSetHolder ds(Db(), "ObjListDaEmp");
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetInteger("@id", idEmp);
    return LeObjList(*ds, lista);
  });
  if (code != 0) lista.clear();
  return code;
}

std::string TextoDaBusca(const std::string& texto) {
  std::string limpo;
  for (char c : Trim(texto))
    if (c != '"' && c != '\'') limpo += c;
  return limpo;
}

int OndeDaBusca(const TBuscaDeEmp& busca) {
  return TextoDaBusca(busca.texto).empty() ? 0 : static_cast<int>(busca.onde);
}

std::string LabelDaBusca(const TBuscaDeEmp& busca) {
  std::string label =
      busca.soMeuPais ? "Searching MY companies and exchanges only " : "Searching all companies and exchanges ";
  const std::string texto = TextoDaBusca(busca.texto);
  if (texto.empty()) {
    label.back() = '.';
    return label;
  }
  switch (busca.onde) {
    case TOndeBuscar::NomeDaEmp: return label + "for company names containing \"" + texto + "\".";
    case TOndeBuscar::Ticker: return label + "for stock tickers containing \"" + texto + "\".";
    case TOndeBuscar::TickerExato: return label + "for stock tickers exactly like \"" + texto + "\".";
    case TOndeBuscar::NomeOuTicker: break;
  }
  return label + "for company names or stock tickers containing \"" + texto + "\".";
}

int BuscaEmp(const TBuscaDeEmp& busca, std::vector<tObjHierEx>& lista) {
  lista.clear();
  int code = Guarded("ObjListProF2V2", 0, [&] {
    TDataSetHolder ds(Db(), "ObjListProF2V2");
    if (!ds) return ds.Failure(kNoCommand);
    ds->SetInteger("@auth", busca.soMeuPais ? 1 : 0);
    ds->SetText("@like", TextoDaBusca(busca.texto));
    ds->SetInteger("@onde", OndeDaBusca(busca));
    return LeObjList(*ds, lista);
  });
  if (code != 0) lista.clear();
  return code;
}

}  // namespace zi
