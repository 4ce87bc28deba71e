// The catalogue against the substitute server, through a login to a fresh embedded database.
#include "catalogue/catalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/caches.h"
#include "catalogue/hooks.h"
#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "server/server.h"
#include "session/bgl_cache.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "session/session.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/switches.h"

namespace zi {
namespace {


constexpr int kRendaFixa = 5;  // a class name of the seeded list, in plain ASCII

class CatalogueServerTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    SetReferenceDataLoader(CarregaDadosIniciais);
    LoginAs("ana", "pw");
    DropObjectCaches();
  }
  void TearDown() override {
    SetReferenceDataLoader(nullptr);
    db::DestroyZiDb();
    DropObjectCaches();
    SetLogFileName("zorinput.log");
  }
  void LoginAs(const std::string& user, const std::string& password) {
    db::DestroyZiDb();
    SetParameters({"/opt/zorinput", "/user=" + user, "/password=" + password, "/database=" + dir_.File("zi.db")});
    ASSERT_EQ(InitDbConnection("", "", false, nullptr), 0) << user;
  }
  server::Server& Server() { return *static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).Server(); }
  void Sql(const std::string& sql) { Server().ExecuteSql(sql); }

  static tObjEmp Company(const std::string& cod, int pais, const std::string& nome) {
    tObjEmp e;
    e.cod = cod;
    e.pais = pais;
    e.nome = nome;
    e.moedabal[0] = 0;
    return e;
  }
  tObjEmp AddCompany(const std::string& cod, int pais, const std::string& nome) {
    tObjEmp e = Company(cod, pais, nome);
    EXPECT_EQ(DbObjEmpAdd(e), 0) << cod;
    EXPECT_GT(e.id, 0);
    return e;
  }
  tObjAtv AddClass(int emp, int idclass) {
    tObjAtv a{0, emp, idclass, 0, 0};
    EXPECT_EQ(DbObjAtvAdd(a), 0);
    return a;
  }
  tObjAnb AddSeries(int atv, const std::string& cod, int bolsa, uint8_t status = 0) {
    tObjAnb s;
    s.acao = atv;
    s.cod = cod;
    s.bolsa = bolsa;
    s.moedacot = 0;
    s.PaisProCodZor = 0;
    s.TipoDeContrato = 0;
    s.TipoDeBGLDestino = status;
    EXPECT_EQ(DbObjAnbAdd(s), 0) << cod;
    return s;
  }

  test::TempDir dir_;
  test::EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
};


TEST_F(CatalogueServerTest, ObjectsRoundTripAndDelete) {
  tObjEmp emp = Company(" ACME ", 0, " Acme SA ");
  emp.cnpj = "12345678000199";
  emp.fmtbal = {1, 2, 0, 3};
  emp.moedabal[2] = 1;
  emp.naics = 211;
  emp.moedaInformeFIDC = 0;
  ASSERT_EQ(DbObjEmpAdd(emp), 0);
  ASSERT_GT(emp.id, 0);
  tObjEmp read;
  ASSERT_EQ(DbObjEmpGet(emp.id, read), 0);
  tObjEmp expected = emp;
  expected.cod = "ACME";
  expected.nome = "Acme SA";
  EXPECT_EQ(read, expected);

  read.nome = "Acme Holding";
  ASSERT_EQ(DbObjEmpPut(read), 0);
  tObjEmp again;
  ASSERT_EQ(DbObjEmpGet(emp.id, again), 0);
  EXPECT_EQ(again, read);

  tObjAtv atv = AddClass(emp.id, kRendaFixa);
  tObjAtv atvRead;
  ASSERT_EQ(DbObjAtvGet(atv.id, atvRead), 0);
  EXPECT_EQ(atvRead, atv);
  atvRead.vote = 1;
  ASSERT_EQ(DbObjAtvPut(atvRead), 0);
  ASSERT_EQ(DbObjAtvGet(atv.id, atv), 0);
  EXPECT_EQ(atv.vote, 1);

  tObjAnb anb = AddSeries(atv.id, "ACME3", 1, 4);
  EXPECT_GE(anb.PaisProCodZor, 0);
  tObjAnb anbRead;
  ASSERT_EQ(DbObjAnbGet(anb.id, anbRead), 0);
  EXPECT_EQ(anbRead, anb);
  anbRead.cancelado = true;
  ASSERT_EQ(DbObjAnbPut(anbRead), 0);
  ASSERT_EQ(DbObjAnbGet(anb.id, anb), 0);
  EXPECT_TRUE(anb.cancelado);

  EXPECT_NE(DbObjEmpDel(emp.id), 0) << "a company with classes stays";
  EXPECT_EQ(DbObjAnbDel(anb.id), 0);
  EXPECT_EQ(DbObjAtvDel(atv.id), 0);
  EXPECT_EQ(DbObjEmpDel(emp.id), 0);
  EXPECT_NE(DbObjEmpGet(emp.id, read), 0);
}

