#pragma once
// The property register ("imovel"): properties with their descriptions, addresses and the documents
// sources know them by, the neighbourhoods of a city, the property search and the JSON record types
// "imovel" and "imoveladddoc". Portfolio items of the real-estate kinds point to a property by id.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zi {

// How a property is identified.
enum TImovelKeyKind : uint8_t { ikNone = 0, ikId = 1, ikDocId = 2, ikDoc = 3 };

struct TImovelKey {
  uint8_t kind = ikNone;
  int32_t id = 0;
  std::string doc_id;  // a stored document identifier
  std::string doc;     // a written document
};

struct TImovelRec {
  TImovelKey key;
  std::string descricao;  // empty: none (sent as NULL)
  std::string endereco;
  int32_t idcidade = 0;
  int32_t idbairro = 0;  // 0: none (sent as NULL)
  // Further documents: written ones when the key is ikDoc, stored identifiers otherwise.
  std::vector<std::string> docs;
  std::string ocr;  // empty: none
};

struct TBairroRec {
  int32_t id = 0;
  std::string descricao;
};
using TArrayBairroRec = std::vector<TBairroRec>;

// One row of the property search: a property with one of its documents.
struct TImovelListRow {
  int32_t id = 0;
  std::string descricao;
  std::string endereco;
  int32_t idcidade = 0;
  int32_t idbairro = 0;
  std::string doc_id;
  std::string doc;
};

inline constexpr int kImovelKeyNone = 25314;
inline constexpr int kImovelAddKeyNone = 25316;
inline constexpr int kImovelAddById = 25322;
inline constexpr int kImovelNotFound = 25323;

// A property read by id or by document; a property that does not exist leaves the record's id 0
// with code 0.
int DbImovelGet(int32_t id, TImovelRec& record);
int DbImovelGetByDocId(const std::string& text, bool mayClean, TImovelRec& record);
// The id of the property the record's key names (0 when none does), with the code of the read.
int DbImovelLookUp(const TImovelRec& record, int32_t& id);
// Creates the property with its key document and its further documents, all or nothing; the new
// id goes to the record.
int DbImovelAdd(TImovelRec& record);
// Changes the fields of the property the key names, and attaches the further documents, all or
// nothing: 25323 when no property is named.
int DbImovelPut(TImovelRec& record);
int DbImovelDel(int32_t id);
int DbImovelDocAdd(const TImovelRec& record, bool mayClean);
// Attaches every entry of docs; every entry is tried, the last failure's code is the result.
int DbImovelDocsAdd(int32_t id, const TImovelRec& record);
int DbImovelDocDel(const std::string& docId);
int DbImovelList(const std::string& searchPattern, std::vector<TImovelListRow>& rows);
// The neighbourhoods of a city; on a failure the list is left as it was.
int DbBairrosDaCidade(int32_t city, TArrayBairroRec& list);

// The accent-insensitive search pattern: lower case, each accentable letter replaced by the
// bracketed class of its accented forms.
std::string AccentPattern(std::string_view text);

// A property's description and address through the property cache; "Unknown PtfImovel #" + id for
// one that cannot be read.
std::string ImovelDescricao(int32_t id);
std::string ImovelEndereco(int32_t id);
// Drops a property from the cache after a change.
void EsqueceImovel(int32_t id);

// Plugs the handlers of "imovel" and "imoveladddoc" into the JSON import.
void RegisterRealEstateJsonTypes();

}  // namespace zi
