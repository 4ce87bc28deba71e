// Import runs against the embedded server: a file that fails its check writes nothing, and the
// company keys resolve through the server's lookups.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "catalogue/caches.h"
#include "catalogue/catalogue.h"
#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "import/command_line_run.h"
#include "import/company_key.h"
#include "import/directives.h"
#include "import/fields.h"
#include "server/server.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

using testing::ElementsAre;

class ImportDatabaseTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    SetReferenceDataLoader(CarregaDadosIniciais);
    SetParameters({"/opt/zorinput", "/user=ana", "/password=pw", "/database=" + dir_.File("zi.db")});
    ASSERT_EQ(InitDbConnection("", "", false, nullptr), 0);
    DropObjectCaches();
  }
  void TearDown() override {
    SetDirectiveHandler("*PAIS", nullptr);
    SetReferenceDataLoader(nullptr);
    db::DestroyZiDb();
    DropObjectCaches();
    SetLogFileName("zorinput.log");
  }
  server::Server& Server() { return *static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).Server(); }
  std::string Dump() { return Server().Dump(); }
  void Sql(const std::string& sql) { Server().ExecuteSql(sql); }

  int Import(const std::string& text) {
    const std::string file = dir_.File("in.txt");
    test::WriteFile(file, text);
    impcli::tMyImpMain run(file, true, false, "");
    while (run.NotFinished()) run.Step();
    return run.ResultCode();
  }

  test::TempDir dir_;
};

// *PAIS id code name: checked in both passes, written through the reference writer in the import
// pass only.
TDirectiveOutcome CountryLine(TImpMain& run, const TDirective&) {
  int32_t id = 0;
  const std::string code(run.Tokens().Token(2));
  const std::string name(run.Tokens().Token(3));
  if (run.Tokens().Count() != 4 || !ReadIntegerField(run.Tokens().Token(1), id) || id < 0 || id > 79 ||
      code.size() < 2 || code.size() > 3 || name.empty()) {
    run.ErrorMessage("Invalid *PAIS");
    return {false, 4300};
  }
  if (run.ToNoCheck()) return {};
  return {true, PaisPut(id, code, name)};
}

TEST_F(ImportDatabaseTest, FileWithOneBadLineAnywhereLeavesTheDatabaseAsItWas) {
  SetDirectiveHandler("*PAIS", CountryLine);
  const std::vector<std::string> badLines = {
      "*PAIS x ZXA Bad",   "*PAIS 90 ZXB Bad", "*PAIS 41",  "*NOSUCH 1", "*TIPOOBJ",
      "*PAIS 42 \xE6\x97\xA5 Bad", "*qt PETR4 1 2024-01-02 1", "*PAIS 43 ZXC",
  };
  std::vector<std::string> good;
  for (int i = 0; i < 15; ++i) {
    good.push_back("*PAIS " + std::to_string(50 + i) + " Z" + static_cast<char>('A' + i) + "Q Country" +
                   std::to_string(i));
  }
  const std::string before = Dump();
  std::mt19937 random(20241209);
  for (int round = 0; round < 24; ++round) {
    std::vector<std::string> lines = good;
    const size_t at = random() % (lines.size() + 1);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), badLines[static_cast<size_t>(round) % badLines.size()]);
    std::string text;
    for (const std::string& line : lines) text += line + (round % 2 ? "\r\n" : "\n");
    EXPECT_NE(Import(text), 0) << text;
    ASSERT_EQ(Dump(), before) << text;
  }
  std::string text;
  for (const std::string& line : good) text += line + "\n";
  EXPECT_EQ(Import(text), 0);
  EXPECT_NE(Dump(), before);
}