// Every field of the record is cleared, its id included: a record of a failed read names nothing.
TEST_F(CatalogueServerTest, ReadOfAMissingCompanyGivesTheServersErrorAndAnEmptyRecord) {
  tObjEmp emp = Company("X", 3, "Something");
  emp.id = 5;
  emp.moedabal = {5, 5, 5, 5, 5, 5, 5, 5};
  emp.fmtbal = {1, 1, 1, 1};
  emp.naics = 9;
  EXPECT_EQ(DbObjEmpGet(999, emp), kAnswerNotFound);
  tObjEmp empty;
  empty.pais = 0;
  empty.moedabal[0] = 0;
  EXPECT_EQ(emp, empty);

  tObjAtv atv{1, 2, 3, 4, 5};
  EXPECT_EQ(DbObjAtvGet(999, atv), kAnswerNotFound);
  EXPECT_EQ(atv, (tObjAtv{0, 0, 0, 0, 0}));
  EXPECT_EQ(PaisDaEmp(999), 9);
  int formato = 7;
  EXPECT_EQ(GetFormatoBalDaEmp(999, 1, formato), kAnswerNotFound);
  EXPECT_EQ(formato, 0);
}

TEST_F(CatalogueServerTest, ObjectListClimbsToTheCompanyAndListsAllOfIt) {
  tObjEmp emp = AddCompany("ACME", 0, "Acme SA");
  tObjEmp other = AddCompany("OTHER", 0, "Other SA");
  tObjAtv on = AddClass(emp.id, 2);
  tObjAtv rf = AddClass(emp.id, kRendaFixa);
  tObjAnb a3 = AddSeries(on.id, "ACME3", 1, 4);
  tObjAnb a3n = AddSeries(on.id, "ACME3N", 2);
  AddClass(other.id, kRendaFixa);

  tObjHierEx first;
  first.EmpId = emp.id;
  first.EmpNome = "Acme SA";
  first.AtvId = on.id;
  first.AtvIdClass = 2;
  first.AnbId = a3.id;
  first.AnbCod = "ACME3";
  first.AnbBolsa = 1;
  first.AnbTipoDeBGLDestino = 4;
  const struct {
    int nivel;
    int id;
  } starts[] = {{kNivelSerie, a3n.id}, {kNivelClasse, rf.id}, {kNivelEmpresa, emp.id}};
  for (const auto& s : starts) {
    std::vector<tObjHierEx> lista;
    ASSERT_EQ(GetObjListDaEmp(s.nivel, s.id, lista), 0) << s.nivel;
    ASSERT_EQ(lista.size(), 3u) << s.nivel;
    EXPECT_EQ(lista[0], first);
    EXPECT_EQ(lista[1].AnbId, a3n.id);
    EXPECT_EQ(lista[1].AnbBolsa, 2);
    EXPECT_EQ(lista[2].AtvId, rf.id);
    EXPECT_EQ(lista[2].AnbId, 0) << "a class without series";
    EXPECT_EQ(lista[2].AnbCod, "");
  }
  tObjEmp lonely = AddCompany("LONELY", 1, "Lonely Inc");
  std::vector<tObjHierEx> lista;
  ASSERT_EQ(GetObjListDaEmp(kNivelEmpresa, lonely.id, lista), 0);
  ASSERT_EQ(lista.size(), 1u);
  EXPECT_EQ(lista[0].AtvId, 0);
  EXPECT_EQ(lista[0].EmpPais, 1);

  lista.resize(2);
  EXPECT_EQ(GetObjListDaEmp(kNivelSerie, 999, lista), kAnswerNotFound) << "the failed series read";
  EXPECT_TRUE(lista.empty());
}

