#include "holdings/registry_import.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include <fmt/printf.h>

#include "holdings/composition_directive.h"
#include "import/directive_support.h"
#include "import/directives.h"
#include "import/fields.h"
#include "import/json_import.h"
#include "session/reference_data.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr std::string_view kInvalidFieldCount = "Invalid # of fields";
constexpr std::string_view kEmptyName = "Empty <name>";
constexpr std::string_view kEmptyDoc = "Empty <doc>";
constexpr int kNoLimit = std::numeric_limits<int32_t>::max();

constexpr int kUpdateOfMissingAsset = 50141;
constexpr int kBothNewDocuments = 30208;
constexpr int kNoNewDocument = 30209;
constexpr int kAddDocOnlyUpsert = 30212;

std::string CountryName(int32_t pais) { return Listas().EnumPais.TextoDoId(pais, true); }

template <typename K>
THolderRunCounts& CountsOf(THolderRunState& state);
template <>
THolderRunCounts& CountsOf<TShareholderTraits>(THolderRunState& state) {
  return state.shareholders;
}
template <>
THolderRunCounts& CountsOf<TPtfAssetTvmTraits>(THolderRunState& state) {
  return state.assets;
}

// "Y..." or "S..." yes, "N..." no; then "ON" and "OFF"; then an integer, non-zero being yes.
std::optional<bool> BooleanToken(std::string_view token) {
  const std::string upper = UpperAscii(Trim(token));
  if (upper.starts_with('Y') || upper.starts_with('S')) return true;
  if (upper.starts_with('N')) return false;
  if (upper == "ON") return true;
  if (upper == "OFF") return false;
  int32_t value = 0;
  if (ReadIntegerField(upper, value)) return value != 0;
  return std::nullopt;
}

// A name or document longer than its field: the note, and the text cut to fit.
template <typename Note>
void CutToFit(std::string& text, size_t max, std::string_view format, Note note) {
  if (text.size() <= max) return;
  note(fmt::sprintf(std::string(format), static_cast<int>(text.size()), text, text.substr(0, max)));
  text.resize(max);
}

// One limit parameter: kNoLimit when absent; given tells whether it was on the command line.
void ReadLimit(std::string_view name, std::string_view fallback, std::string_view messageName, int& code, bool& given,
               int& limit) {
  std::string value;
  limit = kNoLimit;
  if (!PegaParam(name, value) && (fallback.empty() || !PegaParam(fallback, value))) return;
  given = true;
  int32_t parsed = 0;
  if (ReadIntegerField(Trim(value), parsed)) {
    limit = parsed;
  } else {
    Loga("error param " + std::string(messageName) + " <" + value + ">");
    if (code == 0) code = kHolderLimitParamInvalid;
  }
}

std::string LimitText(int limit) { return limit == kNoLimit ? "-" : std::to_string(limit); }

// One *SHAREHOLDER-form line of registry K.
template <typename K>
class THolderLine {
 public:
  THolderLine(TImpMain& run, bool ifDocIsNew) : run_(run), ifDocIsNew_(ifDocIsNew) {}

  int Run() {
    if (const int code = ReadFields()) return code;
    THolderRec found;
    THolderFound how;
    const int code = THolderRegistry<K>::GetByDocPais(doc_, pais_, nome_, mayClean_, found, how);
    if (code == kHolderNotFound) return NewHolder();
    if (code != 0) {
      run_.ErrorMessage(std::string(K::getByDpError) + std::to_string(code));
      return code;
    }
    return Existing(found, how);
  }

 private:
  void Note(const std::string& text) { run_.Output(text, false); }

