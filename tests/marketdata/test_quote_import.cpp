// Quote files imported into a fresh embedded database: what each directive writes, what a bad line
// says, and the bulletins a run registers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/hooks.h"
#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "import/command_line_run.h"
#include "import/object_directives.h"
#include "marketdata/quote_calls.h"
#include "marketdata/quote_directives.h"
#include "marketdata/quote_export.h"
#include "server/server.h"
#include "session/bgl_cache.h"
#include "session/bulletin.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/numbers.h"
#include "toolbox/own_codes.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;

class QuoteImportTest : public testing::Test {
 protected:
  void SetUp() override {
    InstallCatalogueHooks();
    RegisterQuoteDirectives();
    RegisterObjectDirectives();
    SetLogFileName(dir_.File("zorinput.log"));
    SetReferenceDataLoader(CarregaDadosIniciais);
    Login({});
    Sql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'PETR', 0, 'Petro')");
    Sql("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (1, 1, 2, 0, 0)");
    Sql("INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor, TipoDeBGLDestino) VALUES "
        "(7, 1, 'PETR4', 1, 1, 0, 0), (8, 1, 'PETR3', 1, 1, 0, 2)");
    ResetBulletinRequest();
  }
  void TearDown() override {
    ResetBulletinRequest();
    SetReferenceDataLoader(nullptr);
    db::DestroyZiDb();
    SetLogFileName("zorinput.log");
  }
  void Login(const std::vector<std::string>& switches) {
    db::DestroyZiDb();
    std::vector<std::string> params = {"/opt/zorinput", "/user=ana", "/password=pw", "/database=" + dir_.File("zi.db")};
    params.insert(params.end(), switches.begin(), switches.end());
    SetParameters(params);
    ASSERT_EQ(InitDbConnection("", "", false, nullptr), 0);
  }
  server::Server& Server() { return *static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).Server(); }
  std::vector<std::vector<DbValue>> Sql(const std::string& sql) {
    const std::vector<server::ResultSet> sets = Server().ExecuteSql(sql);
    return sets.empty() ? std::vector<std::vector<DbValue>>{} : sets[0].rows;
  }
  // Each stored day: "ticker day v1 v5 v27", "-" for no value.
  std::vector<std::string> Quotes() {
    std::vector<std::string> days;
    for (const auto& row : Sql("SELECT s.cod || ' ' || date(c.dia * 86400 - 1577923200, 'unixepoch') || ' ' || "
                               "coalesce(c.v1, '-') || ' ' || coalesce(c.v5, '-') || ' ' || coalesce(c.v27, '-') "
                               "FROM Cotacao c JOIN anbima s ON s.id = c.anb ORDER BY s.cod, c.dia"))
      days.push_back(row[0].AsText());
    return days;
  }
  // Bulletins registered: "exchange type day".
  std::vector<std::string> Registered() {
    std::vector<std::string> rows;
    for (const auto& row : Sql("SELECT oid || ' ' || aux || ' ' || date(date + 2415018.5) FROM DataLog WHERE tip = 42 ORDER BY 1"))
      rows.push_back(row[0].AsText());
    return rows;
  }
  int Import(const std::string& text, bool andImport = true) {
    const std::string file = dir_.File("in.txt");
    test::WriteFile(file, text);
    impcli::tMyImpMain run(file, andImport, false, "");
    while (run.NotFinished()) run.Step();
    return run.ResultCode();
  }
  std::vector<std::string> Log() { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  // A fresh database file with the fixture's series.
  void FreshDatabase(const std::string& name) {
    db::DestroyZiDb();
    std::filesystem::rename(dir_.File("zi.db"), dir_.File(name));
    SetUp();
  }

  test::TempDir dir_;
};

using QuoteExportTest = QuoteImportTest;

