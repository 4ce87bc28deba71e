// The object, reference-data and indicator directives through the real embedded server: files
// checked whole and imported, every bad field refused by the check pass, objects that vanish
// between the passes, and lines whose writes are all or nothing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "import/directives.h"
#include "import/indicator_directives.h"
#include "import/object_directives.h"
#include "import/reference_directives.h"
#include "import/run.h"
#include "session/reference_data.h"
#include "support/logged_in_database.h"

namespace zi {
namespace {

using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

// A run whose messages are collected.
class TTestRun : public TImpMain {
 public:
  explicit TTestRun(std::string_view text) : TImpMain("in.txt", true, false, text) {}
  void Output(std::string_view message, bool) override { messages.emplace_back(message); }
  void RunToEnd() {
    while (NotFinished()) Step();
  }
  // Steps until the check pass has read that many lines.
  void CheckLines(int lines) {
    while (NotFinished() && ToNoCheck() && lnn() < lines) Step();
  }
  std::vector<std::string> messages;

 protected:
  const char* ClassName() const override { return "tMyImpMain"; }
};

// A company with its class and series; another of the same CNPJ, with its own.
constexpr const char* kCatalogue =
    "*OBJEMP PETR 0 Petrobras 1 1 1 2111 Petroleo x x 33000167000101\n"
    "*OBJCLASS PETR 0 Preferenciais 0 1\n"
    "*OBJSERIE PETR4 1 PETR 0 Preferenciais N 0 \"Petrobras PN\" 1 1 PETR4 N N 0 0 0 0 0 0 N\n"
    "*OBJEMP PETRX 0 \"Petrobras X\" 1 1 1 2111 Petroleo x x 33000167000101\n"
    "*OBJCLASS PETRX 0 Preferenciais 0 1\n"
    "*OBJSERIE PETX4 1 PETRX 0 Preferenciais N 0 \"Petrobras X PN\" 1 1 PETX4 N N 0 0 0 0 0 0 N\n";

// The fields of a new series after its key and class, all given.
constexpr const char* kSeriesFields = " N 0 Nova 1 5 NOVA N N 0 0 0 0 0 0 N";

class DirectivesTest : public test::LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    RegisterObjectDirectives();
    RegisterReferenceDirectives();
    RegisterIndicatorDirectives();
  }
  void TearDown() override {
    for (const TDirective& d : DirectiveTable()) {
      if (d.kind != TDirectiveKind::Builtin) SetDirectiveHandler(d.keyword, nullptr);
    }
    LoggedInDatabase::TearDown();
  }

  // Checks the text and imports it: the run's result.
  int Import(const std::string& text) {
    TTestRun run(text);
    run.RunToEnd();
    messages_ = run.messages;
    DropObjectCaches();
    return run.ResultCode();
  }
  std::string Messages() const {
    std::string all;
    for (const std::string& m : messages_) all += m + "\n";
    return all;
  }
  std::string Text(const std::string& sql) { return SqlValue(sql).AsText(); }
  int64_t Number(const std::string& sql) {
    const DbValue value = SqlValue(sql);
    return value.Type() == DbType::Float ? static_cast<int64_t>(value.AsFloat()) : value.AsInteger();
  }

  std::vector<std::string> messages_;
};

