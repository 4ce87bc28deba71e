// The reference lists the client loads at login, their writers, the data log and bulletin requests.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "server/server.h"
#include "server_support.h"

namespace zi::server::test {
namespace {

using Values = std::map<std::string, DbValue>;
using Row = std::vector<DbValue>;
using Columns = std::vector<std::string>;

constexpr int kNotAdministrator = 99105;
constexpr int kOutOfRange = 99102;
constexpr int kValueMissing = 99101;
constexpr int kUnknownReference = 99103;
constexpr int kCodeTaken = 99106;
constexpr int kNotFoundToUpdate = 8605;

// The client's own tables, which it checks the server's lists against at login.
constexpr const char* kCountryCodes =
    "BRA/BR USA/US ARG/AR MEX/MX CHL/CL VEN/VE JPN/JP GBR/UK DEU/DE NNN/NN COL/CO PER/PE ECU/EC PRT/PT ESP/ES "
    "BOL/BO PHL/PH GRC/GR CHN/CN IDN/ID MYS/MY SGP/SG THA/TH TWN/TW HKG/HK KOR/KR CAN/CA AUS/AU FRA/FR ITA/IT "
    "CHE/CH OTH/OT ARE/AE ANT/AN AUT/AT BRB/BB BEL/BE BMU/BM BHS/BS DNK/DK FIN/FI ISR/IL IND/IN CYM/KY LUX/LU "
    "MCO/MC NLD/NL NOR/NO PAN/PA MAR/MA PRI/PR RUS/RU SWE/SE VGB/VG ZAF/ZA PNG/PG LBR/LR TUR/TR ATG/AG CUW/CW "
    "MHL/MH MUS/MU VIR/VI IRL/IE CYP/CY GEO/GE CZE/CZ JEY/JE CRI/CR SAU/SA 070/70 071/71 072/72 073/73 074/74 "
    "075/75 076/76 077/77 078/78 079/79";
constexpr const char* kCurrencies =
    "m#0/9 BRL/0 USD/1 ARS/2 MXN/3 CLP/4 HKD/24 JPY/6 GBP/7 SEK/52 INR/42 PEN/11 COP/10 TRY/57 CRC/68 SAR/69 "
    "DKK/39 PHP/16 IDR/19 EUR/9 CLF/4 ZAR/54 ILS/41 RUB/51 NOK/47 CNY/18 TWD/23 KRW/25 CAD/26 AUD/27 CHF/30 #31/9";

std::vector<std::pair<std::string, std::string>> SlashPairs(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    const size_t slash = word.find('/');
    pairs.emplace_back(word.substr(0, slash), word.substr(slash + 1));
  }
  return pairs;
}

std::string LastWord(const std::string& text) {
  std::istringstream words(text);
  std::string last;
  for (std::string word; words >> word;) last = word;
  return last;
}

class ReferenceProceduresTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(server_->Login("Ana", "s3cret").code, 0); }

  ProcedureResult Call(const std::string& procedure, const Values& inputs = {}) {
    return server_->Execute(procedure, inputs);
  }

  // The one result set of a call that must succeed.
  ResultSet List(const std::string& procedure, const Values& inputs = {}) {
    ProcedureResult result = Call(procedure, inputs);
    EXPECT_EQ(result.returnValue, 0) << procedure;
    if (result.resultSets.size() != 1) {
      ADD_FAILURE() << procedure << " answered " << result.resultSets.size() << " result sets";
      return {};
    }
    return result.resultSets[0];
  }

  // The row of a list whose first column is the id; empty when there is none.
  Row ListRow(const std::string& procedure, int64_t id, const Values& inputs = {}) {
    for (const Row& row : List(procedure, inputs).rows) {
      if (row.at(0) == DbValue(id)) return row;
    }
    return {};
  }

  std::vector<Row> Query(const std::string& sql, const std::vector<DbValue>& params = {}) {
    return server_->ExecuteSql(sql, params).at(0).rows;
  }

  void LogInAsNonAdministrator() {
    ASSERT_GT(server_->AddUser({.name = "Bia"}, "pw"), 0);
    ASSERT_EQ(server_->Login("Bia", "pw").code, 0);
  }

  std::unique_ptr<Server> server_ = Server::Open(":memory:", ProductRegistry());
};