TEST_F(QuoteImportTest, LinesWriteTheirValuesKeepStarredOnesAndSkipTooBigOnes) {
  const std::string values26 = " - - - - - - - - - - - - - - - - - - - - - - - - - -";
  ASSERT_EQ(Import("*QT \"PETR4\" 1 2024-04-08\n"
                   "*QT PETR4 1 2024-04-09 1e20 - - - 37.1" + values26.substr(10) + " 27\n"
                   "*QT PETR4 1 2024-04-10 1.5e20 - - - 5\n"
                   "*QT PETR3 1 2024-04-10 -1e300 - - - 5\n"),
            0);
  EXPECT_THAT(Quotes(), ElementsAre("PETR3 2024-04-10 -1.0e+300 5.0 -", "PETR4 2024-04-08 - - -",
                                    "PETR4 2024-04-09 1.0e+20 37.1 27.0"));
  EXPECT_THAT(Log(), Contains("ImpCot Warn:31131 ticker:PETR4/1 very big value <vlr#1:1.5e20>"));

  ASSERT_EQ(Import("*QT PETR4 1 2024-04-09 2 - - - *\n"
                   "*QTNOOVERWRITE PETR4 1 2024-04-08 3 - - - 4\n"
                   "*QTNOOVERWRITE PETR4 1 2024-04-09 3 - - - 4\n"),
            0);
  EXPECT_THAT(Quotes(), ElementsAre("PETR3 2024-04-10 -1.0e+300 5.0 -", "PETR4 2024-04-08 3.0 4.0 -",
                                    "PETR4 2024-04-09 2.0 37.1 -"));

  Login({"/MaxQTFieldValue=0"});
  ASSERT_EQ(Import("*QT PETR4 1 2024-04-10 1.5e20\n"), 0);
  EXPECT_THAT(Quotes(), Contains("PETR4 2024-04-10 1.5e+20 - -"));
}

TEST_F(QuoteImportTest, TheConditionGoesToTheServerAndUnknownTickersAreSkipped) {
  Sql("INSERT INTO RegistroCodCVMparaAnbima (cod_provis, cod_anbima) VALUES ('PETR9-provis', 'PETR4')");
  ASSERT_EQ(Import("*QT PETR4 1 2024-04-08 10\n"
                   "*QTIF PETR4 1 2024-04-08 \"# 1 < 20\" 11\n"
                   "*QTIF PETR4 1 2024-04-08 \"# 1 > 20\" 12\n"
                   "*QT PETR9-provis 1 2024-04-09 13\n"
                   "*QT NOSUCH 1 2024-04-09 14\n"),
            0);
  EXPECT_THAT(Quotes(), ElementsAre("PETR4 2024-04-08 11.0 - -", "PETR4 2024-04-09 13.0 - -"));
  EXPECT_THAT(Log(), Contains("line:5 ImpCot NOSUCH/1 error:CotacaoImport ticker not found error:4042"));

  ASSERT_EQ(Import("*DELQT PETR4 1 2024-04-09 2024-04-30\n*DELQT NOSUCH 1 2024-04-09 2024-04-30\n"), 0);
  EXPECT_THAT(Quotes(), ElementsAre("PETR4 2024-04-08 11.0 - -"));
}

TEST_F(QuoteImportTest, SeriesLinesOfTheFileChangeWhatLaterQuoteLinesFind) {
  Sql("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (2, 1, 3, 0, 0)");
  ASSERT_EQ(Import("*QT NEW4 1 2024-04-08 1\n"
                   "*OBJSERIE NEW4 1 PETR 0 Preferenciais N 0 Nova 1 5 NEW4 N N 0 0 0 0 0 0 N\n"
                   "*QT NEW4 1 2024-04-09 2\n"
                   "*QT PETR4 1 2024-04-09 3\n"
                   "*SERIESTATUS PETR4 1 5\n"),
            0);
  EXPECT_THAT(Quotes(), ElementsAre("NEW4 2024-04-09 2.0 - -", "PETR4 2024-04-09 3.0 - -"));
  int type = 0;
  EXPECT_EQ(TipoDeBGLDestinoCache().TipoDoTicker(1, "PETR4", type), 0);
  EXPECT_EQ(type, 5);
}