TEST_F(DirectivesTest, AFileOfObjectsAndTheirIndicatorsIsCheckedWholeThenImported) {
  const std::string file = std::string(kCatalogue) +
                           "*COMREG PETR 0 63 45000 2024-01-01\n"
                           "*CLASSREG PETR 0 Preferenciais 65 Preferencial\n"
                           "*SERIEREG PETR4 1 61 USD\n"
                           "*ISIN PETR4 1 BRPETRACNPR6\n"
                           "*SERIESTATUS PETR4 1 5\n";
  std::string broken = file;
  broken.replace(broken.find("\"Petrobras PN\" 1"), 16, "\"Petrobras PN\" 77");
  const std::string before = Dump();
  EXPECT_EQ(Import(broken), 15263);
  EXPECT_TRUE(Dump() == before) << "nothing written";
  EXPECT_THAT(Messages(), Not(HasSubstr("check ok, starting import")));

  ASSERT_EQ(Import(file), 0) << Messages();
  EXPECT_THAT(Messages(), Not(HasSubstr("Warning")));
  EXPECT_EQ(Number("SELECT count(*) FROM empresa WHERE cnpj = '33000167000101'"), 2);
  EXPECT_EQ(Number("SELECT count(*) FROM anbima a JOIN ativo c ON c.id = a.acao JOIN empresa e ON e.id = c.emp "
                   "WHERE a.cod = 'PETR4' AND e.cod = 'PETR' AND c.idclass = 3 AND a.isin = 'BRPETRACNPR6' "
                   "AND a.TipoDeBGLDestino = 5"),
            1);
  EXPECT_EQ(Text("SELECT valorst FROM IndicadoresDaEmp WHERE indica = 58 AND emp = 1"), "Petroleo");
  EXPECT_EQ(Number("SELECT valornum FROM IndicadoresDaEmp WHERE indica = 63 AND DataIniVigencia = 45292"), 45000);
  EXPECT_EQ(Number("SELECT valornum FROM IndicadoresDoAtv WHERE indica = 65 AND atv = 1"), 2);
  EXPECT_EQ(Number("SELECT valornum FROM IndicadoresDoAnb WHERE indica = 61 AND anb = 1"), 2);
  EXPECT_EQ(Text("SELECT valorst FROM IndicadoresDoAnb WHERE indica = 48 AND anb = 1"), "Petrobras PN");
}