TEST_F(ReferenceProceduresTest, EveryListAnswersTheColumnsTheClientReadsByPosition) {
  const Columns two{"id", "text"};
  const Columns three{"id", "text", "grupo"};
  const Columns four{"id", "text", "grupo", "aux"};
  const struct {
    const char* procedure;
    Values inputs;
    Columns columns;
  } lists[] = {
      {"EnumPais", {}, two},
      {"EnumPaisCod", {}, two},
      {"EnumPaisDoUsr", {}, two},
      {"EnumBaseDeDadosComercializavel", {}, two},
      {"EnumTipoAplicacao", {}, three},
      {"EnumPfItemTipoClassificacao", {}, three},
      {"EnumTipoDeContrato", {}, two},
      {"EnumMoeda", {}, three},
      {"EnumAbrevMoeda", {}, two},
      {"EnumFmtBal", {}, two},
      {"EnumBolsa", {}, four},
      {"EnumVote", {}, two},
      {"EnumTipoObj", {}, four},
      {"EnumOcoAbrv", {}, two},
      {"EnumOcoNome", {}, two},
      {"EnumBlocoDeContaBal", {}, two},
      {"EnumClasses", {}, four},
      {"EnumCidade", {}, three},
      {"EnumDataLogTipo", {}, two},
      {"GetCampoListaDeValores", {{"@formatocampo", 32}}, {"id", "text", "grupo", "aux", "aux2", "texto2"}},
  };
  for (const auto& list : lists) {
    const ResultSet rows = List(list.procedure, list.inputs);
    EXPECT_EQ(rows.columns, list.columns) << list.procedure;
    EXPECT_FALSE(rows.rows.empty()) << list.procedure;
    std::set<int64_t> ids;
    for (const Row& row : rows.rows) {
      ASSERT_EQ(row.size(), list.columns.size()) << list.procedure;
      for (size_t c = 0; c < row.size(); ++c) {
        const DbType expected = c == 1 || c == 5 ? DbType::Text : DbType::Integer;
        EXPECT_EQ(row[c].Type(), expected) << list.procedure << " column " << list.columns[c];
      }
      EXPECT_TRUE(ids.insert(row[0].AsInteger()).second) << list.procedure << " repeats id " << row[0].AsInteger();
    }
  }
}

TEST_F(ReferenceProceduresTest, EveryCountryCodeLeadsBackToItsCountry) {
  const auto expected = SlashPairs(kCountryCodes);
  const ResultSet codes = List("EnumPaisCod");
  const std::vector<Row> stored = Query("SELECT id, cod3 FROM Pais ORDER BY id");
  ASSERT_EQ(codes.rows.size(), expected.size());
  ASSERT_EQ(stored.size(), expected.size());
  std::set<std::string> twoLetterCodes;
  for (size_t id = 0; id < expected.size(); ++id) {
    EXPECT_EQ(codes.rows[id], (Row{static_cast<int64_t>(id), expected[id].second}));
    EXPECT_EQ(stored[id], (Row{static_cast<int64_t>(id), expected[id].first}));
    EXPECT_TRUE(twoLetterCodes.insert(codes.rows[id][1].AsText()).second) << id;
  }
  EXPECT_EQ(List("EnumPaisDoUsr").rows, List("EnumPais").rows);
}