  int ReadFields() {
    tParserWrapper& t = run_.Tokens();
    if (t.Count() < 4 || t.Count() > 6) {
      run_.ErrorMessage(kInvalidFieldCount);
      return kHolderFieldCount;
    }
    nome_ = Trim(t.Token(1));
    CutToFit(nome_, kHolderMaxName, K::nameTooLong, [&](const std::string& note) { Note(note); });
    if (nome_.empty()) {
      run_.ErrorMessage(kEmptyName);
      return kHolderNameEmpty;
    }
    if (!ReadKnownCode(t.Token(2), Listas().EnumPais, pais_)) return kHolderCountryInvalid;
    doc_ = Trim(t.Token(3));
    CutToFit(doc_, kHolderMaxDocument, K::docTooLong, [&](const std::string& note) { Note(note); });
    if (doc_.empty()) {
      run_.ErrorMessage(kEmptyDoc);
      return kHolderDocumentEmpty;
    }
    if (!Trim(t.Token(4)).empty()) {
      const std::optional<bool> value = BooleanToken(t.Token(4));
      if (!value) return kHolderForceMainInvalid;
      forceMain_ = *value;
    }
    if (!Trim(t.Token(5)).empty()) {
      const std::optional<bool> value = BooleanToken(t.Token(5));
      if (!value) return kHolderMayCleanInvalid;
      mayClean_ = *value;
    }
    return 0;
  }

  int NewHolder() {
    THolderRunCounts& counts = CountsOf<K>(HolderRunState(run_));
    const std::string key = UpperAscii(doc_);
    // A document that an earlier line of the file creates is one new holder, not two.
    if (run_.ToNoCheck() && counts.added.Contains(key, pais_)) return 0;
    ++counts.adds;
    if (run_.ToNoCheck()) {
      Note(std::string(K::newHolder) + nome_ + "\" \"" + CountryName(pais_) + "\" \"" + doc_ + "\"");
      counts.added.Add(key, pais_);
      return 0;
    }
    THolderRec rec;
    rec.id = 0;
    rec.pais = pais_;
    rec.nome = nome_;
    rec.doc = doc_;
    const int code = THolderRegistry<K>::Add(rec, mayClean_);
    if (code == kHolderDocumentTaken) {
      Note(std::string(K::alreadyStored) + CountryName(pais_) + "\" \"" + doc_ + "\"");
    } else if (code != 0) {
      return code;
    } else {
      IndexNewHolder();
    }
    counts.added.Add(key, pais_);
    return 0;
  }

  // The add procedure gives no id back: the index takes the holder with the id the server has
  // for it, never with 0.
  void IndexNewHolder() {
    if (!THolderRegistry<K>::DocIndex().Built()) return;
    THolderRec stored;
    THolderFound how;
    if (THolderRegistry<K>::GetByDocPais(doc_, pais_, "", mayClean_, stored, how) == 0) {
      THolderRegistry<K>::DocIndex().Add(stored.id, doc_, pais_);
    }
  }

  int Existing(const THolderRec& found, const THolderFound& how) {
    if (NameKey(found.nome) == NameKey(nome_)) {
      if (run_.ToNoCheck() && !how.isMain) {
        std::string note = std::string(K::notMainName) + nome_ + "\" is not main name";
        if (!how.mainName.empty()) note += " \"" + how.mainName + "\"";
        Note(note);
      }
      return 0;
    }
    ++CountsOf<K>(HolderRunState(run_)).mods;
    if (run_.ToNoCheck()) {
      std::string note = std::string(K::modify) + nome_ + "\" - \"" + doc_ + "\" - \"" + CountryName(pais_) + "\" (was:";
      if (found.nome != nome_) note += " name:\"" + found.nome + "\"";
      if (found.doc != doc_) note += " doc:\"" + found.doc + "\"";
      note += ")";
      if (ifDocIsNew_) note += " NoAction(IfDocIsNew)";
      Note(note);
      return 0;
    }
    if (ifDocIsNew_) return 0;
    THolderRec rec;
    rec.id = found.id;
    rec.pais = pais_;
    rec.nome = nome_;
    rec.doc = doc_;
    const int code = THolderRegistry<K>::Put(rec, true, forceMain_, mayClean_);
    THolderRegistry<K>::ForgetName(found.id);
    return code;
  }

  TImpMain& run_;
  bool ifDocIsNew_;
  std::string nome_;
  int32_t pais_ = 0;
  std::string doc_;
  bool forceMain_ = false;
  bool mayClean_ = true;
};

template <typename K>
TDirectiveOutcome HolderDirective(TImpMain& run, bool ifDocIsNew) {
  return {true, THolderLine<K>(run, ifDocIsNew).Run()};
}