// The check pass refuses every line the import pass could not write, and writes nothing.
TEST_F(DirectivesTest, TheCheckPassRefusesEveryBadField) {
  ASSERT_EQ(Import(kCatalogue), 0);
  Sql("INSERT INTO DefIndicador (id, FormatoCampo, NomePT) VALUES (70, 3, 'Fora|dos formatos')");
  LogIn("ana", "pw");
  struct Case {
    std::string line;
    int code;
    const char* message = nullptr;
  };
  std::vector<Case> cases = {
      {"*OBJEMP PETR", 7126},
      {"*OBJEMP - 0 X", 7127},
      {"*OBJEMP A x X", 7128},
      {"*OBJEMP A 99 X", 4173},
      {"*OBJEMP PETR 0 - 2", 7131},
      {"*OBJEMP PETR 0 - - 77", 7132},
      {"*OBJEMP PETR 0 - - - 1-9", 7134},
      {"*OBJEMP PETR 0 - - - 1-1-1-1-1", 7134},
      {"*OBJEMP PETR 0 - - - - 9999", 7133},
      {"*OBJEMP NOVA 0 \"Nova SA\" 0 1 1 2111 texto x", 7130},
      {"*OBJCLASS PETR 0", 15253},
      {"*OBJCLASS PETR 0 Preferenciais 40", 15256},
      {"*OBJCLASS PETR 0 Preferenciais 0 9", 15257},
      {"*OBJCLASS PETR 0 Preferenciais 0 1 talvez", 99501},
      {"*OBJCLASS NOPE 0 Preferenciais 0 1", 4170},
      {"*OBJCLASS PETR 0 Inexistente 0 1", 4171},
      {"*OBJCLASS PETR 0 \"Renda fixa\" 0", 15259},
      {"*OBJSERIE PETR4", 15260},
      {"*OBJSERIE \"\" 1", 4136, "Empty <ticker>"},
      {"*OBJSERIE PETR4 9", 4137, "Invalid <exchange>"},
      {"*OBJSERIE PETR4 1 PETR 0", 15273},
      {"*OBJSERIE PETR4 1 - - - x", 15261},
      {"*OBJSERIE PETR4 1 - - - N 12", 15262},
      {"*OBJSERIE PETR4 1 - - - N 0 t 77", 15263},
      {"*OBJSERIE PETR4 1 - - - N 0 t 1 1,5", 15264},
      {"*OBJSERIE PETR3 1 PETR 0 \"Renda fixa\"" + std::string(kSeriesFields), 4172},
      {"*OBJSERIE PETR3 1 PETR 0 Preferenciais", 15274},
      {"*SERIESTATUS PETR4 1", 4139, "Invalid # of fields : 3"},
      {"*SERIESTATUS \"\" 1 5", 4136, "Empty <ticker>"},
      {"*SERIESTATUS PETR4 x 5", 4137, "Invalid <exchange>"},
      {"*SERIESTATUS PETR4 1 x", 4138, "Invalid NewStatus"},
      {"*ISIN PETR4 1 BRPETRACNPR6X", 99502},
      {"*ISIN PETR4 1", 4327, "Invalid # of fields : 3"},
      {"*NAICS PETR 0", 15311},
      {"*NAICS PETR 0 x", 15314},
      {"*NAICS PETR 0 9999", 15315},
      {"*NAICS NOPE 0 21", 4174},
      {"*NAICS PETR 99 21", 4182},
      {"*PAIS 71", 3943},
      {"*PAIS x ZX Nome", 3943},
      {"*PAIS 71 ZX Nome demais", 3943},
      {"*CURRENCY 30 CHF x", 3943},
      {"*BOLSA 5 0 B5 X5 1 2 3 OUTROS demais", 3943},
      {"*VOTINGSTATUS 2", 3943},
      {"*OCOTIPO 9 5 SUB LB2", 3943},
      {"*LISTCHOICE 41 0 X", 4400},
      {"*LISTCHOICE 41 NEW", 4400},
      {"*LISTCHOICE 41 doc-id: X", 4400},
      {"*LISTCHOICE 300 NEW X", 4400},
      {"*LISTCHOICE 41 NEW a b c d", 4400},
      {"*COMREG PETR 0 50 1", 4301},
      {"*COMREG PETR 0 63", 4302},
      {"*COMREG PETR 0 63 1 2100-01-01", 25072},
      {"*COMREG PETR 0 63 1 1919-12-31", 25072},
      {"*COMREG PETR 0 63 abc", 4294},
      {"*COMREG PETR 0 60 2024-02-30", 45113},
      {"*COMREG PETR 0 63 1 2024-01-01 demais", 99503},
      {"*COMREG PETR 0 64 2024-01-01", 4292},
      {"*COMREG NOPE 0 63 1", 4174},
      {"*COMREG cnpj:1 country:0 63 1", 4304},
      {"*CLASSREG PETR 0 Inexistente 65 Preferencial", 4171},
      {"*CLASSREG cnpj:1 country:0 Preferenciais 65 Preferencial", 4169},
      {"*SERIEREG \"\" 1 61 USD", 4167},
      {"*SERIEREG PETR4 x 61 USD", 4177},
      {"*SERIEREG PETR4 1 61 XYZ", 4179},
      {"*COMREGREPEATDATE PETR 0 63 - 2024-01-01", 45081},
      {"*COMREGREPEATDATE PETR 0 50 2024-01-01 -", 45080},
      {"*EAAREG PETR4 1 50 1", 25001},
      {"*EAAREG PETR4 1 63", 25002},
      {"*EAAREG PETR4 1 63 1 x", 25073},
      {"*EAAREG PETR4 1 142 Semanal", 4307},
      {"*EAAREG PETR4 1 70 x", 25004},
      {"*EAAREGIFEXISTS PETR9 1 63 1", 4178},
  };
  // Tokens 12 to 19 have a code each; token 20, a yes/no, ours.
  for (int token = 12; token <= 20; ++token) {
    std::string line = "*OBJSERIE PETR4 1";
    for (int i = 3; i < token; ++i) line += " -";
    cases.push_back({line + " x", token == 20 ? 99501 : 15265 + token - 12});
  }
  const std::string before = Dump();
  for (const Case& c : cases) {
    EXPECT_EQ(Import(c.line), c.code) << c.line;
    if (c.message) {
      EXPECT_THAT(Messages(), HasSubstr("line:1 " + std::string(c.message))) << c.line;
    }
    ASSERT_TRUE(Dump() == before) << c.line;
  }
  EXPECT_THAT(Log(), HasSubstr("IIDEAA erro:4292 IdIndica:64 IdEAA:1 EAA:emp TaNoFormatoCadastro:N TaEmAlgumaApres:Y"));
  EXPECT_THAT(Log(), HasSubstr("IIDEAA erro:25004 IdIndica:70 IdAnb:1 ProcurandoPorEAA.Id[EAA]:1 Pais:0 EAA:anb "
                               "TaEmAlgumaApres:N"));
}