TEST_F(ImportDatabaseTest, CompanyCodeKeysResolveThroughTheServerAndTheCache) {
  tObjEmp petro;
  petro.cod = "PETR";
  petro.pais = 0;
  petro.nome = "Petro";
  petro.moedabal[0] = 0;
  ASSERT_EQ(DbObjEmpAdd(petro), 0);
  Sql("INSERT INTO RegistroCodCVMparaAnbima (cod_provis, cod_anbima, idemp) VALUES ('X-provis', 'PETR', " +
      std::to_string(petro.id) + ")");
  struct Case {
    std::string token1, token2;
    int code;
    std::vector<int> companies;
  } cases[] = {
      {"PETR", "0", 0, {petro.id}},
      {"companyid:petr", "country:0", 0, {petro.id}},
      {"PETR", "1", kEmpNaoEncontrada, {}},
      {"PETR", "x", kKeyCountryInvalid, {}},
      {"PETR", "99", kKeyCountryInvalid, {}},
      {"X-provis", "0", 0, {petro.id}},
      {"Y-provis", "0", kEmpNaoEncontrada, {}},
      {"", "0", kCompanyKeyNoCompany, {}},
  };
  for (bool cached : {false, true}) {
    for (const auto& c : cases) {
      std::vector<int> companies{-1};
      EXPECT_EQ(ResolveCompanyKey(c.token1, c.token2, cached, companies), c.code) << c.token1 << " cached:" << cached;
      EXPECT_EQ(companies, c.companies) << c.token1 << " cached:" << cached;
    }
  }
}

}  // namespace
}  // namespace zi