// How a JSON record names an asset.
struct TIdentifierRec {
  uint8_t kind = 0;  // 0 none, 1 by "doc", 2 by "docid", 3 by id
  int32_t id = 0;
  std::string document;
};

// The JSON records of portfolio assets: notes go to the log and to the record's register.
class TAssetRecord {
 public:
  TAssetRecord(const std::string& caller, TImpJSON& run, TJsonObject& record, _ActionDB action)
      : caller_(caller), run_(run), record_(record), action_(action) {}

  // "ptfassettvm": creates or renames the asset.
  void Upsert() {
    const int code = UpsertCode();
    if (code == 0) return;
    constexpr std::string_view kFailed = "Falha durante importacao do ptfAssetTvm";
    run_.CriticalError(code, std::string(kFailed));
    run_.Register().AddError(code, kFailed);
  }

  // "ptfassettvmadddoc": adds a document to an existing asset.
  void AddDoc() {
    int32_t pais = 0;
    int code = Country(pais);
    TIdentifierRec ident;
    if (code == 0) code = Identify(ident, true);
    THolderRec rec;
    if (code == 0) {
      code = Lookup(ident, pais, rec);
      if (code == kHolderNotFound || code == kAnswerNotFound) {
        code = kHolderNotFound;
        CodedNote(code, "ptfAssetTvm n\xE3o cadastrado");
      }
    }
    if (code != 0) {
      CodedNote(code, fmt::sprintf("caller:%s A chave do imovel n\xE3o existe. ", caller_));
      return;
    }
    std::string newDoc;
    std::string newDocId;
    const bool hasDoc = record_.TryGetString("newdoc", newDoc);
    const bool hasDocId = record_.TryGetString("newdocid", newDocId);
    if (hasDoc && hasDocId) {
      CodedNote(kBothNewDocuments,
                fmt::sprintf("caller:%s N\xE3o \xE9 possivel adicionar Doc e Docid ao mesmo tempo. ", caller_));
      return;
    }
    if (!hasDoc && !hasDocId) {
      CodedNote(kNoNewDocument, fmt::sprintf("caller:%s N\xE3o foi encontrado o novo doc a ser inserido. ", caller_));
      return;
    }
    if (action_ != _adb_upsert) {
      CodedNote(kAddDocOnlyUpsert,
                "So existe a opcao de inserir ou atualizar (insertorupdate), para inserir um novo Doc ou DocId");
      return;
    }
    ++run_.PtfAssetAdds();
    THolderRec addDoc;
    addDoc.id = rec.id;
    addDoc.pais = pais;
    addDoc.doc = Trim(hasDoc ? newDoc : newDocId);
    if (const int failed = TPtfAssetTvmRegistry::AddDoc(addDoc, hasDoc)) {
      CodedNote(failed,
                fmt::sprintf("caller:%s Falha durante importacao de um novo Doc ou DocId para um ptfAssetTvm. ", caller_));
      return;
    }
    TPtfAssetTvmRegistry::DocIndex().Add(rec.id, addDoc.doc, pais);
    run_.Output(fmt::sprintf("caller:%s Novo Doc incluido", caller_), false);
  }

 private:
  void Note(const std::string& text) {
    run_.Output(text, false);
    run_.Register().AddLog(text, 0);
  }
  void CodedNote(int code, const std::string& text) {
    run_.NonCriticalError(code, "%s", text);
    run_.Register().AddError(code, text);
  }