// Within one commit group the server keeps the series it found by ticker (and that a ticker has
// none); a series added between two calls of the group is found by the second.
TEST_F(QuoteImportTest, ACommitGroupSeesASeriesAddedBetweenTwoOfItsCalls) {
  TQuoteImport line;
  line.ticker = "NEW4";
  line.exchange = 1;
  line.date = *DayNumberFromDate({2024, 4, 8});
  line.values.fill(kMissing);
  line.values[0] = 1.5;
  db::TAdoDataBaseComInfoTran& database = db::ZiDb();
  ASSERT_TRUE(database.StartCommitGroups());
  bool committed = false;
  const auto item = [&](const std::function<void()>& body) {
    ASSERT_EQ(database.BeginGroupItem(committed), 0);
    body();
    ASSERT_EQ(database.EndGroupItem(true), 0);
  };
  item([&] { EXPECT_EQ(DbCotacaoImportV4(line), 3757); });
  item([&] {
    Sql("INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor) VALUES (9, 1, 'NEW4', 1, 1, 0)");
  });
  item([&] { EXPECT_EQ(DbCotacaoImportV4(line), 0); });
  line.ticker = "PETR4";
  item([&] { EXPECT_EQ(DbCotacaoImportV4(line), 0); });
  item([&] {
    Sql("UPDATE anbima SET cod = 'OLD4' WHERE id = 7");
    Sql("UPDATE anbima SET cod = 'PETR4' WHERE id = 9");
  });
  line.date = *DayNumberFromDate({2024, 4, 9});
  item([&] { EXPECT_EQ(DbCotacaoImportV4(line), 0); });
  ASSERT_EQ(database.StopCommitGroups(committed), 0);
  EXPECT_TRUE(committed);
  EXPECT_THAT(Quotes(), ElementsAre("OLD4 2024-04-08 1.5 - -", "PETR4 2024-04-08 1.5 - -", "PETR4 2024-04-09 1.5 - -"));
}

TEST_F(QuoteImportTest, ABadLineSaysWhatIsWrongAndTheFileWritesNothing) {
  const std::string values27 = " 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27";
  const struct {
    std::string line;
    int code;
    std::string message;  // empty: the code alone
  } cases[] = {
      {"*QT PETR4 1 2024-04-08" + values27 + " 28", 3950, "Invalid # of fields : <28>"},
      {"*QT PETR4 1 2024-04-08 1,5", 3954, "Invalid <vlr#1:1,5>"},
      {"*QT PETR4 1 2024-04-08 1 nan", 3954, "Invalid <vlr#2:nan>"},
      {"*QT PETR4 1 2024-04-08 1e400", 3954, "Invalid <vlr#1:1e400>"},
      {"*QT \"\" 1 2024-04-08 1", 3951, "Empty <ticker>"},
      {"*QT PETR4 BOVESPA 2024-04-08 1", 3952, "Invalid <exchange>"},
      {"*QT PETR4 199 2024-04-08 1", 3952, "Invalid <exchange>"},
      {"*QT PETR4 1 2024-02-30 1", 3953, "Invalid <date>"},
      {"*QT PETR4 1", 3953, "Invalid <date>"},
      {"*QT PETR4 1 1920-01-01 1", 3953, "Invalid <date>"},
      {"*QTNOOVERWRITE PETR4 1 1920.01.01 1", 3953, "Invalid <date>"},
      {"*QTIF PETR4 1 1920-01-01 \"# 1 < 20\" 5", 3953, "Invalid <date>"},
      {"*QTIF PETR4 1 2024-04-08 # 1 < 20 5", 4393, ""},
      {"*DELQT PETR4 1 2024-04-08", 3950, "Invalid # of fields"},
      {"*DELQT PETR4 1 - 2024-04-08", 3953, "Invalid from <date>"},
      {"*DELQT PETR4 1 2024-04-08 2024-13-01", 3953, "Invalid to <date>"},
      {"*DELQT PETR4 1 1920-01-01 2024-04-08", 3953, "Invalid from <date>"},
      {"*DELQT PETR4 1 2024-04-08 1920-01-01", 3953, "Invalid to <date>"},
      {"*BOLCOT 1 2024-04-08 12", 4104, ""},
      {"*BOLCOT 1", 4100, "Invalid # of fields"},
      {"*BOLCOT 99 2024-04-08", 4101, "Invalid <exchange>"},
      {"*BOLCOT 1 2024-04-31", 4102, "Invalid <date>"},
      {"*BOLCOT 1 1920-01-01", 4102, "Invalid <date>"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir_.File("zorinput.log"));
    EXPECT_EQ(Import("*QT PETR4 1 2024-04-05 1\n" + c.line + "\n"), c.code) << c.line;
    if (!c.message.empty()) {
      EXPECT_THAT(Log(), Contains("line:2 " + c.message)) << c.line;
    }
  }
  EXPECT_THAT(Quotes(), IsEmpty());
  EXPECT_THAT(Registered(), IsEmpty());
}