TEST_F(CatalogueServerTest, CachedCompanyLookupFindsCompaniesAddedAfterItWasBuilt) {
  tObjEmp acme = AddCompany("ACME", 0, "Acme SA");
  int id = 0;
  ASSERT_EQ(GetIdEmpCached("acme", "0", id), 0) << "codes compare without case";
  EXPECT_EQ(id, acme.id);
  EXPECT_EQ(GetIdEmpCached("ACME", "1", id), 4174);
  EXPECT_EQ(id, 0);

  tObjEmp later = AddCompany("LATER", 0, "Later SA");
  ASSERT_EQ(GetIdEmp("LATER", "0", id), 0);
  EXPECT_EQ(id, later.id);
  ASSERT_EQ(GetIdEmpCached("LATER", "0", id), 0);
  EXPECT_EQ(id, later.id);
  // Remembered: found again once the server no longer holds it.
  Sql("DELETE FROM empresa WHERE id = " + std::to_string(later.id));
  ASSERT_EQ(GetIdEmpCached("later", " 0 ", id), 0);
  EXPECT_EQ(id, later.id);
  DropObjectCaches();
  EXPECT_EQ(GetIdEmpCached("LATER", "0", id), 4174);
}

TEST_F(CatalogueServerTest, PerIdCachesKeepRecordsUntilDroppedAndNeverRememberFailures) {
  tObjEmp acme = AddCompany("ACME", 0, "Acme SA");
  const int next = acme.id + 1;
  EXPECT_EQ(EmpDoCache(next), std::nullopt);
  tObjEmp later = AddCompany("LATER", 0, "Later SA");
  ASSERT_EQ(later.id, next);
  ASSERT_TRUE(EmpDoCache(next).has_value()) << "the failed load was not cached";
  EXPECT_EQ(*EmpDoCache(next), later);

  tObjAtv atv = AddClass(acme.id, kRendaFixa);
  ASSERT_TRUE(AtvDoCache(atv.id).has_value());
  ASSERT_EQ(EmpDoCache(acme.id)->nome, "Acme SA");
  acme.nome = "Renamed";
  ASSERT_EQ(DbObjEmpPut(acme), 0);
  EXPECT_EQ(EmpDoCache(acme.id)->nome, "Acme SA") << "cached";
  DropObjectCaches();
  EXPECT_EQ(EmpDoCache(acme.id)->nome, "Renamed");
}