TEST_F(ReferenceProceduresTest, EveryCurrencyNameEndsWithItsSymbolAndNamesItsCountry) {
  const auto expected = SlashPairs(kCurrencies);
  const ResultSet names = List("EnumMoeda");
  const ResultSet symbols = List("EnumAbrevMoeda");
  ASSERT_EQ(names.rows.size(), expected.size());
  ASSERT_EQ(symbols.rows.size(), expected.size());
  for (size_t id = 0; id < expected.size(); ++id) {
    const auto& [symbol, country] = expected[id];
    EXPECT_EQ(names.rows[id][0], DbValue(static_cast<int64_t>(id)));
    EXPECT_EQ(LastWord(names.rows[id][1].AsText()), symbol) << names.rows[id][1].AsText();
    EXPECT_EQ(names.rows[id][2], DbValue(static_cast<int64_t>(std::stoi(country)))) << symbol;
    EXPECT_EQ(symbols.rows[id], (Row{static_cast<int64_t>(id), symbol}));
  }
  EXPECT_EQ(names.rows[1][1], "Real BRL");
  EXPECT_EQ(names.rows[0][1], "m#0");
}

TEST_F(ReferenceProceduresTest, DataLogTypesMatchTheClientsNames) {
  const ResultSet types = List("EnumDataLogTipo");
  ASSERT_EQ(types.rows.size(), 149u);
  for (size_t id = 0; id < types.rows.size(); ++id) EXPECT_EQ(types.rows[id][0], DbValue(static_cast<int64_t>(id)));
  const struct {
    int id;
    const char* name;
  } samples[] = {{0, "None"},
                 {1, "EmpAdd"},
                 {8, "AnbUpd_Old1"},
                 {43, "ReqGBol"},
                 {56, "OcoAnbDel"},
                 {58, "AnbUpd"},
                 {60, "MandaTodasClassificacaoAnbidFundos"},
                 {101, "101"},
                 {112, "112"},
                 {113, "AcertaPosicPais"},
                 {148, "AcertaPosicPaisV2"}};
  for (const auto& s : samples) EXPECT_EQ(types.rows[s.id][1], s.name) << s.id;
  std::set<std::string> names;
  for (const Row& row : types.rows) names.insert(row[1].AsText());
  EXPECT_EQ(names.size(), types.rows.size());
  for (const int unnamed : {57, 61, 65, 70, 75, 77, 83, 84, 88, 94}) {
    EXPECT_FALSE(types.rows[unnamed][1].AsText().empty()) << unnamed;
  }
}

TEST_F(ReferenceProceduresTest, ObjectTypeZeroCarriesItsMarkAndClassesFormATree) {
  const Row typeZero = ListRow("EnumTipoObj", 0);
  ASSERT_EQ(typeZero.size(), 4u);
  EXPECT_NE(typeZero[3], DbValue(0));

  std::map<int64_t, int64_t> parentOf;
  for (const Row& row : List("EnumClasses").rows) parentOf[row[0].AsInteger()] = row[3].AsInteger();
  bool anyChild = false;
  for (const auto& [id, parent] : parentOf) {
    int64_t at = id;
    for (int steps = 0; at != 0; ++steps) {
      ASSERT_LT(steps, 50) << "class " << id << " has a circular chain of parents";
      ASSERT_TRUE(parentOf.contains(at)) << "class " << id << " descends from missing class " << at;
      at = parentOf[at];
    }
    anyChild = anyChild || parent != 0;
  }
  EXPECT_TRUE(anyChild);
}