  int UpsertCode() {
    std::string limitNote;
    const int limits = HolderLimitCheck<TPtfAssetTvmTraits>(run_.PtfAssetAdds(), run_.PtfAssetMods(), limitNote);
    if (!limitNote.empty()) Note(limitNote);
    if (limits != 0) return limits;
    std::string nome;
    if (!run_.GetTextField(record_, "nome", true, nome)) {
      Note(fmt::sprintf("Error: %d, Property: \"nome\" invalid", kHolderNameEmpty));
      return kHolderNameEmpty;
    }
    nome = Trim(nome);
    CutToFit(nome, kHolderMaxName, TPtfAssetTvmTraits::nameTooLong, [&](const std::string& note) { Note(note); });
    int32_t pais = 0;
    if (const int code = Country(pais)) return code;
    bool forceMain = false;
    run_.GetBooleanField(record_, "nomevaiprozor", true, forceMain);
    TIdentifierRec ident;
    if (const int code = Identify(ident, false)) return code;
    THolderRec rec;
    const int code = Lookup(ident, pais, rec);
    if (code == 0) return Found(ident, rec, nome, forceMain);
    if (code != kHolderNotFound && code != kAnswerNotFound) return code;
    if (action_ == _adb_update) {
      Note("Nao pode atualzar ptfassettvm pois o mesmo nao se encontra cadastrado");
      return kUpdateOfMissingAsset;
    }
    // An asset is created from a document only: an id that names none creates nothing.
    if (ident.kind == 3) return kAssetIdUnknown;
    ++run_.PtfAssetAdds();
    rec.nome = nome;
    if (const int added = TPtfAssetTvmRegistry::Add(rec, ident.kind == 1)) return added;
    if (TPtfAssetTvmRegistry::DocIndex().Built()) {
      int32_t id = 0;
      TPtfAssetTvmRegistry::FindInIndex(ident.document, pais, ident.kind == 1, id);
    }
    return 0;
  }

  int Found(const TIdentifierRec& ident, THolderRec& rec, const std::string& nome, bool forceMain) {
    if (action_ == _adb_insert) {
      Note(fmt::sprintf("PtfAssetTvm: doc: %s, nome: %s ja cadastrado", rec.doc, rec.nome));
      return 0;
    }
    if (NameKey(rec.nome) == NameKey(nome)) return 0;
    ++run_.PtfAssetMods();
    rec.nome = nome;
    // The document sent back must name the one the asset has, in the form its flag reads.
    rec.doc = ident.kind == 3 ? (rec.docs.empty() ? std::string() : rec.docs.front().doc_id) : ident.document;
    const int code = TPtfAssetTvmRegistry::Put(rec, true, forceMain, ident.kind == 1);
    TPtfAssetTvmRegistry::ForgetName(rec.id);
    return code;
  }

  // "pais": absent is 0; otherwise a number, rounded, that the country list holds.
  int Country(int32_t& pais) {
    pais = 0;
    const std::optional<TJsonAttribute> member = record_.Find("pais");
    if (!member) return 0;
    if (!member->IsNumber()) return kHolderCountryInvalid;
    const long double value = std::round(member->AsNumber());
    if (!(value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max())) {
      return kHolderCountryInvalid;
    }
    pais = static_cast<int32_t>(value);
    return Listas().EnumPais.ItemDoId(pais) ? 0 : kHolderCountryInvalid;
  }

  // The first of "id", "doc", "docid", "idptfassettvm" present; one of another type names nothing.
  int Identify(TIdentifierRec& ident, bool codedNotes) {
    static constexpr std::pair<std::string_view, uint8_t> kKeys[] = {
        {"id", 3}, {"doc", 1}, {"docid", 2}, {"idptfassettvm", 3}};
    for (const auto& [name, kind] : kKeys) {
      const std::optional<TJsonAttribute> member = record_.Find(name);
      if (!member) continue;
      if (kind == 3 && member->IsNumber()) {
        const long double id = member->AsNumber();
        if (id >= 1 && id <= std::numeric_limits<int32_t>::max() && id == std::floor(id)) {
          ident = {3, static_cast<int32_t>(id), {}};
        }
      } else if (kind != 3 && member->IsString()) {
        ident = {kind, 0, Trim(member->AsString())};
      }
      break;
    }
    if (ident.kind == 0) {
      const std::string text = fmt::sprintf("Error: %d, ptfAssetTvm not identified by doc/docid/id", kHolderDocumentEmpty);
      if (codedNotes) CodedNote(kHolderDocumentEmpty, text);
      else Note(text);
      return kHolderDocumentEmpty;
    }
    if (ident.kind == 3) return 0;
    CutToFit(ident.document, kHolderMaxDocument, TPtfAssetTvmTraits::docTooLong,
             [&](const std::string& note) { Note(note); });
    if (ident.document.empty()) {
      if (codedNotes) CodedNote(kHolderDocumentEmpty, std::string(kEmptyDoc));
      else Note(std::string(kEmptyDoc));
      return kHolderDocumentEmpty;
    }
    return 0;
  }

