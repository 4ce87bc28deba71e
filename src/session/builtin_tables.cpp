#include "session/builtin_tables.h"

#include <array>
#include <charconv>

#include <fmt/format.h>

#include "toolbox/text.h"

namespace zi {

namespace {

struct Country {
  const char* three;
  const char* two;
};

constexpr std::array<Country, 70> kCountries = {{
    {"BRA", "BR"}, {"USA", "US"}, {"ARG", "AR"}, {"MEX", "MX"}, {"CHL", "CL"}, {"VEN", "VE"}, {"JPN", "JP"},
    {"GBR", "UK"}, {"DEU", "DE"}, {"NNN", "NN"}, {"COL", "CO"}, {"PER", "PE"}, {"ECU", "EC"}, {"PRT", "PT"},
    {"ESP", "ES"}, {"BOL", "BO"}, {"PHL", "PH"}, {"GRC", "GR"}, {"CHN", "CN"}, {"IDN", "ID"}, {"MYS", "MY"},
    {"SGP", "SG"}, {"THA", "TH"}, {"TWN", "TW"}, {"HKG", "HK"}, {"KOR", "KR"}, {"CAN", "CA"}, {"AUS", "AU"},
    {"FRA", "FR"}, {"ITA", "IT"}, {"CHE", "CH"}, {"OTH", "OT"}, {"ARE", "AE"}, {"ANT", "AN"}, {"AUT", "AT"},
    {"BRB", "BB"}, {"BEL", "BE"}, {"BMU", "BM"}, {"BHS", "BS"}, {"DNK", "DK"}, {"FIN", "FI"}, {"ISR", "IL"},
    {"IND", "IN"}, {"CYM", "KY"}, {"LUX", "LU"}, {"MCO", "MC"}, {"NLD", "NL"}, {"NOR", "NO"}, {"PAN", "PA"},
    {"MAR", "MA"}, {"PRI", "PR"}, {"RUS", "RU"}, {"SWE", "SE"}, {"VGB", "VG"}, {"ZAF", "ZA"}, {"PNG", "PG"},
    {"LBR", "LR"}, {"TUR", "TR"}, {"ATG", "AG"}, {"CUW", "CW"}, {"MHL", "MH"}, {"MUS", "MU"}, {"VIR", "VI"},
    {"IRL", "IE"}, {"CYP", "CY"}, {"GEO", "GE"}, {"CZE", "CZ"}, {"JEY", "JE"}, {"CRI", "CR"}, {"SAU", "SA"},
}};

struct Currency {
  const char* symbol;
  int country;
};

constexpr std::array<Currency, kCurrencyCount> kCurrencies = {{
    {"m#0", 9},  {"BRL", 0},  {"USD", 1},  {"ARS", 2},  {"MXN", 3},  {"CLP", 4},  {"HKD", 24}, {"JPY", 6},
    {"GBP", 7},  {"SEK", 52}, {"INR", 42}, {"PEN", 11}, {"COP", 10}, {"TRY", 57}, {"CRC", 68}, {"SAR", 69},
    {"DKK", 39}, {"PHP", 16}, {"IDR", 19}, {"EUR", 9},  {"CLF", 4},  {"ZAR", 54}, {"ILS", 41}, {"RUB", 51},
    {"NOK", 47}, {"CNY", 18}, {"TWD", 23}, {"KRW", 25}, {"CAD", 26}, {"AUD", 27}, {"CHF", 30}, {"#31", 9},
}};

// Ids 101 to 112 are named by their own number; the empty names are ids without one.
constexpr std::array<const char*, kDataLogTypeCount> kDataLogTypes = {
    "None", "EmpAdd", "EmpUpd", "EmpDel", "AtvAdd", "AtvUpd", "AtvDel", "AnbAdd", "AnbUpd_Old1", "AnbDel",
    "CotAdd", "CotUpd", "CotDel", "PrvAdd", "PrvUpd", "PrvDel", "NwsAdd", "NwsUpd", "NwsDel", "BalAdd_Old1",
    "BalUpd_Old1", "BalDel", "BCtAdd", "BCtUpd", "BCtDel", "GBol", "BalAdd", "BalUpd", "InfoBol", "NacAdd",
    "NacUpd", "NacDel", "CacAdd", "CacUpd", "CacDel", "InfoBol_SoParaInfo", "Bolsa", "MandaTudoDaEmp",
    "MandaTudoDoAtv", "MandaTudoDaAnb", "BolCot", "BalAddNovoBD", "BolCotV2", "ReqGBol", "IndicaXmt", "IndicaDel",
    "Evento", "ClassesXmt", "BACAdd", "BACDel", "BACUpd", "OcoAtvAdd", "OcoAtvUpd", "OcoAtvDel", "OcoAnbAdd",
    "OcoAnbUpd", "OcoAnbDel", "", "AnbUpd", "MandaTodasInstituicaoAnbid", "MandaTodasClassificacaoAnbidFundos", "",
    "", "", "", "", "AbreviacaoAdd", "AbreviacaoDel", "ExcessaoCaseAdd", "ExcessaoCaseDel", "", "MandarTodosTitulos",
    "AbrevRemandarTudo", "ExcessaoCaseRemandarTudo", "MandaBlocoPraOrdenacao", "", "", "", "TipoAplicacaoDaAplicacao",
    "Ex_IndicadorXmt", "IndicadoresDaEmp", "ApresIndicadoresDoTDDPais", "CampoListaDeValores", "", "", "LaminaAdd",
    "LaminaUpd", "LaminaDel", "", "", "", "", "", "", "", "AvisoPut", "AvisoDel", "MsgQQ", "ArrOfNomes",
    "FormatoDeCadastro", "RegraFormatoDeCadastro", "101", "102", "103", "104", "105", "106", "107", "108", "109",
    "110", "111", "112", "AcertaPosicPais", "EmpresaAcionista_OLD", "AcaoAcionista_OLD", "NacReenviarDocId",
    "PfItemTipoClass", "GrupoDeFormatoDeCadastro", "CompAcionariaAdd", "CompAcionariaUpd", "CompAcionariaDel",
    "ShareholderAdd", "ShareholderUpd", "ShareholderDel", "PtfAssetTvmAdd", "PtfAssetTvmUpd", "PtfAssetTvmDel",
    "PortfolioAdd", "PortfolioUpd", "PortfolioDel", "UnidadeFederativaAddUpd", "UnidadeFederativaDel",
    "CidadeAddUpd", "CidadeDel", "ImovelAddUpd", "ImovelDel", "ImovelDocAddUpd", "ImovelDocDel", "BairroAddUpd",
    "BairroDel", "ContaBalUpd", "BlocoContaBalUpd", "FmtBalUpd", "ApresFmtBalItemsUpd", "FormuletaUpd",
    "FormuletaDoFmtBalUpd", "FormuletaBlocoUpd", "AcertaPosicPaisV2",
};

constexpr std::array<const char*, 7> kBulletinDestinations = {
    "Zor Clients", "Goes to All Clients", "Extended DB", "New DB", "Test", "ZorInput", "Ombrel"};

}  // namespace

std::string CodigoDoPais(int id, bool twoLetters) {
  if (id >= 0 && id < static_cast<int>(kCountries.size()))
    return twoLetters ? kCountries[static_cast<size_t>(id)].two : kCountries[static_cast<size_t>(id)].three;
  return twoLetters ? fmt::format("{:02d}", id) : fmt::format("{:03d}", id);
}

std::optional<int> PaisDoCodigo(std::string_view code) {
  std::string upper = UpperAscii(code);
  for (size_t i = 0; i < kCountries.size(); ++i)
    if (upper == kCountries[i].two) return static_cast<int>(i);
  for (size_t i = 0; i < kCountries.size(); ++i)
    if (upper == kCountries[i].three) return static_cast<int>(i);
  if (upper == "-" || upper == "--" || upper == "---") return 9;
  int id = -1;
  auto [ptr, ec] = std::from_chars(upper.data(), upper.data() + upper.size(), id);
  if (upper.empty() || ec != std::errc() || ptr != upper.data() + upper.size() || id < 0 || id >= kCountryCount)
    return std::nullopt;
  return id;
}

std::string SimboloDaMoeda(int id) {
  return id >= 0 && id < kCurrencyCount ? kCurrencies[static_cast<size_t>(id)].symbol : "";
}

int PaisDaMoeda(int id) { return id >= 0 && id < kCurrencyCount ? kCurrencies[static_cast<size_t>(id)].country : -1; }

std::optional<int> PrimeiraMoedaDoPais(int country) {
  for (size_t i = 0; i < kCurrencies.size(); ++i)
    if (kCurrencies[i].country == country) return static_cast<int>(i);
  return std::nullopt;
}

std::string DataLogTipoName(int id) {
  return id >= 0 && id < kDataLogTypeCount ? kDataLogTypes[static_cast<size_t>(id)] : "";
}

std::string NomeDoDataLogTipo(int id) {
  std::string name = DataLogTipoName(id);
  return (name.empty() ? "unknown" : name) + "#" + std::to_string(id);
}

std::string NomeDoTipoDeBGL(int type) {
  if (type >= 0 && type < static_cast<int>(kBulletinDestinations.size()))
    return kBulletinDestinations[static_cast<size_t>(type)];
  return "TipoDeBGL#" + std::to_string(type);
}

std::string NomeDaFonte(int source) {
  switch (source) {
    case 0: return "Local";
    case 1: return "EdgarOnline";
    case 2: return "SEC";
    default: return "sdb#" + std::to_string(source);
  }
}

std::string NomeDoEstado(int state) { return state == 0 ? "Active" : state == 1 ? "Inactive" : ""; }

bool TemListaDeValores(int fieldCode) {
  return fieldCode == 32 || (fieldCode >= 41 && fieldCode <= 102) || (fieldCode >= 104 && fieldCode <= 141) ||
         (fieldCode >= 146 && fieldCode <= 245) || fieldCode == 247;
}

}  // namespace zi
