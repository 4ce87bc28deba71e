#pragma once
// The holder record that both registries share (shareholders and portfolio assets), its names and
// the two keys computed on the client: the document key and the name key.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zi {

inline constexpr size_t kHolderMaxName = 130;
inline constexpr size_t kHolderMaxDocument = 95;

// Codes of the registries.
inline constexpr int kHolderNotFound = 4178;
inline constexpr int kHolderLimitParamInvalid = 4180;
inline constexpr int kHolderLimitExceeded = 4181;
inline constexpr int kHolderCountryInvalid = 4182;
inline constexpr int kHolderDocumentTaken = 4196;
inline constexpr int kHolderForceMainInvalid = 4204;
inline constexpr int kHolderFieldCount = 4322;
inline constexpr int kHolderNameEmpty = 4323;
inline constexpr int kHolderDocumentEmpty = 4324;
inline constexpr int kHolderMayCleanInvalid = 45119;

struct THolderDoc {
  int32_t docpais = 0;
  std::string doc_id;
  friend bool operator==(const THolderDoc&, const THolderDoc&) = default;
};

struct THolderRec {
  int32_t id = 0;
  int32_t pais = -1;
  std::string nome;  // at most 130 characters
  std::string doc;   // as written, at most 95 characters
  bool loaded = false;
  std::vector<THolderDoc> docs;
  int32_t qtnomes = 0;
  friend bool operator==(const THolderRec&, const THolderRec&) = default;
};

using TShareholderRec = THolderRec;
using TPtfAssetTvmRec = THolderRec;

// A name of a holder; the last two are marks of the names editor.
struct _NomeHolder {
  std::string nome;
  bool VaiProZor = false;  // the main name
  bool toDelete = false;
  bool modified = false;
};

using _NomeShareholder = _NomeHolder;
using _NomePtfAssetTvm = _NomeHolder;
using _ArrayOfNomeShareholder = std::vector<_NomeHolder>;
using _ArrayOfNomePtfAssetTvm = std::vector<_NomeHolder>;

// Upper-cased (ASCII letters) with everything but digits and letters A-Z removed:
// 12.345.678/0001-90 gives 12345678000190.
std::string DocumentKey(std::string_view doc);
// The document key of the trimmed text: "Cia. Vale" and "CIA VALE" have one key.
std::string NameKey(std::string_view name);

}  // namespace zi