  static int Lookup(const TIdentifierRec& ident, int32_t pais, THolderRec& rec) {
    if (ident.kind == 3) {
      rec = THolderRec{};
      return TPtfAssetTvmRegistry::Get(ident.id, rec);
    }
    THolderFound how;
    return TPtfAssetTvmRegistry::GetByDocPais(ident.document, pais, "", ident.kind == 1, rec, how);
  }

  const std::string& caller_;
  TImpJSON& run_;
  TJsonObject& record_;
  _ActionDB action_;
};

}  // namespace

void THolderRunState::StartPass(tImpRoot&) {
  shareholders.adds = shareholders.mods = 0;
  assets.adds = assets.mods = 0;
}

int THolderRunState::EndOfCheckPass(tImpRoot& run) {
  std::string note;
  int code = HolderLimitCheck<TPtfAssetTvmTraits>(assets.adds, assets.mods, note);
  if (!note.empty()) run.Output(note, false);
  if (code != 0) return code;
  note.clear();
  code = HolderLimitCheck<TShareholderTraits>(shareholders.adds, shareholders.mods, note);
  if (!note.empty()) run.Output(note, false);
  return code;
}

THolderRunState& HolderRunState(tImpRoot& run) { return run.State<THolderRunState>(); }

template <typename K>
int HolderLimitCheck(int adds, int mods, std::string& note) {
  note.clear();
  int code = 0;
  bool given = false;
  int limAdd = 0, limMod = 0, limTotal = 0;
  ReadLimit(K::limitParam[0], K::limitFallback[0], K::limitParamText[0],
            code, given, limAdd);
  ReadLimit(K::limitParam[1], K::limitFallback[1], K::limitParamText[1],
            code, given, limMod);
  ReadLimit(K::limitParam[2], K::limitFallback[2], K::limitParamText[2],
            code, given, limTotal);
  if (code == 0 && (int64_t{adds} + mods > limTotal || mods > limMod || adds > limAdd)) code = kHolderLimitExceeded;
  if (adds == 0 && mods == 0) return code;
  note = std::string(K::limitNote) + (code == kHolderLimitExceeded ? " exceeded!!!" : "") +
         " erro:" + std::to_string(code) + " Mod:" + std::to_string(mods) + " Add:" + std::to_string(adds) +
         " LimMod:" + LimitText(limMod) + " LimAdd:" + LimitText(limAdd) + " LimTotal:" + LimitText(limTotal) +
         (given ? "" : " no-limits-specified");
  return code;
}

template int HolderLimitCheck<TShareholderTraits>(int, int, std::string&);
template int HolderLimitCheck<TPtfAssetTvmTraits>(int, int, std::string&);

void RegisterHolderDirectives() {
  RegisterCompositionDirective();
  SetDirectiveHandler("*SHAREHOLDER",
                      [](TImpMain& run, const TDirective&) { return HolderDirective<TShareholderTraits>(run, false); });
  SetDirectiveHandler("*SHAREHOLDERIFDOCISNEW",
                      [](TImpMain& run, const TDirective&) { return HolderDirective<TShareholderTraits>(run, true); });
  SetDirectiveHandler("*PFITEM",
                      [](TImpMain& run, const TDirective&) { return HolderDirective<TPtfAssetTvmTraits>(run, false); });
  SetDirectiveHandler("*PFITEMIFDOCISNEW",
                      [](TImpMain& run, const TDirective&) { return HolderDirective<TPtfAssetTvmTraits>(run, true); });
  SetJsonRecordHandler("ptfassettvm", [](const std::string& caller, TImpJSON& run, TJsonObject& record,
                                         _ActionDB action) { TAssetRecord(caller, run, record, action).Upsert(); });
  SetJsonRecordHandler("ptfassettvmadddoc", [](const std::string& caller, TImpJSON& run, TJsonObject& record,
                                               _ActionDB action) { TAssetRecord(caller, run, record, action).AddDoc(); });
}

}  // namespace zi