TEST_F(ReferenceProceduresTest, WritersInsertThenUpdate) {
  const struct {
    const char* writer;
    Values inputs;
    const char* reader;
    int64_t id;
    Row row;
  } steps[] = {
      {"BolsaPut",
       {{"@id", 3}, {"@pais", 1}, {"@cod", "NASDAQ"}, {"@codiso10383", "XNAS"}, {"@flag", 2}},
       "EnumBolsa",
       3,
       {3, "NASDAQ", 1, 2}},
      {"BolsaPut", {{"@id", 3}, {"@pais", 26}, {"@cod", "TSX"}}, "EnumBolsa", 3, {3, "TSX", 26, 0}},
      {"MoedaPut",
       {{"@id", 31}, {"@cod", "XAU"}, {"@pais", 9}, {"@nome", "Gold"}},
       "EnumMoeda",
       31,
       {31, "Gold XAU", 9}},
      {"MoedaPut", {{"@id", 31}, {"@cod", "XAG"}, {"@pais", 0}}, "EnumMoeda", 31, {31, "XAG", 0}},
      {"PaisPut", {{"@id", 79}, {"@cod", "ZZ"}, {"@nome", "Zedland"}}, "EnumPaisCod", 79, {79, "ZZ"}},
      {"PaisPut", {{"@id", 79}, {"@cod", "ZZZ"}, {"@nome", "Zedonia"}}, "EnumPais", 79, {79, "Zedonia"}},
      {"VoteStatPut", {{"@id", 2}, {"@cod", "PNA"}}, "EnumVote", 2, {2, "PNA"}},
      {"VoteStatPut", {{"@id", 2}, {"@cod", "PNB"}}, "EnumVote", 2, {2, "PNB"}},
      {"OcoTipoPut",
       {{"@id", 9}, {"@seq", 5}, {"@abrv", "GRP"}, {"@nome", "Grupamento"}, {"@loca", 0}, {"@lb1", "Fator"}},
       "EnumOcoAbrv",
       9,
       {9, "GRP"}},
      {"OcoTipoPut", {{"@id", 9}, {"@abrv", "INP"}, {"@nome", "Inplit"}}, "EnumOcoNome", 9, {9, "Inplit"}},
  };
  for (const auto& step : steps) {
    const std::string why = std::string(step.writer) + " " + std::to_string(step.id) + " read by " + step.reader;
    ASSERT_EQ(Call(step.writer, step.inputs).returnValue, 0) << why;
    EXPECT_EQ(ListRow(step.reader, step.id), step.row) << why;
  }
  EXPECT_EQ(Query("SELECT cod3, cod2 FROM Pais WHERE id = 79"), (std::vector<Row>{{"ZZZ", "ZZ"}}));
  EXPECT_EQ(List("EnumBolsa").rows.size(), 4u) << "the three seeded and the one written";
  EXPECT_EQ(List("EnumVote").rows.size(), 3u);
}

TEST_F(ReferenceProceduresTest, AccountSettingsKeepOneRowPerAccount) {
  const struct {
    const char* writer;
    Values inputs;
  } calls[] = {
      {"HideNoZorInputPut", {{"@IdConta", 120}}},
      {"HideNoZorInputPut", {{"@IdConta", 120}}},
      {"HideNoZorInputPut", {{"@IdConta", 8000}}},
      {"BlocoPadraoNaDigitacaoPut", {{"@Num", 2}, {"@IdConta", 120}}},
      {"BlocoPadraoNaDigitacaoPut", {{"@Num", 1}, {"@IdConta", 120}}},
      {"IdentificacaoDeContasPut", {{"@Identificacao", 4}, {"@IdConta", 1}}},
      {"IdentificacaoDeContasPut", {{"@Identificacao", 0}, {"@IdConta", 1}}},
  };
  for (const auto& c : calls) EXPECT_EQ(Call(c.writer, c.inputs).returnValue, 0) << c.writer;
  EXPECT_EQ(Query("SELECT IdConta FROM HideNoZorInput ORDER BY IdConta"), (std::vector<Row>{{120}, {8000}}));
  EXPECT_EQ(Query("SELECT IdConta, Num FROM BlocoPadraoNaDigitacao"), (std::vector<Row>{{120, 1}}));
  EXPECT_EQ(Query("SELECT IdConta, Identificacao FROM IdentificacaoDeContas"), (std::vector<Row>{{1, 0}}));
}