namespace zi {
namespace {

class ImportKeyFormsTest : public ImportDatabaseTest {
 protected:
  void SetUp() override {
    ImportDatabaseTest::SetUp();
    for (const auto& [cod, cnpj] : {std::pair{"PETR", "33.000.167/0001-01"}, {"PETRX", "33000167000101"},
                                    {"VALE", "33.592.510/0001-54"}}) {
      tObjEmp e;
      e.cod = cod;
      e.pais = 0;
      e.cnpj = cnpj;
      e.nome = cod;
      e.moedabal[0] = 0;
      ASSERT_EQ(DbObjEmpAdd(e), 0);
      companies_.push_back(e.id);
      tObjAtv a{0, e.id, kOrdinary, 0, 0};
      ASSERT_EQ(DbObjAtvAdd(a), 0);
      classes_.push_back(a.id);
    }
    tObjAnb s;
    s.acao = classes_[0];
    s.cod = "PETR4";
    s.bolsa = 1;
    s.moedacot = 0;
    s.PaisProCodZor = 0;
    s.TipoDeContrato = 0;
    ASSERT_EQ(DbObjAnbAdd(s), 0);
    Sql("UPDATE anbima SET isin = 'BRPETRACNPR6' WHERE id = " + std::to_string(s.id));
  }
  static constexpr int kOrdinary = 1;
  std::vector<int> companies_;
  std::vector<int> classes_;
};

TEST_F(ImportKeyFormsTest, CnpjTickerAndIsinNameTheirCompaniesAndClasses) {
  const std::string className = Listas().EnumClasses.TextoDoId(kOrdinary, false);
  struct Case {
    std::string token1, token2;
    int code;
    std::vector<int> companies;
    std::vector<int> classes;
  } cases[] = {
      {"cnpj:33000167000101", "country:0", 0, {companies_[0], companies_[1]}, {classes_[0], classes_[1]}},
      {"CNPJ:33.592.510/0001-54", "Country:0", 0, {companies_[2]}, {classes_[2]}},
      {"cnpj:11111111000111", "country:0", kCompanyKeyNoCompany, {}, {}},
      {"cnpj:33000167000101", "country:1", kCompanyKeyNoCompany, {}, {}},
      {"cnpj:33000167000101", "country:x", kKeyCountryInvalid, {}, {}},
      {"ticker:petr4", "exchange:1", 0, {companies_[0]}, {classes_[0]}},
      {"ticker:PETR4", "exchange:2", kCompanyKeyNoCompany, {}, {}},
      {"ticker:PETR4", "exchange:9999", kKeyExchangeInvalid, {}, {}},
      {"isin:BRPETRACNPR6", "exchange:1", 0, {companies_[0]}, {classes_[0]}},
      {"isin:", "exchange:1", kCompanyKeyNoCompany, {}, {}},
  };
  for (const auto& c : cases) {
    std::vector<int> found;
    EXPECT_EQ(ResolveCompanyKey(c.token1, c.token2, false, found), c.code) << c.token1;
    EXPECT_EQ(found, c.companies) << c.token1;
    const int classCode = c.code == kCompanyKeyNoCompany ? kClassKeyNoClass : c.code;
    if (c.token1 == "isin:") continue;  // an empty value names no class either, but is not looked up
    EXPECT_EQ(ResolveClassKey(c.token1, c.token2, className, found), classCode) << c.token1;
    EXPECT_EQ(found, c.classes) << c.token1;
  }
  std::vector<int> found;
  EXPECT_EQ(ResolveClassKey("cnpj:33000167000101", "country:0", "-", found), kClassKeyWithoutClassName);
  EXPECT_EQ(ResolveClassKey("cnpj:33000167000101", "country:0", "No such class", found), kClassKeyNoClass);
}

TEST_F(ImportKeyFormsTest, OneCompanyByCnpjTakesTheLastRegisteredOfThoseThatShareIt) {
  int company = -1;
  EXPECT_EQ(ResolveOneCompanyByCnpj("cnpj:33000167000101", "country:0", TDayNumber{36000}, company), 0);
  EXPECT_EQ(company, companies_[1]);
  EXPECT_EQ(ResolveOneCompanyByCnpj("cnpj:99", "country:0", TDayNumber{36000}, company), kAnswerNotFound);
  EXPECT_EQ(company, 0);
  EXPECT_EQ(ResolveOneCompanyByCnpj("PETR", "0", TDayNumber{36000}, company), kOneCompanyKeyNotCnpj);
  EXPECT_EQ(ResolveOneCompanyByCnpj("cnpj:1", "country:x", TDayNumber{36000}, company), kKeyCountryInvalid);
}

// A record's attributes, as the JSON import will hand them over.
class TRecord : public TKeyAttributes {
 public:
  std::map<std::string, std::string> texts;
  std::map<std::string, double> numbers;
  bool TextAttribute(std::string_view name, std::string& value) const override {
    const auto it = texts.find(std::string(name));
    if (it == texts.end()) return false;
    value = it->second;
    return true;
  }
  bool NumberAttribute(std::string_view name, double& value) const override {
    const auto it = numbers.find(std::string(name));
    if (it == numbers.end()) return false;
    value = it->second;
    return true;
  }
};

TEST(JsonCompanyKey, FirstPairPresentWithItsTypesChoosesTheForm) {
  TRecord record;
  TCompanyKey key;
  EXPECT_EQ(JsonCompanyKey(record, key), kJsonRecordWithoutCompanyKey);
  record.texts["ticker"] = "PETR4";
  record.numbers["exchange"] = 0.6;
  record.texts["companyid"] = "PETR";  // without a numeric country it is no pair
  record.texts["country"] = "0";
  ASSERT_EQ(JsonCompanyKey(record, key), 0);
  EXPECT_EQ(key.form, TCompanyKeyForm::Ticker);
  EXPECT_EQ(key.value1, "PETR4");
  EXPECT_EQ(key.value2, "1") << "a number is rounded";
  record.numbers["country"] = 1e30;
  ASSERT_EQ(JsonCompanyKey(record, key), 0);
  EXPECT_EQ(key.form, TCompanyKeyForm::CompanyCode);
  std::vector<int> companies;
  EXPECT_EQ(ResolveCompanyKey(key, false, companies), kKeyCountryInvalid) << "a code beyond any integer";
}

}  // namespace
}  // namespace zi