// The check pass reads the fields of *ISIN and *SERIESTATUS alone: a ticker that no series has
// fails its own line in the import pass, and the file's other lines are written.
TEST_F(DirectivesTest, AStaleTickerFailsItsOwnLineAndTheRestIsImported) {
  ASSERT_EQ(Import(kCatalogue), 0);
  TTestRun run(
      "*ISIN GONE4 1 BRGONEACNOR1\n"
      "*ISIN PETR4 1 BRPETRACNPR6\n"
      "*SERIESTATUS GONE4 1 5\n"
      "*SERIESTATUS PETX4 1 5\n");
  run.RunToEnd();
  EXPECT_THAT(run.messages, testing::Contains("check ok, starting import"));
  EXPECT_EQ(run.ErroNaoFatalCount(), 2);
  EXPECT_EQ(run.ResultCode(), 99104);
  EXPECT_THAT(run.messages,
              testing::Contains("line:1 ImportAnbISIN GONE4/1 error:Could not find the item error:99104"));
  EXPECT_THAT(run.messages,
              testing::Contains("line:3 ImportAnbBGLDestino GONE4/1 error:Could not find the item error:99104"));
  EXPECT_EQ(Text("SELECT group_concat(cod || '/' || isin || '/' || TipoDeBGLDestino, ' ') FROM "
                 "(SELECT * FROM anbima ORDER BY cod)"),
            "PETR4/BRPETRACNPR6/0 PETX4//5");
}

// Lines may name objects that earlier lines create; a series is known to later lines however its
// class was found.
TEST_F(DirectivesTest, LaterLinesKnowTheObjectsEarlierLinesCreate) {
  ASSERT_EQ(Import(kCatalogue), 0);
  const std::string file =
      "*OBJEMP NOVA 0 \"Nova SA\" 0 1 1 2111 texto x y\n"
      "*NAICS NOVA 0 2211\n"
      "*COMREG NOVA 0 63 10\n"
      "*OBJCLASS NOVA 0 Preferenciais 0 1\n"
      "*CLASSREG NOVA 0 Preferenciais 65 Preferencial\n"
      "*OBJSERIE NOVA4 1 NOVA 0 Preferenciais" +
      std::string(kSeriesFields) +
      "\n"
      "*OBJSERIE PETR5 1 PETR 0 Preferenciais" +
      std::string(kSeriesFields) +
      "\n"
      "*SERIEREG PETR5 1 61 USD\n"
      "*SERIESTATUS PETR5 1 5\n"
      "*ISIN NOVA4 1 BRNOVAACNOR1\n";
  ASSERT_EQ(Import(file), 0) << Messages();
  EXPECT_THAT(Messages(), HasSubstr("New Serie: \"PETR5\" \"1\" \"Brazil\" \""));
  EXPECT_THAT(Messages(), Not(HasSubstr("Warning")));
  EXPECT_EQ(Number("SELECT naics FROM empresa WHERE cod = 'NOVA'"), 2211);
  EXPECT_EQ(Number("SELECT TipoDeBGLDestino FROM anbima WHERE cod = 'PETR5'"), 5);
  EXPECT_EQ(Number("SELECT count(*) FROM IndicadoresDoAnb i JOIN anbima a ON a.id = i.anb "
                   "WHERE a.cod = 'PETR5' AND i.indica = 61"),
            1);
}

// A class name one file adds is known to the check pass of the next file of the session.
TEST_F(DirectivesTest, AClassNameAFileAddsIsKnownToLaterFiles) {
  ASSERT_EQ(Import(kCatalogue + std::string("*OBJCLASS PETR 0 \"Classe nova\" 0 1 Y\n")), 0) << Messages();
  EXPECT_EQ(Import("*OBJEMP NOVA 0 Nova 0 1 1 2111 t x y\n*OBJCLASS NOVA 0 \"Classe nova\" 0 1\n"), 0)
      << Messages();
}