TEST_F(ReferenceProceduresTest, RefusedCallsAnswerTheirCodeAndWriteNothing) {
  // A country nothing refers to, gone, so that a reference to it can be tested.
  server_->ExecuteSql("DELETE FROM Pais WHERE id = 79");
  const DbValue null;
  const Values listItem{{"@FC", 41}, {"@id_new", false}, {"@nomePT", "Bimestral"}};
  const auto with = [](Values values, const Values& changes) {
    for (const auto& [name, value] : changes) values[name] = value;
    return values;
  };
  const struct {
    const char* procedure;
    Values inputs;
    int code;
  } cases[] = {
      {"PaisPut", {{"@id", 80}, {"@cod", "XX"}, {"@nome", "X"}}, kOutOfRange},
      {"PaisPut", {{"@id", -1}, {"@cod", "XX"}, {"@nome", "X"}}, kOutOfRange},
      {"PaisPut", {{"@id", null}, {"@cod", "XX"}, {"@nome", "X"}}, kValueMissing},
      {"PaisPut", {{"@id", 5}, {"@cod", "  "}, {"@nome", "X"}}, kValueMissing},
      {"PaisPut", {{"@id", 5}, {"@cod", "XX"}, {"@nome", null}}, kValueMissing},
      {"PaisPut", {{"@id", 5}, {"@cod", "X"}, {"@nome", "X"}}, kOutOfRange},
      {"PaisPut", {{"@id", 5}, {"@cod", "XXXX"}, {"@nome", "X"}}, kOutOfRange},
      {"PaisPut", {{"@id", 5}, {"@cod", "X-"}, {"@nome", "X"}}, kOutOfRange},
      {"PaisPut", {{"@id", 5}, {"@cod", "us"}, {"@nome", "X"}}, kCodeTaken},
      {"PaisPut", {{"@id", 5}, {"@cod", "Gbr"}, {"@nome", "X"}}, kCodeTaken},
      {"MoedaPut", {{"@id", 32}, {"@cod", "XAU"}, {"@pais", 9}}, kOutOfRange},
      {"MoedaPut", {{"@id", 31}, {"@cod", "X AU"}, {"@pais", 9}}, kOutOfRange},
      {"MoedaPut", {{"@id", 31}, {"@cod", "usd"}, {"@pais", 9}}, kCodeTaken},
      {"MoedaPut", {{"@id", 31}, {"@cod", "XAU"}, {"@pais", null}}, kValueMissing},
      {"MoedaPut", {{"@id", 31}, {"@cod", "XAU"}, {"@pais", 79}}, kUnknownReference},
      {"BolsaPut", {{"@id", 32768}, {"@pais", 1}, {"@cod", "TSX"}}, kOutOfRange},
      {"BolsaPut", {{"@id", 3}, {"@pais", 1}, {"@cod", "nyse"}}, kCodeTaken},
      {"BolsaPut", {{"@id", 3}, {"@pais", 79}, {"@cod", "TSX"}}, kUnknownReference},
      {"BolsaPut", {{"@id", 3}, {"@pais", 1}, {"@cod", null}}, kValueMissing},
      {"VoteStatPut", {{"@id", 256}, {"@cod", "PNA"}}, kOutOfRange},
      {"VoteStatPut", {{"@id", 2}, {"@cod", "pn"}}, kCodeTaken},
      {"HideNoZorInputPut", {{"@IdConta", 0}}, kOutOfRange},
      {"HideNoZorInputPut", {{"@IdConta", 8001}}, kOutOfRange},
      {"HideNoZorInputPut", {}, kValueMissing},
      {"BlocoPadraoNaDigitacaoPut", {{"@IdConta", 5}}, kValueMissing},
      {"IdentificacaoDeContasPut", {{"@Identificacao", -1}, {"@IdConta", 5}}, kOutOfRange},
      {"OcoTipoPut", {{"@id", 9}, {"@abrv", ""}}, kValueMissing},
      {"OcoTipoPut", {{"@id", 9}, {"@abrv", "div"}}, kCodeTaken},
      {"DataLogAdd", {{"@tip", 149}, {"@oid", 1}}, kOutOfRange},
      {"DataLogAdd", {{"@tip", -1}, {"@oid", 1}}, kOutOfRange},
      {"DataLogAdd", {{"@oid", 1}}, kValueMissing},
      {"ReqGBol", {{"@Prioridade", 10}, {"@Motivo", "x"}}, kOutOfRange},
      {"ReqGBol", {{"@Prioridade", -1}, {"@Motivo", "x"}}, kOutOfRange},
      {"ReqGBol", {{"@Motivo", "x"}}, kValueMissing},
      {"AddListChoice", with(listItem, {{"@FC", 248}, {"@id_new", true}}), kOutOfRange},
      {"AddListChoice", with(listItem, {{"@id_new", null}}), kValueMissing},
      {"AddListChoice", with(listItem, {{"@id_new", true}, {"@nomePT", null}}), kValueMissing},
      {"AddListChoice", with(listItem, {{"@id_new", true}, {"@nomeEN", "Bi|monthly"}}), kOutOfRange},
      {"AddListChoice", with(listItem, {{"@id_new", true}, {"@id_doc", "M"}}), kCodeTaken},
      {"AddListChoice", with(listItem, {{"@id_id", 99}}), kNotFoundToUpdate},
      {"AddListChoice", with(listItem, {{"@id_id", 1}, {"@FC", 100}}), kNotFoundToUpdate},
      {"AddListChoice", with(listItem, {{"@id_doc", "B"}}), kNotFoundToUpdate},
      {"AddListChoice", with(listItem, {{"@id_id", 0}, {"@id_doc", ""}}), kValueMissing},
      {"AddListChoice", with(listItem, {{"@id_id", 2}, {"@id_doc", "A"}}), kCodeTaken},
      {"AddItemCampoListaValores", {{"@formatocampo", 248}, {"@ItemNamePT", "X"}}, kOutOfRange},
      {"AddItemCampoListaValores", {{"@formatocampo", 41}, {"@ItemNamePT", ""}}, kValueMissing},
      {"GetCampoListaDeValores", {{"@formatocampo", -1}}, kOutOfRange},
  };
  for (const auto& c : cases) {
    const std::string before = server_->Dump();
    const ProcedureResult result = Call(c.procedure, c.inputs);
    std::string why = c.procedure;
    for (const auto& [name, value] : c.inputs) {
      why += " " + name + "=" + (value.IsNull() ? "NULL" : value.Type() == DbType::Text ? value.AsText() : "#");
    }
    EXPECT_EQ(result.returnValue, c.code) << why;
    EXPECT_TRUE(result.resultSets.empty()) << why;
    EXPECT_EQ(server_->Dump(), before) << why;
  }
}

