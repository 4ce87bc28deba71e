#pragma once
// The two holder registries, written once: THolderRegistry over the traits of what differs
// between shareholders and portfolio assets (procedure prefix, parameter names, document table,
// texts). Each operation calls one stored procedure, returns 0 or an error code and lets no
// exception escape. shareholder.h and ptf_asset.h give the operations their Db names.

#include <string>
#include <string_view>
#include <vector>

#include "holdings/registry_record.h"

namespace zi {

struct TShareholderTraits {
  static constexpr std::string_view prefix = "Shareholder";
  static constexpr std::string_view addDocId = "@IdShareholder";
  static constexpr std::string_view delCompany = "@EmpDeQueEhShareholder";
  static constexpr std::string_view delCount = "@NumCompAcionariasDeQueParticipa";
  static constexpr std::string_view docSelect =
      "select docpais, doc_id, IdShareholder from ShareholderDoc order by docpais, doc_id";
  static constexpr std::string_view unknownName = "Unknown Shareholder #";
  static constexpr std::string_view nameTooLong = "Shareholder.Nome MaxLen:130 len:%d \"%s\" \"%s\"";
  static constexpr std::string_view docTooLong = "Shareholder.doc MaxLen:95 len:%d \"%s\" \"%s\"";
  static constexpr std::string_view getByDpError = "ShareholderGetByDP error ";
  static constexpr std::string_view newHolder = "New share holder: \"";
  static constexpr std::string_view alreadyStored = "Share holder j\xE1 cadastrado: \"";
  static constexpr std::string_view modify = "Share holder modify: \"";
  static constexpr std::string_view notMainName = "Share holder: name \"";
  static constexpr std::string_view limitNote = "Share holders limit";
  static constexpr std::string_view limitParam[3] = {"SHLIMITADD", "SHLIMITMOD", "SHLIMITTOTAL"};
  // Asked when the first is absent; empty: none.
  static constexpr std::string_view limitFallback[3] = {"", "", ""};
  static constexpr std::string_view limitParamText[3] = {"SHLIMITADD", "SHLIMITMOD", "SHLIMITTOTAL"};
};

struct TPtfAssetTvmTraits {
  static constexpr std::string_view prefix = "PtfAssetTvm";
  static constexpr std::string_view addDocId = "@IdPtfAssetTvm";
  static constexpr std::string_view delCompany = "@EmpDeQueEhPtfItemTvm";
  static constexpr std::string_view delCount = "@NumPtfDeQueParticipa";
  static constexpr std::string_view docSelect =
      "select docpais, doc_id, IdPtfAssetTvm from PtfAssetTvmDoc order by docpais, doc_id";
  static constexpr std::string_view unknownName = "Unknown PtfAssetTvm #";
  static constexpr std::string_view nameTooLong = "PtfAssetTvm.Nome MaxLen:130 len:%d \"%s\" \"%s\"";
  static constexpr std::string_view docTooLong = "PtfAssetTvm.doc MaxLen:95 len:%d \"%s\" \"%s\"";
  static constexpr std::string_view getByDpError = "PtfAssetTvmGetByDP error ";
  static constexpr std::string_view newHolder = "New PtfAssetTvm: \"";
  static constexpr std::string_view alreadyStored = "PtfAssetTvm j\xE1 cadastrado: \"";
  static constexpr std::string_view modify = "PtfAssetTvm modify: \"";
  static constexpr std::string_view notMainName = "PtfAssetTvm: name \"";
  static constexpr std::string_view limitNote = "PtfAssetTvm limit";
  static constexpr std::string_view limitParam[3] = {"SHLIMITADD", "SHLIMITMOD", "SHLIMITTOTAL"};
  static constexpr std::string_view limitParamText[3] = {"SHLIMITADD / PTFASSETLIMITADD",
                                                         "SHLIMITMOD / PTFASSETLIMITMOD",
                                                         "SHLIMITTOTAL / PTFASSETLIMITTOTAL"};
  static constexpr std::string_view limitFallback[3] = {"PTFASSETLIMITADD", "PTFASSETLIMITMOD", "PTFASSETLIMITTOTAL"};
};

// What a lookup by document gives besides the record.
struct THolderFound {
  bool isMain = false;   // the name returned is the holder's main name
  std::string mainName;  // the main name, when the server gave one
};

// The process's index of a registry's documents: one query loads them all, then every lookup is a
// binary search. Holders this process creates are added as they are created.
class THolderDocIndex {
 public:
  struct TEntry {
    int32_t docpais = 0;
    std::string doc;
    int32_t id = 0;
  };
  explicit THolderDocIndex(std::string_view select) : select_(select) {}

