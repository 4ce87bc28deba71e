#include "holdings/portfolio_definitions.h"

#include <array>

#include "import/json_document.h"

namespace zi {

namespace {

constexpr uint8_t S = jatString;
constexpr uint8_t N = jatNumber;
constexpr uint8_t D = jatDate;
constexpr uint8_t ARR = jatArray;
constexpr uint8_t A = kDefAccepted;
constexpr uint8_t R = kDefRequired;
constexpr uint8_t C = kDefColumn;
constexpr uint8_t P = kDefParent;
constexpr uint8_t K = kDefKey;
constexpr uint8_t SUM = kDefSummed;
constexpr uint8_t V = kDefSheet;
constexpr uint8_t E = kDefEditor;

using D_ = TPortfolioJsonDefinition;

constexpr std::array kHeader = {
    D_{"idportfolio", N, "id", 0, "", 0, 0, 30171, P},
    D_{"companyid", S, "", 0, "", 0, 0, 30172, A},
    D_{"emp", N, "emp", 0, "", 0, 0, 33072, C},
    D_{"cnpj", S, "", 0, "", 0, 0, 30173, A},
    D_{"ticker", S, "", 0, "", 0, 0, 30174, A},
    D_{"isin", S, "", 0, "", 0, 0, 30175, A},
    D_{"country", N, "", 0, "", 0, 0, 30176, A},
    D_{"exchange", N, "", 0, "", 0, 0, 30177, A},
    D_{"dtref", D, "dtref", 0, "", 0, 0, 30178, R | C},
    D_{"dtpub", D, "dtpub", 0, "", 0, 0, 30179, A | C},
    D_{"dtrtf", D, "dtrtf", 0, "", 0, 0, 30180, A | C},
    D_{"dtreffonte", D, "DtRefInformadaPelafonte", 0, "", 0, 0, 30181, A | C},
    D_{"tpdoc", N, "TipoDocumento", 0, "", 0, 0, 30182, R | C},
    D_{"pl", N, "pl", 0, "", 0, 0, 30184, A | C},
    D_{"totalporc", N, "TotalPorc", 0, "", 0, 0, 30186, A | C},
};

constexpr std::array kTvm = {
    D_{"idportfolio", N, "idPortfolio", 3, "", 0, 0, 50089, P},
    D_{"idptfassettvm", N, "IdPtfAssetTvm", 3, "Investment", 7, 0, 50090, A | C | K | V | E},
    D_{"itemid", S, "", 0, "", 0, 0, 32047, R},
    D_{"doc", S, "", 0, "", 0, 0, 30193, A},
    D_{"docid", S, "", 0, "", 0, 0, 30194, A},
    D_{"country", N, "", 0, "", 0, 0, 50107, A},
    D_{"tpaplic", N, "TipoAplicacao", 3, "", 0, 0, 50091, R | C | K},
    D_{"tpclassifcacao", N, "TipoClassificacao", 3, "Tipo Class", 1, 1, 50092, A | C | V},
    D_{"vlr", N, "vlr", 6, "$", 1, 1, 50093, A | C | SUM | V | E},
    D_{"peso", N, "peso", 6, "%", 1, 1, 50094, A | C | SUM | V | E},
    D_{"qtdtit", N, "qtdtit", 6, "Qtd", 1, 1, 50095, A | C | SUM | V | E},
    D_{"nome", S, "", 0, "", 0, 0, 31065, A},
};

constexpr std::array kIra = {
    D_{"idportfolio", N, "IdPortfolio", 3, "", 0, 0, 30151, P},
    D_{"idimovel", N, "IdImovel", 3, "Properties", 6, 0, 30152, A | C | K | V | E},
    D_{"itemid", S, "", 0, "", 0, 0, 32051, R},
    D_{"doc", S, "", 0, "", 0, 0, 30169, A},
    D_{"docid", S, "", 0, "", 0, 0, 30170, A},
    D_{"area", N, "Area", 6, "Area", 1, 1, 30153, A | C | SUM | V | E},
    D_{"numunidades", N, "NumUnidades", 6, "No of units", 1, 1, 30154, A | C | SUM | V | E},
    D_{"percentvacancia", N, "PercentVacancia", 6, "Vacancy %", 1, 1, 30155, A | C | SUM | V | E},
    D_{"percentinadimplencia", N, "PercentInadimplencia", 6, "Default %", 1, 1, 30156, A | C | SUM | V | E},
    D_{"percentreceitasfii", N, "PercentReceitasFii", 6, "Rev RPF / Fd", 1, 1, 30157, A | C | SUM | V | E},
    D_{"inquilino", ARR, "", 0, "Tenant", 0, 0, 30159, A | E},
    D_{"outrascaractrelevantes", S, "", 0, "", 0, 0, 30158, A},
    D_{"nome", S, "", 0, "", 0, 0, 31066, A},
    D_{"endereco", S, "", 0, "", 0, 0, 31067, A},
};

constexpr std::array kInquilino = {
    D_{"idportfolio", N, "IdPortfolio", 3, "", 0, 0, 30160, P},
    D_{"idimovel", N, "IdImovel", 3, "", 0, 0, 30161, P},
    D_{"itemid", S, "", 0, "", 0, 0, 32053, R},
    D_{"setor", S, "Setor", 1, "Sect", 0, 0, 30162, R | C | K | E},
    D_{"percentreceitaimovel", N, "PercentReceitaImovel", 6, "Sect rev / RE", 0, 0, 30163, A | C | SUM | E},
    D_{"percentreceitasfii", N, "PercentReceitasFII", 6, "Sect rev / Fd", 0, 0, 30164, A | C | SUM | E},
};

constexpr std::array kIrc = {
    D_{"idportfolio", N, "IdPortfolio", 3, "", 0, 0, 30165, P},
    D_{"idimovel", N, "IdImovel", 6, "Properties", 4, 0, 32008, A | C | K | V | E},
    D_{"itemid", S, "", 0, "", 0, 0, 32050, R},
    D_{"doc", S, "", 0, "", 0, 0, 32019, A},
    D_{"docid", S, "", 0, "", 0, 0, 32020, A},
    D_{"area", N, "Area", 6, "Area", 1, 1, 32009, A | C | SUM | V | E},
    D_{"numunidades", N, "NumUnidades", 6, "No of units", 1, 1, 32010, A | C | SUM | V | E},
    D_{"percentlocado", N, "PercentLocado", 6, "% rented", 1, 1, 32011, A | C | SUM | V | E},
    D_{"percentconclusaoobrasrealizado", N, "PercentConclusaoObrasRealizado", 6, "% concl", 1, 1, 32012,
       A | C | SUM | V | E},
    D_{"percentconclusaoobrasprevisto", N, "PercentConclusaoObrasPrevisto", 6, "% forecasted", 1, 1, 32013,
       A | C | SUM | V | E},
    D_{"custoconstrucaorealizado", N, "CustoConstrucaoRealizado", 6, "$ realiz", 1, 1, 32014, A | C | SUM | V | E},
    D_{"custoconstrucaoprevisto", N, "CustoConstrucaoPrevisto", 6, "$ forecasted", 1, 1, 32015, A | C | SUM | V | E},
    D_{"outrascaractrelevantes", S, "", 0, "", 0, 0, 32016, A},
    D_{"nome", S, "", 0, "", 0, 0, 31068, A},
    D_{"endereco", S, "", 0, "", 0, 0, 31069, A},
};

constexpr std::array kIva = {
    D_{"idportfolio", N, "IdPortfolio", 3, "", 0, 0, 31000, P},
    D_{"idimovel", N, "IdImovel", 6, "Properties", 8, 0, 31001, A | C | K | V | E},
    D_{"itemid", S, "", 0, "", 0, 0, 32048, R},
    D_{"doc", S, "", 0, "", 0, 0, 31006, A},
    D_{"docid", S, "", 0, "", 0, 0, 31007, A},
    D_{"area", N, "Area", 6, "Area", 1, 1, 31002, A | C | SUM | V | E},
    D_{"numunidades", N, "NumUnidades", 6, "No of units", 1, 1, 31003, A | C | SUM | V | E},
    D_{"percenttotalinvestido", N, "PercentTotalInvestido", 6, "% of Net Income", 1, 1, 31004, A | C | SUM | V | E},
    D_{"outrascaractrelevantes", S, "", 0, "", 0, 0, 31005, A},
    D_{"nome", S, "", 0, "", 0, 0, 31070, A},
    D_{"endereco", S, "", 0, "", 0, 0, 31071, A},
};

constexpr std::array kIvc = {
    D_{"idportfolio", N, "IdPortfolio", 3, "", 0, 0, 30167, P},
    D_{"idimovel", N, "IdImovel", 3, "Properties", 4, 0, 30138, A | C | K | V | E},
    D_{"itemid", S, "", 0, "", 0, 0, 32049, R},
    D_{"doc", S, "", 0, "", 0, 0, 30147, A},
    D_{"docid", S, "", 0, "", 0, 0, 30148, A},
    D_{"area", N, "Area", 6, "Area", 1, 1, 30139, A | C | SUM | V | E},
    D_{"numunidades", N, "NumUnidades", 6, "No of units", 1, 1, 30140, A | C | SUM | V | E},
    D_{"percentvendido", N, "PercentVendido", 6, "% sold", 1, 1, 30141, A | C | SUM | V | E},
    D_{"percentconclusaoobrasrealizado", N, "PercentConclusaoObrasRealizado", 6, "% concl", 1, 1, 30142,
       A | C | SUM | V | E},
    D_{"percentconclusaoobrasprevisto", N, "PercentConclusaoObrasPrevisto", 6, "% forecasted", 1, 1, 30143,
       A | C | SUM | V | E},
    D_{"custoconstrucaorealizado", N, "CustoConstrucaoRealizado", 6, "$ realiz", 1, 1, 30144, A | C | SUM | V | E},
    D_{"custoconstrucaoprevisto", N, "CustoConstrucaoPrevisto", 6, "$ forecasted", 1, 1, 30145, A | C | SUM | V | E},
    D_{"outrascaractrelevantes", S, "", 0, "", 0, 0, 30146, A},
    D_{"nome", S, "", 0, "", 0, 0, 31072, A},
    D_{"endereco", S, "", 0, "", 0, 0, 31073, A},
};

constexpr std::array kTerreno = {
    D_{"idportfolio", N, "IdPortfolio", 3, "", 0, 0, 30168, P},
    D_{"idimovel", N, "IdImovel", 6, "Properties", 8, 0, 32002, A | C | K | V | E},
    D_{"itemid", S, "", 0, "", 0, 0, 32052, R},
    D_{"doc", S, "", 0, "", 0, 0, 32017, A},
    D_{"docid", S, "", 0, "", 0, 0, 32018, A},
    D_{"area", N, "Area", 6, "Area", 1, 1, 32003, A | C | SUM | V | E},
    D_{"percenttotalinvestido", N, "PercentTotalInvestido", 6, "% of terrain", 1, 1, 32004, A | C | SUM | V | E},
    D_{"percentreceitasfii", N, "PercentReceitasFII", 6, "Inc LTS / Fd", 1, 1, 32005, A | C | SUM | V | E},
    D_{"outrascaractrelevantes", S, "", 0, "", 0, 0, 32006, A},
    D_{"nome", S, "", 0, "", 0, 0, 31074, A},
    D_{"endereco", S, "", 0, "", 0, 0, 31075, A},
};

constexpr std::array<TPortfolioKindInfo, kPortfolioItemKinds> kKinds = {{
    {"tvm", "PortfolioItemTvm", "FNA"},
    {"ira", "PortfolioItemIRA", "RPF"},
    {"inquilino", "PortfolioItemIRAInquilino", "IRA Inquilino"},
    {"irc", "PortfolioItemIRC", "RPC"},
    {"iva", "PortfolioItemIVA", "PSF"},
    {"ivc", "PortfolioItemIVC", "PSC"},
    {"terreno", "PortfolioItemTerreno", "LTS"},
}};

}  // namespace

const TPortfolioKindInfo& PortfolioKindInfo(int kind) { return kKinds.at(static_cast<size_t>(kind)); }

TPortfolioJsonDefinitions PortfolioHeaderDefinitions() { return kHeader; }

TPortfolioJsonDefinitions PortfolioItemDefinitions(int kind) {
  switch (kind) {
    case pikTvm: return kTvm;
    case pikIra: return kIra;
    case pikInquilino: return kInquilino;
    case pikIrc: return kIrc;
    case pikIva: return kIva;
    case pikIvc: return kIvc;
    default: return kTerreno;
  }
}

const TPortfolioJsonDefinition* FindDefinition(TPortfolioJsonDefinitions definitions, std::string_view name) {
  for (const TPortfolioJsonDefinition& definition : definitions)
    if (definition.Name == name) return &definition;
  return nullptr;
}

}  // namespace zi