const struct {
  const char* procedure;
  Values inputs;
} kWriters[] = {
    {"PaisPut", {{"@id", 79}, {"@cod", "ZZ"}, {"@nome", "Zedland"}}},
    {"MoedaPut", {{"@id", 31}, {"@cod", "XAU"}, {"@pais", 9}}},
    {"BolsaPut", {{"@id", 3}, {"@pais", 1}, {"@cod", "TSX"}}},
    {"VoteStatPut", {{"@id", 2}, {"@cod", "PNA"}}},
    {"HideNoZorInputPut", {{"@IdConta", 7}}},
    {"BlocoPadraoNaDigitacaoPut", {{"@Num", 1}, {"@IdConta", 7}}},
    {"IdentificacaoDeContasPut", {{"@Identificacao", 1}, {"@IdConta", 7}}},
    {"OcoTipoPut", {{"@id", 9}, {"@abrv", "GRP"}}},
    {"AddListChoice", {{"@FC", 41}, {"@id_new", true}, {"@nomePT", "Bimestral"}}},
    {"AddItemCampoListaValores", {{"@formatocampo", 41}, {"@ItemNamePT", "Bimestral"}}},
    {"DataLogAdd", {{"@tip", 1}, {"@oid", 7}}},
    {"ReqGBol", {{"@Prioridade", 1}, {"@Motivo", "quotes"}}},
};

