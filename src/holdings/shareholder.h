#pragma once
// The shareholder registry's operations under their procedure names.

#include "holdings/registry.h"

namespace zi {

inline int DbShareholderGet(int32_t id, TShareholderRec& rec) { return TShareholderRegistry::Get(id, rec); }
inline int DbShareholderAdd(const TShareholderRec& rec, bool mayClean) { return TShareholderRegistry::Add(rec, mayClean); }
inline int DbShareholderPut(const TShareholderRec& rec, bool keep, bool forceMain, bool mayClean) {
  return TShareholderRegistry::Put(rec, keep, forceMain, mayClean);
}
inline int DbShareholderAddDoc(const TShareholderRec& rec, bool mayClean) {
  return TShareholderRegistry::AddDoc(rec, mayClean);
}
inline int DbShareholderDelDoc(const std::string& doc_id, int32_t docpais) {
  return TShareholderRegistry::DelDoc(doc_id, docpais);
}
inline int DbShareholderDel(int32_t id, int32_t& company, int32_t& count) {
  return TShareholderRegistry::Del(id, company, count);
}
inline int DbShareholderGetByDocPais(const std::string& doc, int32_t pais, const std::string& tryName, bool mayClean,
                                     TShareholderRec& rec, THolderFound& found) {
  return TShareholderRegistry::GetByDocPais(doc, pais, tryName, mayClean, rec, found);
}
inline int DbShareholderListNames(int32_t id, _ArrayOfNomeShareholder& names) {
  return TShareholderRegistry::ListNames(id, names);
}
inline int DbShareholderNamesSave(int32_t id, _ArrayOfNomeShareholder& names) {
  return TShareholderRegistry::NamesSave(id, names);
}
// "Unknown Shareholder #" + id when the holder cannot be read.
inline std::string ShareholderName(int32_t id) { return TShareholderRegistry::NameById(id); }

}  // namespace zi