  // 0 with the id, 4178 when no holder has the document in the country, or the code of a load that
  // failed. A miss is asked of the server (lookup), so that a holder stored since the index was
  // built is found; what it finds joins the index.
  template <typename Lookup>
  int Find(const std::string& doc, int32_t pais, int32_t& id, Lookup lookup) {
    id = 0;
    if (const int code = Build()) return code;
    if (Search(doc, pais, id)) return 0;
    const int code = lookup(id);
    if (code == 0) Add(id, doc, pais);
    return code;
  }
  // Inserts the entry when the index is built (an equal entry already there wins).
  void Add(int32_t id, const std::string& doc, int32_t pais);
  bool Built() const { return built_; }
  size_t Size() const { return entries_.size(); }
  // Forgets every entry; the next find builds the index again.
  void Reset();

 private:
  int Build();
  bool Search(const std::string& doc, int32_t pais, int32_t& id) const;

  std::string_view select_;
  bool built_ = false;
  std::vector<TEntry> entries_;
};

// The holders a run creates, by document (upper-cased) and country.
class THolderAddedList {
 public:
  bool Contains(std::string_view doc, int32_t pais) const;
  void Add(std::string_view doc, int32_t pais);
  size_t Count() const { return items_.size(); }

 private:
  std::vector<std::pair<std::string, int32_t>> items_;
};

using TListaDeShareholderAdded = THolderAddedList;
using TListaDePtfAssetTvmAdded = THolderAddedList;
using TCacheShareholderDocPais = THolderDocIndex;
using TCachePtfAssetTvmDocPais = THolderDocIndex;

template <typename K>
class THolderRegistry {
 public:
  using Traits = K;
  // 0 found (the record filled from its rows), or the server's code.
  static int Get(int32_t id, THolderRec& rec);
  // 0 created, 4196 the document exists already. The id does not come back.
  static int Add(const THolderRec& rec, bool mayClean);
  static int Put(const THolderRec& rec, bool keep, bool forceMain, bool mayClean);
  static int AddDoc(const THolderRec& rec, bool mayClean);
  static int DelDoc(const std::string& doc_id, int32_t docpais);
  // On refusal, one company of which the holder is still a shareholder and how many compositions use it.
  static int Del(int32_t id, int32_t& company, int32_t& count);
  // The record is reset and given doc and pais; 0 found (id, nome, doc filled), 4178 none.
  static int GetByDocPais(const std::string& doc, int32_t pais, const std::string& tryName, bool mayClean,
                          THolderRec& rec, THolderFound& found);
  static int ListNames(int32_t id, std::vector<_NomeHolder>& names);
  static int NamesSave(int32_t id, std::vector<_NomeHolder>& names);

  // The main name by id, through the id cache; "Unknown ... #" + id when the read fails.
  static std::string NameById(int32_t id);
  static void ForgetName(int32_t id);

  // The process-wide document index.
  static THolderDocIndex& DocIndex();
  // The id of a document through the index (0 or 4178 or an error code).
  static int FindInIndex(const std::string& doc, int32_t pais, bool mayClean, int32_t& id);
};

using TShareholderRegistry = THolderRegistry<TShareholderTraits>;
using TPtfAssetTvmRegistry = THolderRegistry<TPtfAssetTvmTraits>;

extern template class THolderRegistry<TShareholderTraits>;
extern template class THolderRegistry<TPtfAssetTvmTraits>;

}  // namespace zi