TEST_F(ReferenceProceduresTest, WritersNeedALoggedInUserWhoseRowStillExists) {
  const auto refusedWithoutChange = [this](const char* when) {
    for (const auto& w : kWriters) {
      const std::string before = server_->Dump();
      EXPECT_EQ(Call(w.procedure, w.inputs).returnValue, kLoginFailed) << w.procedure << " " << when;
      EXPECT_EQ(server_->Dump(), before) << w.procedure << " " << when;
    }
    EXPECT_EQ(Call("EnumPaisDoUsr").returnValue, kLoginFailed) << when;
  };
  server_->ExecuteSql("DELETE FROM users");
  refusedWithoutChange("after the user's row is gone");
  server_ = Server::Open(":memory:", ProductRegistry());
  refusedWithoutChange("before any login");
}

TEST_F(ReferenceProceduresTest, OnlyAdministratorsChangeCountriesCurrenciesAndExchanges) {
  LogInAsNonAdministrator();
  for (const auto& w : kWriters) {
    const std::string procedure = w.procedure;
    const bool administrative = procedure == "PaisPut" || procedure == "MoedaPut" || procedure == "BolsaPut";
    const std::string before = server_->Dump();
    EXPECT_EQ(Call(procedure, w.inputs).returnValue, administrative ? kNotAdministrator : 0) << procedure;
    EXPECT_EQ(server_->Dump() == before, administrative) << procedure;
  }
}

TEST_F(ReferenceProceduresTest, AddListChoiceAddsAtTheEndOfItsListOrUpdatesByIdOrDocument) {
  const auto item = [this](int64_t fieldCode, int64_t id) {
    return ListRow("GetCampoListaDeValores", id, {{"@formatocampo", fieldCode}});
  };
  const Values names{{"@nomePT", "Semestral"}, {"@nomeEN", "Half-yearly"}, {"@nomeES", "Semestral"}};
  const auto call = [&](Values inputs) {
    inputs.insert(names.begin(), names.end());
    return Call("AddListChoice", inputs).returnValue;
  };
  ASSERT_EQ(call({{"@FC", 41}, {"@id_new", true}, {"@id_doc", "S"}}), 0);
  EXPECT_EQ(item(41, 4), (Row{4, "Semestral|Half-yearly|Semestral", 0, 0, 0, "S"}));
  ASSERT_EQ(call({{"@FC", 100}, {"@id_new", true}}), 0);
  EXPECT_EQ(item(100, 1), (Row{1, "Semestral|Half-yearly|Semestral", 0, 0, 0, ""}));

  ASSERT_EQ(call({{"@FC", 41}, {"@id_new", false}, {"@id_id", 2}, {"@id_doc", ""}}), 0);
  EXPECT_EQ(item(41, 2), (Row{2, "Semestral|Half-yearly|Semestral", 0, 0, 0, "T"}));
  ASSERT_EQ(
      Call("AddListChoice", {{"@FC", 41}, {"@id_new", false}, {"@id_doc", "A"}, {"@nomePT", "Anual"}}).returnValue, 0);
  EXPECT_EQ(item(41, 3), (Row{3, "Anual||", 0, 0, 0, "A"}));
  EXPECT_EQ(item(32, 2), (Row{2, "Preferencial|Preferred|Preferente", 0, 0, 0, "PN"}));
  EXPECT_EQ(List("GetCampoListaDeValores", {{"@formatocampo", 41}}).rows.size(), 4u);
}

TEST_F(ReferenceProceduresTest, AddItemCampoListaValoresAnswersTheNextIdOfItsList) {
  // A new id follows the highest of its list, whatever gaps the list has.
  server_->ExecuteSql("DELETE FROM CampoListaDeValores WHERE formatocampo = 41 AND ordinal = 2");
  const struct {
    int fieldCode;
    int64_t id;
  } adds[] = {{41, 4}, {41, 5}, {200, 1}, {41, 6}, {200, 2}};
  for (const auto& a : adds) {
    const ProcedureResult result = Call(
        "AddItemCampoListaValores",
        {{"@formatocampo", a.fieldCode}, {"@ItemNamePT", "Novo"}, {"@ItemNameEN", "New"}, {"@ItemNameES", "Nuevo"}});
    ASSERT_EQ(result.returnValue, 0) << a.fieldCode;
    EXPECT_EQ(result.outputs.at("@ItemId"), DbValue(a.id)) << a.fieldCode;
    EXPECT_EQ(ListRow("GetCampoListaDeValores", a.id, {{"@formatocampo", a.fieldCode}}),
              (Row{a.id, "Novo|New|Nuevo", 0, 0, 0, ""}));
  }
}