// A class or company that another process removes between the passes fails the lines that name it
// and nothing else: an existing series keeps its class, a new one needs it.
TEST_F(DirectivesTest, AnObjectThatVanishesBetweenThePassesFailsItsLinesAlone) {
  ASSERT_EQ(Import(kCatalogue + std::string("*OBJEMP SOLO 0 Solo 0 1 1 2111 t x y\n")), 0);
  TTestRun run(
      "*OBJSERIE PETR4 1 PETR 0 Preferenciais - - \"Novo nome\"\n"
      "*OBJSERIE PETR5 1 PETR 0 Preferenciais" +
      std::string(kSeriesFields) +
      "\n"
      "*NAICS SOLO 0 2211\n"
      "*NAICS PETR 0 2211\n"
      "*OCOLOCA\n");
  run.CheckLines(4);
  Sql("UPDATE ativo SET idclass = 2 WHERE emp = (SELECT id FROM empresa WHERE cod = 'PETR')");
  Sql("DELETE FROM empresa WHERE cod = 'SOLO'");
  run.RunToEnd();
  EXPECT_EQ(run.ResultCode(), 4172) << "the first failed line's";
  EXPECT_EQ(run.ErroNaoFatalCount(), 2);
  EXPECT_EQ(Text("SELECT valorst FROM IndicadoresDoAnb WHERE indica = 48 AND anb = 1"), "Novo nome");
  EXPECT_EQ(Number("SELECT count(*) FROM anbima WHERE cod = 'PETR5'"), 0);
  EXPECT_EQ(Number("SELECT naics FROM empresa WHERE cod = 'PETR'"), 2211);
}

// Every write a line makes stays, or none does: a failure at each call of the line in turn leaves
// the database as it was before the line.
TEST_F(DirectivesTest, TheWritesOfALineAreAllOrNothing) {
  ASSERT_EQ(Import(kCatalogue), 0);
  const std::string lines[] = {
      "*OBJEMP NOVA 0 \"Nova SA\" 0 1 1 2111 texto x y 11222333000181",
      "*OBJCLASS PETR 0 \"Classe nova\" 0 1 Y",
      "*OBJSERIE PETR5 1 PETR 0 Preferenciais" + std::string(kSeriesFields),
      "*NAICS cnpj:33000167000101 country:0 2211",
      "*COMREG cnpj:33000167000101 country:0 63 100",
      "*COMREG cnpj:33000167000101 country:0 9 11222333000181",
  };
  for (const std::string& line : lines) {
    const std::string before = Dump();
    int failures = 0;
    // The first call begins the import pass's group of lines; a group that cannot begin is no
    // failure (each call then commits on its own), so the faults start at the second.
    for (int call = 2;; ++call) {
      TTestRun run(line + "\n*OCOLOCA\n");
      run.CheckLines(1);
      Driver().InjectFaults({.failCall = call});
      run.RunToEnd();
      Driver().InjectFaults({});
      DropObjectCaches();
      if (run.ResultCode() == 0) break;
      ++failures;
      ASSERT_TRUE(Dump() == before) << line << " failing at call " << call;
      ASSERT_LT(call, 50) << line;
    }
    EXPECT_GE(failures, 3) << line << ": a transaction and at least two writes";
    EXPECT_FALSE(Dump() == before) << line;
  }
}

// A list item that a failed line added is gone with the line: a later line adds it again rather
// than write a key the list does not hold.
TEST_F(DirectivesTest, AListItemOfALineThatFailsIsForgotten) {
  ASSERT_EQ(Import(kCatalogue), 0);
  const std::string dangling =
      "SELECT count(*) FROM IndicadoresDaEmp WHERE indica = 142 AND valornum NOT IN "
      "(SELECT ordinal FROM CampoListaDeValores WHERE formatocampo = 41)";
  for (int call = 1;; ++call) {
    const std::string name = "Item" + std::to_string(call);
    TTestRun run("*COMREGADDITEMIFNEW cnpj:33000167000101 country:0 142 " + name + "\n" +
                 "*COMREGADDITEMIFNEW PETR 0 142 " + name + "\n");
    run.CheckLines(2);
    Driver().InjectFaults({.failCall = call});
    run.RunToEnd();
    Driver().InjectFaults({});
    DropObjectCaches();
    ASSERT_EQ(Number(dangling), 0) << "failing at call " << call;
    if (run.ResultCode() == 0) break;
    ASSERT_LT(call, 50);
  }
}

