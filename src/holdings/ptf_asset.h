#pragma once
// The portfolio-asset registry's operations under their procedure names.

#include "holdings/registry.h"

namespace zi {

inline int DbPtfAssetTvmGet(int32_t id, TPtfAssetTvmRec& rec) { return TPtfAssetTvmRegistry::Get(id, rec); }
inline int DbPtfAssetTvmAdd(const TPtfAssetTvmRec& rec, bool mayClean) { return TPtfAssetTvmRegistry::Add(rec, mayClean); }
inline int DbPtfAssetTvmPut(const TPtfAssetTvmRec& rec, bool keep, bool forceMain, bool mayClean) {
  return TPtfAssetTvmRegistry::Put(rec, keep, forceMain, mayClean);
}
inline int DbPtfAssetTvmAddDoc(const TPtfAssetTvmRec& rec, bool mayClean) {
  return TPtfAssetTvmRegistry::AddDoc(rec, mayClean);
}
inline int DbPtfAssetTvmDelDoc(const std::string& doc_id, int32_t docpais) {
  return TPtfAssetTvmRegistry::DelDoc(doc_id, docpais);
}
inline int DbPtfAssetTvmDel(int32_t id, int32_t& company, int32_t& count) {
  return TPtfAssetTvmRegistry::Del(id, company, count);
}
inline int DbPtfAssetTvmGetByDocPais(const std::string& doc, int32_t pais, const std::string& tryName, bool mayClean,
                                     TPtfAssetTvmRec& rec, THolderFound& found) {
  return TPtfAssetTvmRegistry::GetByDocPais(doc, pais, tryName, mayClean, rec, found);
}
inline int DbPtfAssetTvmListNames(int32_t id, _ArrayOfNomePtfAssetTvm& names) {
  return TPtfAssetTvmRegistry::ListNames(id, names);
}
inline int DbPtfAssetTvmNamesSave(int32_t id, _ArrayOfNomePtfAssetTvm& names) {
  return TPtfAssetTvmRegistry::NamesSave(id, names);
}
// "Unknown PtfAssetTvm #" + id when the holder cannot be read.
inline std::string PtfAssetTvmName(int32_t id) { return TPtfAssetTvmRegistry::NameById(id); }

}  // namespace zi