TEST_F(ReferenceProceduresTest, DataLogAddStoresTheSessionUserAndTheServersTime) {
  server_->SetClockOffsetForTests(3600);
  const TDateTime date{45000.25};
  ASSERT_EQ(
      Call("DataLogAdd", {{"@tip", 43}, {"@oid", 7}, {"@aux", 2}, {"@date", date}, {"@txt", "A\xE7\xE3o"}}).returnValue,
      0);
  ASSERT_EQ(Call("DataLogAdd", {{"@tip", 148}, {"@oid", 8}, {"@aux", 0}}).returnValue, 0);
  const std::vector<Row> log = Query("SELECT tip, oid, aux, date, txt, usuario, momento FROM DataLog ORDER BY id");
  ASSERT_EQ(log.size(), 2u);
  const DbValue user(static_cast<int64_t>(server_->SessionUserId()));
  EXPECT_EQ(Row(log[0].begin(), log[0].end() - 1), (Row{43, 7, 2, date, "A\xE7\xE3o", user}));
  EXPECT_EQ(Row(log[1].begin(), log[1].end() - 1), (Row{148, 8, 0, DbValue(), DbValue(), user}));
  for (const Row& row : log) EXPECT_NEAR(SecondsAheadOfNow(row[6].AsDateTime()), 3600, 5);
}

TEST_F(ReferenceProceduresTest, ReqGBolRecordsTheRequest) {
  const int priorities[] = {0, 1, 9};
  for (const int priority : priorities) {
    ASSERT_EQ(Call("ReqGBol", {{"@Prioridade", priority}, {"@Motivo", " [ZiGlobs.fini [/reqgbol]] "}}).returnValue, 0);
  }
  const std::vector<Row> requests = Query("SELECT prioridade, motivo, usuario, momento FROM GBolPendente ORDER BY id");
  ASSERT_EQ(requests.size(), std::size(priorities));
  const DbValue user(static_cast<int64_t>(server_->SessionUserId()));
  for (size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ(Row(requests[i].begin(), requests[i].end() - 1), (Row{priorities[i], "[ZiGlobs.fini [/reqgbol]]", user}));
    EXPECT_NEAR(SecondsAheadOfNow(requests[i][3].AsDateTime()), 0, 5);
  }
}

TEST_F(ReferenceProceduresTest, BulletinDestinationsAreListedForOneExchangeByTicker) {
  server_->ExecuteSql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'X', 0, 'X')");
  server_->ExecuteSql("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (1, 1, 1, 0, 0)");
  // The series' own destinations, whether they trade or not.
  for (const Row& row : std::vector<Row>{{1, "PETR4", 3, 0}, {1, "ABEV3", 0, 1}, {2, "IBM", 11, 0}}) {
    server_->ExecuteSql("INSERT INTO anbima (acao, bolsa, cod, TipoDeBGLDestino, cancelado, moedacot, PaisProCodZor) "
                        "VALUES (1, ?, ?, ?, ?, 1, 0)",
                        row);
  }
  const ResultSet bovespa = List("GetTiposDeBGLDestinoDaBolsa", {{"@bolsa", 1}});
  EXPECT_EQ(bovespa.columns, (Columns{"TipoDeBGLDestino", "cod"}));
  EXPECT_EQ(bovespa.rows, (std::vector<Row>{{0, "ABEV3"}, {3, "PETR4"}}));
  EXPECT_TRUE(List("GetTiposDeBGLDestinoDaBolsa", {{"@bolsa", 99}}).rows.empty());
}

}  // namespace
}  // namespace zi::server::test