TEST_F(DirectivesTest, CompanyLinesChangeOnlyWhatTheyGive) {
  ASSERT_EQ(Import(kCatalogue), 0);
  Sql("INSERT INTO BufPorPais (pais, tipo, conteudo) VALUES (0, 1, 'sociedade anonima = S.A.'), "
      "(0, 2, 'de\ne\ndo\nda')");
  const std::string name70 = "SOCIEDADE ANONIMA DE PETROLEO E GAS NATURAL DO NORTE E NORDESTE BRASIL";
  ASSERT_EQ(name70.size(), 70u);
  ASSERT_EQ(Import("*OBJEMPABREV ABRV 0 \"" + name70 +
                   "\" 0 1 1 2111 \"TEXTO DA SOCIEDADE ANONIMA\" x y\n"
                   "*OBJEMP LONGA 0 \"" +
                   name70 +
                   "\" 0 1 1 2111 t x y\n"
                   "*NAICSIF PETR 0 2111\n"
                   "*NAICSIF PETRX 0 211\n"
                   "*NAICSIF PETR 0 2211\n"
                   "*OBJEMP PETRX 0 - - - - - - - - 11222333000181\n"
                   "*OBJEMP ASPAS 0 'Caf\xE9 \"Bom\" \x8A"
                   "a' 0 1 1 2111 t x y\n"),
            0)
      << Messages();
  EXPECT_EQ(Text("SELECT nome FROM empresa WHERE cod = 'ABRV'"), "S.A. de Petroleo e Gas Natural do Norte e Nordeste");
  EXPECT_EQ(Text("SELECT valorst FROM IndicadoresDaEmp i JOIN empresa e ON e.id = i.emp WHERE e.cod = 'ABRV'"),
            "Texto da S.A.");
  EXPECT_EQ(Text("SELECT nome FROM empresa WHERE cod = 'LONGA'"), name70);
  EXPECT_EQ(Number("SELECT naics FROM empresa WHERE cod = 'PETR'"), 2211);
  EXPECT_EQ(Text("SELECT nome || '/' || naics || '/' || cnpj FROM empresa WHERE cod = 'PETRX'"),
            "Petrobras X/2111/11222333000181");
  EXPECT_EQ(Text("SELECT nome FROM empresa WHERE cod = 'ASPAS'"),
            "Caf\xE9 \"Bom\" \x8A"
            "a");
}

TEST_F(DirectivesTest, ReferenceDataIsWrittenOnlyByTheImportPass) {
  ASSERT_EQ(Import("*PAIS 71 ZY Zyland\n*CURRENCY 31 ZYD 71 \"Zy dollar\"\n*LISTCHOICE 41 NEW Semanal\n"), 0);
  EXPECT_EQ(Text("SELECT cod2 || nome FROM Pais WHERE id = 71"), "ZYZyland");
  EXPECT_EQ(Text("SELECT cod || pais || nome FROM Moeda WHERE id = 31"), "ZYD71Zy dollar");
  EXPECT_EQ(Text("SELECT nomept || nomeen || nomees FROM CampoListaDeValores WHERE ordinal = 4"),
            "SemanalSemanalSemanal");
  EXPECT_FALSE(Listas().EnumMoeda.Lido()) << "the session reads the list it changed again";
  const std::string before = Dump();
  EXPECT_EQ(Import("*PAIS 72 BR Brasil2\n*VOTINGSTATUS 3 NOVO\n"), 99106) << "a code another country holds";
  EXPECT_EQ(Number("SELECT count(*) FROM VoteStat WHERE id = 3"), 1) << "the other line is imported";
}

// The catalogue the README's main job imports before the prices: the series the prices name, on
// BOVESPA; imported again, it changes nothing.
TEST_F(DirectivesTest, TheExampleCatalogueCreatesTheSeriesOfTheExamplePrices) {
  const std::string catalogue = test::ReadFile(std::string(ZI_EXAMPLES_DIR) + "/catalogue.txt");
  ASSERT_EQ(Import(catalogue), 0) << Messages();
  EXPECT_EQ(Text("SELECT group_concat(serie, ' ') FROM (SELECT a.cod || '@' || b.cod AS serie FROM anbima a "
                 "JOIN Bolsa b ON b.id = a.bolsa ORDER BY a.cod)"),
            "PETR4@BOVESPA VALE3@BOVESPA");
  const std::string imported = Dump();
  ASSERT_EQ(Import(catalogue), 0) << Messages();
  EXPECT_TRUE(Dump() == imported);
}

}  // namespace
}  // namespace zi
