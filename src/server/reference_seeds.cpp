#include "server/reference_seeds.h"

#include <fmt/format.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "server/sqlite_db.h"

namespace zi::server {

namespace {

// Texts are Windows-1252 like every text of the program; a literal splits where a letter would
// extend a hexadecimal escape.
using Rows = std::vector<std::vector<DbValue>>;

// The client checks countries, currencies and data-log types against tables of its own at every
// login, so these three must match them exactly.

struct Country {
  const char* cod3;
  const char* cod2;
  const char* name;
};

constexpr std::array<Country, 70> kLetteredCountries = {{
    /*  0 */ {"BRA", "BR", "Brazil"}, {"USA", "US", "United States"}, {"ARG", "AR", "Argentina"},
    /*  3 */ {"MEX", "MX", "Mexico"}, {"CHL", "CL", "Chile"}, {"VEN", "VE", "Venezuela"},
    /*  6 */ {"JPN", "JP", "Japan"}, {"GBR", "UK", "United Kingdom"}, {"DEU", "DE", "Germany"},
    /*  9 */ {"NNN", "NN", "International"}, {"COL", "CO", "Colombia"}, {"PER", "PE", "Peru"},
    /* 12 */ {"ECU", "EC", "Ecuador"}, {"PRT", "PT", "Portugal"}, {"ESP", "ES", "Spain"},
    /* 15 */ {"BOL", "BO", "Bolivia"}, {"PHL", "PH", "Philippines"}, {"GRC", "GR", "Greece"},
    /* 18 */ {"CHN", "CN", "China"}, {"IDN", "ID", "Indonesia"}, {"MYS", "MY", "Malaysia"},
    /* 21 */ {"SGP", "SG", "Singapore"}, {"THA", "TH", "Thailand"}, {"TWN", "TW", "Taiwan"},
    /* 24 */ {"HKG", "HK", "Hong Kong"}, {"KOR", "KR", "South Korea"}, {"CAN", "CA", "Canada"},
    /* 27 */ {"AUS", "AU", "Australia"}, {"FRA", "FR", "France"}, {"ITA", "IT", "Italy"},
    /* 30 */ {"CHE", "CH", "Switzerland"}, {"OTH", "OT", "Other"}, {"ARE", "AE", "United Arab Emirates"},
    /* 33 */ {"ANT", "AN", "Netherlands Antilles"}, {"AUT", "AT", "Austria"}, {"BRB", "BB", "Barbados"},
    /* 36 */ {"BEL", "BE", "Belgium"}, {"BMU", "BM", "Bermuda"}, {"BHS", "BS", "Bahamas"},
    /* 39 */ {"DNK", "DK", "Denmark"}, {"FIN", "FI", "Finland"}, {"ISR", "IL", "Israel"},
    /* 42 */ {"IND", "IN", "India"}, {"CYM", "KY", "Cayman Islands"}, {"LUX", "LU", "Luxembourg"},
    /* 45 */ {"MCO", "MC", "Monaco"}, {"NLD", "NL", "Netherlands"}, {"NOR", "NO", "Norway"},
    /* 48 */ {"PAN", "PA", "Panama"}, {"MAR", "MA", "Morocco"}, {"PRI", "PR", "Puerto Rico"},
    /* 51 */ {"RUS", "RU", "Russia"}, {"SWE", "SE", "Sweden"}, {"VGB", "VG", "British Virgin Islands"},
    /* 54 */ {"ZAF", "ZA", "South Africa"}, {"PNG", "PG", "Papua New Guinea"}, {"LBR", "LR", "Liberia"},
    /* 57 */ {"TUR", "TR", "Turkey"}, {"ATG", "AG", "Antigua and Barbuda"}, {"CUW", "CW", "Curacao"},
    /* 60 */ {"MHL", "MH", "Marshall Islands"}, {"MUS", "MU", "Mauritius"}, {"VIR", "VI", "US Virgin Islands"},
    /* 63 */ {"IRL", "IE", "Ireland"}, {"CYP", "CY", "Cyprus"}, {"GEO", "GE", "Georgia"},
    /* 66 */ {"CZE", "CZ", "Czech Republic"}, {"JEY", "JE", "Jersey"}, {"CRI", "CR", "Costa Rica"},
    /* 69 */ {"SAU", "SA", "Saudi Arabia"},
}};

// Ids from the end of the lettered table up to here have their id, in digits, as codes.
constexpr int kLastCountry = 79;

struct Currency {
  const char* symbol;
  int country;
  const char* name;  // without the symbol, which the enumeration appends
};

constexpr std::array<Currency, 32> kCurrencies = {{
    {"m#0", 9, ""},
    {"BRL", 0, "Real"},
    {"USD", 1, "US Dollar"},
    {"ARS", 2, "Argentine Peso"},
    {"MXN", 3, "Mexican Peso"},
    {"CLP", 4, "Chilean Peso"},
    {"HKD", 24, "Hong Kong Dollar"},
    {"JPY", 6, "Yen"},
    {"GBP", 7, "Pound Sterling"},
    {"SEK", 52, "Swedish Krona"},
    {"INR", 42, "Indian Rupee"},
    {"PEN", 11, "Sol"},
    {"COP", 10, "Colombian Peso"},
    {"TRY", 57, "Turkish Lira"},
    {"CRC", 68, "Costa Rican Colon"},
    {"SAR", 69, "Saudi Riyal"},
    {"DKK", 39, "Danish Krone"},
    {"PHP", 16, "Philippine Peso"},
    {"IDR", 19, "Rupiah"},
    {"EUR", 9, "Euro"},
    {"CLF", 4, "Unidad de Fomento"},
    {"ZAR", 54, "Rand"},
    {"ILS", 41, "New Israeli Shekel"},
    {"RUB", 51, "Russian Ruble"},
    {"NOK", 47, "Norwegian Krone"},
    {"CNY", 18, "Yuan Renminbi"},
    {"TWD", 23, "New Taiwan Dollar"},
    {"KRW", 25, "Won"},
    {"CAD", 26, "Canadian Dollar"},
    {"AUD", 27, "Australian Dollar"},
    {"CHF", 30, "Swiss Franc"},
    {"#31", 9, ""},
}};

// nullptr: an id without a name. The client compares only the named ones, so those get a
// placeholder.
constexpr std::array<const char*, 149> kDataLogTypes = {
    /*   0 */ "None", "EmpAdd", "EmpUpd", "EmpDel", "AtvAdd", "AtvUpd", "AtvDel", "AnbAdd", "AnbUpd_Old1", "AnbDel",
    /*  10 */ "CotAdd", "CotUpd", "CotDel", "PrvAdd", "PrvUpd", "PrvDel", "NwsAdd", "NwsUpd", "NwsDel",
    /*  19 */ "BalAdd_Old1", "BalUpd_Old1", "BalDel", "BCtAdd", "BCtUpd", "BCtDel", "GBol", "BalAdd", "BalUpd",
    /*  28 */ "InfoBol", "NacAdd", "NacUpd", "NacDel", "CacAdd", "CacUpd", "CacDel", "InfoBol_SoParaInfo", "Bolsa",
    /*  37 */ "MandaTudoDaEmp", "MandaTudoDoAtv", "MandaTudoDaAnb", "BolCot", "BalAddNovoBD", "BolCotV2", "ReqGBol",
    /*  44 */ "IndicaXmt", "IndicaDel", "Evento", "ClassesXmt", "BACAdd", "BACDel", "BACUpd", "OcoAtvAdd",
    /*  52 */ "OcoAtvUpd", "OcoAtvDel", "OcoAnbAdd", "OcoAnbUpd", "OcoAnbDel", nullptr, "AnbUpd",
    /*  59 */ "MandaTodasInstituicaoAnbid", "MandaTodasClassificacaoAnbidFundos", nullptr, nullptr, nullptr,
    /*  64 */ nullptr, nullptr, "AbreviacaoAdd", "AbreviacaoDel", "ExcessaoCaseAdd", "ExcessaoCaseDel", nullptr,
    /*  71 */ "MandarTodosTitulos", "AbrevRemandarTudo", "ExcessaoCaseRemandarTudo", "MandaBlocoPraOrdenacao",
    /*  75 */ nullptr, nullptr, nullptr, "TipoAplicacaoDaAplicacao", "Ex_IndicadorXmt", "IndicadoresDaEmp",
    /*  81 */ "ApresIndicadoresDoTDDPais", "CampoListaDeValores", nullptr, nullptr, "LaminaAdd", "LaminaUpd",
    /*  87 */ "LaminaDel", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "AvisoPut", "AvisoDel",
    /*  97 */ "MsgQQ", "ArrOfNomes", "FormatoDeCadastro", "RegraFormatoDeCadastro", "101", "102", "103", "104",
    /* 105 */ "105", "106", "107", "108", "109", "110", "111", "112", "AcertaPosicPais", "EmpresaAcionista_OLD",
    /* 115 */ "AcaoAcionista_OLD", "NacReenviarDocId", "PfItemTipoClass", "GrupoDeFormatoDeCadastro",
    /* 119 */ "CompAcionariaAdd", "CompAcionariaUpd", "CompAcionariaDel", "ShareholderAdd", "ShareholderUpd",
    /* 124 */ "ShareholderDel", "PtfAssetTvmAdd", "PtfAssetTvmUpd", "PtfAssetTvmDel", "PortfolioAdd",
    /* 129 */ "PortfolioUpd", "PortfolioDel", "UnidadeFederativaAddUpd", "UnidadeFederativaDel", "CidadeAddUpd",
    /* 134 */ "CidadeDel", "ImovelAddUpd", "ImovelDel", "ImovelDocAddUpd", "ImovelDocDel", "BairroAddUpd",
    /* 140 */ "BairroDel", "ContaBalUpd", "BlocoContaBalUpd", "FmtBalUpd", "ApresFmtBalItemsUpd", "FormuletaUpd",
    /* 146 */ "FormuletaDoFmtBalUpd", "FormuletaBlocoUpd", "AcertaPosicPaisV2",
};

void InsertEach(SqliteDb& db, std::string_view sql, const Rows& rows) {
  for (const std::vector<DbValue>& row : rows) db.Run(sql, row);
}

void SeedCountries(SqliteDb& db) {
  Rows rows;
  for (size_t id = 0; id < kLetteredCountries.size(); ++id) {
    const Country& c = kLetteredCountries[id];
    rows.push_back({static_cast<int64_t>(id), c.cod3, c.cod2, c.name});
  }
  for (int id = static_cast<int>(kLetteredCountries.size()); id <= kLastCountry; ++id) {
    rows.push_back({id, fmt::format("{:03}", id), fmt::format("{:02}", id), fmt::format("Country {}", id)});
  }
  InsertEach(db, "INSERT INTO Pais (id, cod3, cod2, nome) VALUES (?, ?, ?, ?)", rows);
}

void SeedCurrencies(SqliteDb& db) {
  Rows rows;
  for (size_t id = 0; id < kCurrencies.size(); ++id) {
    const Currency& c = kCurrencies[id];
    rows.push_back({static_cast<int64_t>(id), c.symbol, c.country, c.name});
  }
  InsertEach(db, "INSERT INTO Moeda (id, cod, pais, nome) VALUES (?, ?, ?, ?)", rows);
}

void SeedDataLogTypes(SqliteDb& db) {
  Rows rows;
  for (size_t id = 0; id < kDataLogTypes.size(); ++id) {
    const char* name = kDataLogTypes[id];
    rows.push_back({static_cast<int64_t>(id), name ? std::string(name) : fmt::format("Reserved{}", id)});
  }
  InsertEach(db, "INSERT INTO DataLogTipo (id, nome) VALUES (?, ?)", rows);
}

// A small, plausible set of everything else, enough for a new database to be used at once.
void SeedMarkets(SqliteDb& db) {
  InsertEach(db, "INSERT INTO Bolsa (id, pais, cod, cod_iso10383, flag) VALUES (?, ?, ?, ?, ?)",
             {{1, 0, "BOVESPA", "BVMF", 1}, {2, 1, "NYSE", "XNYS", 0}});
  InsertEach(db, "INSERT INTO VoteStat (id, cod) VALUES (?, ?)", {{0, "ON"}, {1, "PN"}});
  InsertEach(db, "INSERT INTO Cidade (id, nome, uf) VALUES (?, ?, ?)",
             {{1, "S\xE3o Paulo", 25}, {2, "Rio de Janeiro", 19}, {3, "Belo Horizonte", 13}});
  InsertEach(db, "INSERT INTO OcoTipo (id, seq, abrv, nome, lb1, lb2) VALUES (?, ?, ?, ?, ?, ?)",
             {{1, 1, "DIV", "Dividendo", "Valor por a\xE7\xE3o", "Data ex"},
              {2, 2, "BON", "Bonifica\xE7\xE3o", "Percentual", "Data ex"},
              {3, 3, "DES", "Desdobramento", "Fator", "Data ex"},
              {27, 4, "JCP", "Juros sobre capital pr\xF3prio", "Valor por a\xE7\xE3o", "Data ex"}});
}

void SeedCatalogueLists(SqliteDb& db) {
  InsertEach(db, "INSERT INTO TipoObj (id, nome, marca) VALUES (?, ?, ?)",
             {{0, "A\xE7\xE3o|Share|Acci\xF3n", 1},
              {1, "Deb\xEAnture|Debenture|Obligaci\xF3n", 0},
              {2, "Fundo|Fund|Fondo", 0},
              {3, "Op\xE7\xE3o|Option|Opci\xF3n", 0},
              {4, "Futuro|Future|Futuro", 0},
              {5, "\xCDndice|Index|\xCDndice", 0}});
  InsertEach(db, "INSERT INTO TipoDeContrato (id, nome) VALUES (?, ?)",
             {{0, "Nenhum|None|Ninguno"}, {1, "Termo|Forward|Plazo"}, {2, "Swap|Swap|Permuta"}});
  InsertEach(db, "INSERT INTO TipoAplicacao (id, pais, nome) VALUES (?, ?, ?)",
             {{0, 0, "Outros|Other|Otros"},
              {1, 0, "A\xE7\xF5" "es|Equities|Acciones"},
              {2, 0, "Renda fixa|Fixed income|Renta fija"}});
  InsertEach(db, "INSERT INTO PfItemTipoClassificacao (id, pais, nome) VALUES (?, ?, ?)",
             {{0, 0, "Sem classifica\xE7\xE3o|Unclassified|Sin clasificaci\xF3n"},
              {1, 0, "Para negocia\xE7\xE3o|Held for trading|Para negociaci\xF3n"},
              {2, 0, "Mantido at\xE9 o vencimento|Held to maturity|Mantenido hasta el vencimiento"}});
  InsertEach(db, "INSERT INTO BaseDeDadosComercializavel (id, nome) VALUES (?, ?)",
             {{0, "Zor Clients"}, {2, "Extended DB"}, {3, "New DB"}, {6, "Ombrel"}});
  InsertEach(db, "INSERT INTO Classes (id, nome, mae) VALUES (?, ?, ?)",
             {{1, "A\xE7\xF5" "es", DbValue()},
              {2, "Ordin\xE1rias", 1},
              {3, "Preferenciais", 1},
              {4, "Preferenciais classe A", 3},
              {5, "Renda fixa", DbValue()}});
  InsertEach(db,
             "INSERT INTO CampoListaDeValores (formatocampo, ordinal, doc, nomept, nomeen, nomees) "
             "VALUES (?, ?, ?, ?, ?, ?)",
             {{32, 1, "ON", "Ordin\xE1ria", "Common", "Ordinaria"},
              {32, 2, "PN", "Preferencial", "Preferred", "Preferente"},
              {41, 1, "M", "Mensal", "Monthly", "Mensual"},
              {41, 2, "T", "Trimestral", "Quarterly", "Trimestral"},
              {41, 3, "A", "Anual", "Annual", "Anual"}});
}

void SeedStatementLists(SqliteDb& db) {
  InsertEach(db, "INSERT INTO FmtBal (id, nome) VALUES (?, ?)", {{1, "Companies"}, {2, "Banks"}});
  InsertEach(db, "INSERT INTO BlocoDeContaBal (id, nome) VALUES (?, ?)",
             {{1, "Balance sheet"}, {2, "Income statement"}});
}

}  // namespace

void SeedReferenceData(SqliteDb& db) {
  SeedCountries(db);
  SeedCurrencies(db);
  SeedDataLogTypes(db);
  SeedMarkets(db);
  SeedCatalogueLists(db);
  SeedStatementLists(db);
}

}  // namespace zi::server