// The company is known only under its definitive code; its provisional code is mapped to it.
TEST_F(CatalogueServerTest, ClassLookupDeliversIdsAndRetriesAProvisionalCode) {
  tObjEmp acme = AddCompany("ACME", 0, "Acme SA");
  tObjAtv rf = AddClass(acme.id, kRendaFixa);
  Sql("INSERT INTO RegistroCodCVMparaAnbima (cod_provis, cod_anbima, idemp) VALUES ('NEW-provis', 'ACME', " +
      std::to_string(acme.id) + ")");
  const struct {
    const char* emp;
    const char* classe;
    bool provis;
    int code;
    int idEmp;
    int idAtv;
    int idClass;
  } cases[] = {
      {"ACME", "Renda fixa", false, 0, acme.id, rf.id, kRendaFixa},
      {"ACME", "Ordin\xE1rias", false, 4172, acme.id, 0, 2},
      {"ACME", "No such class", false, 4171, 0, 0, 0},
      {"NOPE", "Renda fixa", false, 4170, 0, 0, 0},
      {"NEW-provis", "Renda fixa", true, 0, acme.id, rf.id, kRendaFixa},
      {"NEW-provis", "Ordin\xE1rias", true, 4172, acme.id, 0, 2},
      {"NEW-provis", "Renda fixa", false, 4170, 0, 0, 0},
      {"OLD-provis", "Renda fixa", true, 4170, 0, 0, 0},
  };
  for (const auto& c : cases) {
    int idEmp = -1, idAtv = -1, idClass = -1;
    EXPECT_EQ(GetIdAtvV2(c.emp, "0", c.classe, c.provis, idEmp, idAtv, idClass), c.code) << c.emp << c.provis;
    EXPECT_EQ(idEmp, c.idEmp) << c.emp << " " << c.classe;
    EXPECT_EQ(idAtv, c.idAtv) << c.emp << " " << c.classe;
    EXPECT_EQ(idClass, c.idClass) << c.emp << " " << c.classe;
  }
  std::string definitivo;
  int idEmp = 0, idAnb = 0;
  EXPECT_EQ(GetRegistroCodCVMparaAnbima("NEW-provis", definitivo, idEmp, idAnb), 1);
  EXPECT_EQ(definitivo, "ACME");
  EXPECT_EQ(idEmp, acme.id);
  EXPECT_EQ(GetRegistroCodCVMparaAnbima("OLD-provis", definitivo, idEmp, idAnb), 0);
  EXPECT_EQ(definitivo, "");
}

TEST_F(CatalogueServerTest, SeriesLookupsAndCounts) {
  tObjEmp acme = AddCompany("ACME", 0, "Acme SA");
  tObjAtv on = AddClass(acme.id, 2);
  tObjAnb a3 = AddSeries(on.id, "ACME3", 1, 4);
  AddSeries(on.id, "ACME4", 1, 4);
  int id = 0;
  EXPECT_EQ(GetIdAnb("acme3", "1", id), 0);
  EXPECT_EQ(id, a3.id);
  EXPECT_EQ(GetIdAnb("ACME3", "2", id), 4178);
  EXPECT_EQ(id, 0);
  int tipo = 0;
  EXPECT_EQ(GetTipoDeBGLDaAnb("ACME3", 1, tipo), 0);
  EXPECT_EQ(tipo, 4);
  int num = 0;
  EXPECT_EQ(GetTotalAnbAtivosDessaBolsaTBGL(1, 4, num), 0);
  EXPECT_EQ(num, 2);
  EXPECT_EQ(GetTotalAnbAtivosDessaBolsaTBGL(1, 0, num), 0);
  EXPECT_EQ(num, 0);
  EXPECT_EQ(AdminObjEmpRemandaTudo(acme.id), 0);
  EXPECT_EQ(AdminObjAtvRemandaTudo(on.id), 0);
  EXPECT_EQ(AdminObjAnbRemandaTudo(a3.id), 0);
  EXPECT_EQ(AdminObjAnbRemandaTudo(999), kAnswerNotFound);

  InstallCatalogueHooks();
  EXPECT_EQ(TipoDeBGLDestinoCache().TipoDoTicker(1, "ACME4", tipo), 0);
  EXPECT_EQ(tipo, 4);
  EXPECT_EQ(TipoDeBGLDestinoCache().TipoDoTicker(1, "NONE", tipo), 4042);
}