// A line that fails for another process's write lock says why, and one whose call failed without a
// text of its own shows its code once after "error:".
TEST_F(QuoteImportTest, AFailedCallSaysWhyInOneErrorLabel) {
  Server().SetBusyTimeoutForTests(50);
  const auto writer = server::Server::Open(dir_.File("zi.db"), server::ProductRegistry());
  writer->Begin();
  Import("*QT PETR4 1 2024-04-08 10\n");
  writer->Rollback();
  EXPECT_THAT(Log(), Contains("line:1 ImpCot PETR4/1 error:Another process is writing to the database; try again "
                              "later error:99201"));

  const std::string file = dir_.File("in.txt");
  test::WriteFile(file, "*QT PETR4 1 2024-04-09 11\n");
  impcli::tMyImpMain run(file, true, false, "");
  bool failing = false;
  while (run.NotFinished()) {
    run.Step();
    if (failing) continue;
    const std::vector<std::string> recent = RecentLogLines();
    failing = std::any_of(recent.begin(), recent.end(),
                          [](const std::string& line) { return line.ends_with("check ok, starting import"); });
    if (failing) static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).InjectFaults({.failCall = 1, .failPersistent = true});
  }
  static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).InjectFaults({});
  ASSERT_TRUE(failing);
  EXPECT_THAT(Log(), Contains("line:1 ImpCot PETR4/1 error:3939"));
  EXPECT_THAT(Log(), testing::Not(Contains(testing::HasSubstr("error:error:"))));
  EXPECT_THAT(Quotes(), IsEmpty());
}

TEST_F(QuoteImportTest, TheRunRegistersItsBulletinsAndACheckOnlyRunOnlyLogsThem) {
  Sql("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3) "
      "INSERT INTO anbima (acao, cod, bolsa, moedacot, PaisProCodZor, TipoDeBGLDestino) "
      "SELECT 1, 'S' || i, 1, 1, 0, 0 FROM n");
  // Type 0 of exchange 1 has four active series: three lines of a day make its bulletin.
  const std::string file = "*BOLCOT 1 2024-04-05\n"
                           "*QT PETR4 1 2024-04-08 1\n*QT S1 1 2024-04-08 1\n*QT S2 1 2024-04-08 1\n"
                           "*QT PETR4 1 2024-04-09 1\n";
  ASSERT_EQ(Import(file, false), 0);
  EXPECT_THAT(Registered(), IsEmpty());
  EXPECT_EQ(PendingBulletinPriority(), 0);
  EXPECT_THAT(Log(), Contains("- BolCot: 2024/04/08-00:00:00 xchg:1 TBGL:L #:3 (check only: not registered)"));

  ASSERT_EQ(Import(file), 0);
  EXPECT_THAT(Registered(), ElementsAre("1 0 2024-04-05", "1 0 2024-04-08", "1 1 2024-04-05", "1 2 2024-04-05",
                                        "1 3 2024-04-05", "1 4 2024-04-05", "1 6 2024-04-05"));
  EXPECT_EQ(PendingBulletinPriority(), 1);
  EXPECT_THAT(Log(), Contains("- BolCot: 2024/04/08-00:00:00 xchg:1 TBGL:L #:3"));
  EXPECT_THAT(Log(), Contains("- BolCot: 2024/04/05-00:00:00 xchg:1 TBGL:G Forced"));
  // The bulletin's days are not announced one by one; the day outside it is.
  EXPECT_THAT(Sql("SELECT date(date + 2415018.5) FROM DataLog WHERE tip IN (10, 11)"), ElementsAre(ElementsAre(DbValue("2024-04-09"))));
}