TEST_F(CatalogueServerTest, ClassNamesFormatsAndCompanyLists) {
  int id = 0;
  EXPECT_EQ(ClassAdd("Units", 0, 1, 0, id), 0);
  EXPECT_GT(id, kRendaFixa);
  int again = 0;
  EXPECT_EQ(ClassAdd("units", 0, 0, 0, again), 50173);
  EXPECT_EQ(again, id) << "50173 delivers the id";

  tObjEmp acme = AddCompany("ACME", 2, "Acme SA");
  tObjEmp beta = AddCompany("BETA", 0, "Beta SA");
  EXPECT_EQ(PaisDaEmp(acme.id), 2);
  DefineFormatoBalDaEmpSeNulo(acme.id, 1, 0, 5);
  DefineFormatoBalDaEmpSeNulo(acme.id, 1, 0, 6);
  int formato = 0;
  EXPECT_EQ(GetFormatoBalDaEmp(acme.id, 1, formato), 0);
  EXPECT_EQ(formato, 5) << "set only while it had none";

  tObjAtv on = AddClass(acme.id, 2);
  AddSeries(on.id, "ACME3", 1);
  AddSeries(on.id, "ACME4", 1);
  std::vector<tObjAtv> classes;
  ASSERT_EQ(GetClassesDaEmp(acme.id, classes), 0);
  EXPECT_THAT(classes, testing::ElementsAre(tObjAtv{on.id, acme.id, 2, 0, 0}, tObjAtv{on.id, acme.id, 2, 0, 0}));
  std::vector<int> ids;
  ASSERT_EQ(GetIdsDeTodasAsEmps(ids), 0);
  EXPECT_EQ(ids, (std::vector<int>{acme.id, beta.id}));

  std::vector<tObjHierEx> found;
  ASSERT_EQ(BuscaEmp({"  'Be\"ta  ", false, TOndeBuscar::NomeDaEmp}, found), 0);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].EmpId, beta.id);
  ASSERT_EQ(BuscaEmp({"acme4", true, TOndeBuscar::TickerExato}, found), 0);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].AnbCod, "ACME4");
  ASSERT_EQ(BuscaEmp({"", true, TOndeBuscar::Ticker}, found), 0);
  EXPECT_EQ(found.size(), 3u) << "an empty text looks in company names";
}

TEST_F(CatalogueServerTest, UserWithoutARightGetsTheServersCodeAndNothingChanges) {
  tObjEmp foreign = AddCompany("FOREIGN", 1, "Foreign Inc");
  tObjAtv foreignClass = AddClass(foreign.id, kRendaFixa);
  for (const auto& [name, flags] : {std::pair{"bob", 0}, {"dora", 1}, {"carla", 1 | 2}})
    ASSERT_GT(Server().AddUser({.name = name, .userFlag = flags}, "pw"), 0);
  tObjEmp emp = Company("BOB", 0, "Bob SA");
  tObjAtv atv{0, foreign.id, kRendaFixa, 0, 0};
  tObjAnb s;
  s.acao = foreignClass.id;
  s.cod = "FRGN";
  s.bolsa = 2;
  s.moedacot = 0;
  s.PaisProCodZor = 1;
  s.TipoDeContrato = 0;
  s.TipoDeBGLDestino = 4;

  LoginAs("bob", "pw");
  ASSERT_FALSE(ZiGlobs().IsAdmin);
  const std::string before = Server().Dump();
  EXPECT_EQ(DbObjEmpAdd(emp), 15258);
  EXPECT_EQ(emp.id, 0);
  EXPECT_EQ(DbObjAtvAdd(atv), 15258) << "the company right";
  EXPECT_EQ(DbObjAnbAdd(s), kAnswerNoSeriesRight);
  LoginAs("dora", "pw");
  EXPECT_EQ(DbObjAtvAdd(atv), 7141) << "a class of a foreign company needs user-flag bit 2";
  EXPECT_EQ(atv.id, 0);
  EXPECT_EQ(DbObjAnbAdd(s), kAnswerNoSeriesRight);
  EXPECT_EQ(Server().Dump(), before);

  LoginAs("carla", "pw");
  EXPECT_EQ(DbObjAtvAdd(atv), 0);
  EXPECT_EQ(DbObjAnbAdd(s), 0) << "user-flag bit 1 allows the status";
}

}  // namespace
}  // namespace zi