TEST_F(QuoteExportTest, SelectionWordsAreNumbersAndDatesOrNothingRuns) {
  const std::optional<TQuoteExportSelection> good = ParseQuoteExportSelection("0;12;2024-01-02;2024-12-31;out.txt");
  ASSERT_TRUE(good);
  EXPECT_EQ(good->country, 0);
  EXPECT_EQ(good->assetType, 12);
  EXPECT_EQ(FormatIsoDate(good->first), "2024-01-02");
  EXPECT_EQ(FormatIsoDate(good->last), "2024-12-31");
  EXPECT_EQ(good->file, "out.txt");
  for (const char* bad : {"0;12;2024-01-02;2024-12-31", "0 or 1=1;12;2024-01-02;2024-12-31;out.txt",
                          "0;12);2024-01-02;2024-12-31;out.txt", "0;12;2024-02-30;2024-12-31;out.txt",
                          "0;12;2024-01-02;-;out.txt", "0;12;2024-01-02;2024-12-31;", "0;12;2024-01-02;2024-12-31;a;b"}) {
    EXPECT_FALSE(ParseQuoteExportSelection(bad)) << bad;
  }
  EXPECT_EQ(ExportaCotacoes("0;0) or (1=1;2024-01-02;2024-12-31;out.txt"), kQuoteExportSelection);
}

TEST_F(QuoteExportTest, LinesHoldTheShortestFormOfEachValue) {
  TQuoteRecord day{*DayNumberFromDate({2024, 4, 8}), {}};
  day.values.fill(kMissing);
  day.values[0] = 37.1;
  day.values[1] = 0.1 + 0.2;
  day.values[2] = -1e20;
  day.values[26] = 41230;
  EXPECT_EQ(QuoteExportLine("PETR4", 1, day),
            "*QT \"PETR4\" 1 2024-04-08 37.1 0.30000000000000004 -1e+20 - - - - - - - - - - - - - - - - - - - - - - - 41230");
  EXPECT_THAT(QuoteExportLine("A\"B", 1, day), testing::StartsWith("*QT 'A\"B' 1 2024-04-08 "));
}

TEST_F(QuoteExportTest, AnExportedFileImportedIntoAFreshDatabaseExportsTheSameFile) {
  ASSERT_EQ(Import("*QT PETR4 1 2024-04-08 37.1 0.30000000000000004 -1e20 1e-7 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 "
                   "20 21 22 23 24 25 26 27\n"
                   "*QT PETR4 1 2024-04-09 - 2\n*QT PETR4 1 2023-12-29 3\n*QT PETR3 1 2024-04-09 4\n"),
            0);
  const std::string selection = "0;0;2024-01-01;2024-12-31;";
  ASSERT_EQ(ExportaCotacoes(selection + dir_.File("first.txt")), 0);
  const std::string first = test::ReadFile(dir_.File("first.txt"));
  EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 3) << first;
  EXPECT_THAT(first, testing::HasSubstr("*QT \"PETR3\" 1 2024-04-09 4 - - "));

  FreshDatabase("old.db");
  ASSERT_EQ(Import(first), 0);
  ASSERT_EQ(ExportaCotacoes(selection + dir_.File("second.txt")), 0);
  EXPECT_EQ(test::ReadFile(dir_.File("second.txt")), first);
}

}  // namespace
}  // namespace zi
