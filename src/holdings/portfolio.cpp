#include "holdings/portfolio.h"

#include <charconv>
#include <cmath>
#include <functional>

#include <fmt/printf.h>

#include "db/connection.h"
#include "db/sql_errors.h"
#include "holdings/holdings_calls.h"
#include "holdings/portfolio_assets.h"
#include "holdings/portfolio_store.h"
#include "holdings/real_estate.h"
#include "import/json_import.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr int kSecurityNotIdentified = 50088;
constexpr int kValueOrWeightMissing = 50112;
constexpr int kPropertyNotIdentified = 30136;
constexpr int kItemNotObject = 50111;
constexpr int kUnknownArrayKey = 50104;
constexpr int kHeaderFieldMissing = 50098;
constexpr int kCleaningFailed = 30149;
constexpr int kInsertFailed = 30150;
constexpr int kDeleteFailed = 30205;
constexpr int kReadHeaderFailed = 30204;
constexpr int kFieldNotReturned = 50096;
constexpr int kInvalidTablePrefix = 50102;
constexpr int kMarkerWithColumns = 50103;
constexpr int kFetchFailed = 50109;

constexpr const char* kFieldRequiredText = "\"%d\" - Field required: \"%s\" not found";
constexpr const char* kFieldTypeText = "\"%d\" - Invalid JSON Field: \"%s\" attribute type. Expected type:%s.";
constexpr const char* kHeaderTypeText = "Invalid JSON Field: \"%s\" attribute type. Expected type:%s.";
constexpr const char* kTablePrefix = "Table:";

bool Has(uint8_t flags, uint8_t flag) { return (flags & flag) != 0; }

std::string KindKey(int kind) { return std::string(PortfolioKindInfo(kind).jsonKey); }

const char* ExpectedTypeName(const TPortfolioJsonDefinition& definition) {
  return JsonAttributeTypeName(static_cast<TJsonAttributeType>(definition.JsonKind));
}

// A key passes its definition: present with its kind and accepted, or absent and not required.
bool Passes(TJsonObject& object, const TPortfolioJsonDefinition& definition) {
  if (object.IndexOf(definition.Name) < 0) return !Has(definition.Flags, kDefRequired);
  if (!Has(definition.Flags, kDefAccepted | kDefRequired)) return false;
  return definition.JsonKind == jatInvalid ||
         HasKind(object, definition.Name, static_cast<TAttributeType>(definition.JsonKind));
}

// A number as one exact text, so that equal values give equal keys.
std::string ExactNumber(long double value) {
  char text[64];
  // Room for any long double: the conversion cannot fail.
  return {text, std::to_chars(text, text + sizeof text, value, std::chars_format::hex).ptr};
}

// A value of a JSON member as a bound SQL value, following the column type.
DbValue ColumnValue(TJsonObject& item, const TPortfolioJsonDefinition& definition) {
  const std::optional<TJsonAttribute> value = item.Find(definition.Name);
  if (!value || value->IsNull()) return {};
  switch (definition.ColumnType) {
    case 3:
      if (!value->IsNumber() || !std::isfinite(static_cast<double>(value->AsNumber()))) return {};
      return static_cast<int64_t>(std::llround(static_cast<double>(value->AsNumber())));
    case 2:
    case 6: {
      if (value->IsBoolean()) return static_cast<int64_t>(value->AsBoolean() ? 1 : 0);
      if (!value->IsNumber()) return {};
      const double number = static_cast<double>(value->AsNumber());
      // Infinite values (a number too large for a double) are stored as no value.
      return std::isfinite(number) ? DbValue(number) : DbValue();
    }
    case 5: return value->IsBoolean() ? DbValue(value->AsBoolean()) : DbValue();
    case 11: {
      if (!value->IsString()) return {};
      const std::optional<TDayNumber> day = JsonDateDay(value->AsString());
      return day ? DbValue(TDateTime{kDay1920 + day->value}) : DbValue();
    }
    default: return value->IsString() ? DbValue(std::string(value->AsString())) : DbValue();
  }
}

// Sets a member from a stored value, typed as the value is.
void SetFromStored(TJsonObject& object, std::string_view name, const DbValue& value) {
  switch (value.Type()) {
    case DbType::Integer: object.AddNumber(name, static_cast<long double>(value.AsInteger())); break;
    case DbType::Float: object.AddNumber(name, value.AsFloat()); break;
    case DbType::Boolean: object.AddBoolean(name, value.AsBoolean()); break;
    case DbType::DateTime: {
      const double days = std::floor(value.AsDateTime().days) - kDay1920;
      if (days >= 1 && days <= 65535) object.AddString(name, FormatIsoDate(TDayNumber{static_cast<uint16_t>(days)}));
      break;
    }
    case DbType::Text: object.AddString(name, value.AsText()); break;
    default: break;
  }
}



// The marked result sets of a call: a one-column set holding "Table:" and a name, then that
// table's rows, until no set is left. onRows reads the rows of each table.
int ReadMarkedResultSets(db::TDbCommand& ds, TPortfolioContext& context,
                         const std::function<int(const std::string&, db::TDbCommand&)>& onRows) {
  TRegistraInconsistencia& reg = context.inconsistencies;
  try {
    for (bool more = ds.FieldCount() > 0; more;) {
      if (ds.FieldCount() != 1) {
        reg.AddError(kMarkerWithColumns,
                     fmt::sprintf("Expecting to fetch table name prefix only, founded %d cols", ds.FieldCount()));
        return kMarkerWithColumns;
      }
      const std::string marker = ds.Eof() ? std::string() : db::ValueAsText(ds.FieldByIndex(0));
      if (marker.size() < 6 || !SameTextAscii(marker.substr(0, 6), kTablePrefix)) {
        reg.AddError(kInvalidTablePrefix, fmt::sprintf("Invalid table name prefix: %s", marker));
        return kInvalidTablePrefix;
      }
      if (const int code = ds.NextResultSet(more)) return code;
      if (!more) break;
      if (const int code = onRows(marker.substr(6), ds)) return code;
      if (const int code = ds.NextResultSet(more)) return code;
    }
  } catch (const std::exception& e) {
    reg.AddError(kFetchFailed, fmt::sprintf("An exception occurred while fetching data from database, error: %s",
                                            std::string(e.what())));
    return kFetchFailed;
  }
  return 0;
}

// An item object read from a row: one member per stored or parent definition whose column is not
// NULL.
int ItemFromRow(db::TDbCommand& ds, TPortfolioJsonDefinitions definitions, const std::string& table,
                TJsonObject& item, TPortfolioContext& context) {
  for (const TPortfolioJsonDefinition& definition : definitions) {
    if (!Has(definition.Flags, kDefColumn | kDefParent) || definition.Column.empty()) continue;
    const std::string column(definition.Column);
    try {
      if (!ds.HasField(column)) continue;
      SetFromStored(item, definition.Name, ds.Field(column));
    } catch (const std::exception&) {
      context.inconsistencies.AddError(
          50110, fmt::sprintf("Exception occurred while fetching data, Table: \"%s\", Column: %s", table, column));
      return 50110;
    }
  }
  return 0;
}

class TPortfolioItemsTvm : public TPortfolioItemsBase {
 public:
  TPortfolioItemsTvm() : TPortfolioItemsBase(pikTvm) {}

  int Resolve(TJsonObject& item, TPortfolioContext& context) override {
    TRegistraInconsistencia& reg = context.inconsistencies;
    const std::string itemId = ItemIdOf(item);
    long double number = 0;
    if (const std::optional<TJsonAttribute> id = item.Find("idptfassettvm"); id && id->IsNumber()) {
      item.AddNumber("idptfassettvm", std::round(id->AsNumber()));
    } else {
      std::string doc;
      std::string docId;
      const bool hasCountry = item.Find("country") && item.Find("country")->IsNumber();
      const bool byDoc = hasCountry && item.TryGetString("doc", doc);
      const bool byDocId = !byDoc && hasCountry && item.TryGetString("docid", docId);
      if (!byDoc && !byDocId) {
        const std::string path = "tvm/";
        reg.AddError(kSecurityNotIdentified, "Failed import", &itemId, &path);
        return kSecurityNotIdentified;
      }
      item.TryGetNumber("country", number);
      int32_t asset = 0;
      const int code = PortfolioAssetByDoc(byDoc ? doc : docId, static_cast<int32_t>(number), byDoc, asset);
      if (code != 0) {
        long double tpaplic = 0;
        item.TryGetNumber("tpaplic", tpaplic);
        const std::string path = byDoc ? "tvm/doc" : "tvm/docid";
        reg.AddError(code,
                     fmt::sprintf(byDoc ? "Failed import, tpaplic: %d, doc not found: %s"
                                        : "Failed import, tpaplic: %d, docid not found: %s",
                                  static_cast<int64_t>(tpaplic), byDoc ? doc : docId),
                     &itemId, &path);
        return code;
      }
      item.AddNumber("idptfassettvm", asset);
    }
    const auto isNumber = [&](std::string_view name) {
      const std::optional<TJsonAttribute> value = item.Find(name);
      return value && value->IsNumber();
    };
    if (!isNumber("vlr") && !isNumber("peso")) {
      const std::string path = "tvm/";
      reg.AddError(kValueOrWeightMissing, "Field \"vlr\" or \"peso\" is required", &itemId, &path);
      return kValueOrWeightMissing;
    }
    return 0;
  }

  std::string CellText(int index, bool withName, const TPortfolioJsonDefinition& definition) const override {
    if (withName && definition.Name == "idptfassettvm") {
      long double id = 0;
      Items().at(static_cast<size_t>(index)).object->TryGetNumber("idptfassettvm", id);
      return PortfolioAssetName(static_cast<int32_t>(id));
    }
    return TPortfolioItemsBase::CellText(index, withName, definition);
  }
};

class TPortfolioItemsIraInquilino : public TPortfolioItemsBase {
 public:
  TPortfolioItemsIraInquilino() : TPortfolioItemsBase(pikInquilino) {}
};

class TPortfolioItemsImovel : public TPortfolioItemsBase {
 public:
  using TPortfolioItemsBase::TPortfolioItemsBase;

  int Resolve(TJsonObject& item, TPortfolioContext& context) override {
    TRegistraInconsistencia& reg = context.inconsistencies;
    const std::string itemId = ItemIdOf(item);
    const std::string kindKey = KindKey(Kind());
    if (const std::optional<TJsonAttribute> id = item.Find("idimovel"); id && id->IsNumber()) {
      item.AddNumber("idimovel", std::round(id->AsNumber()));
      return 0;
    }
    TImovelRec record;
    std::string used;
    if (item.TryGetString("doc", record.key.doc)) {
      record.key.kind = ikDoc;
      used = "doc";
    } else if (item.TryGetString("docid", record.key.doc_id)) {
      record.key.kind = ikDocId;
      used = "docid";
    } else {
      const std::string path = kindKey + "/";
      reg.AddError(kPropertyNotIdentified, "Failed import", &itemId, &path);
      return kPropertyNotIdentified;
    }
    int32_t property = 0;
    int code = DbImovelLookUp(record, property);
    // A document that names no property fails the item rather than pointing it to property 0.
    if (code == 0 && property == 0) code = kImovelNotFound;
    if (code != 0) {
      const std::string path = kindKey + "/" + used;
      reg.AddError(code, "Imovel not found", &itemId, &path);
      return code;
    }
    item.AddNumber("idimovel", property);
    return 0;
  }

  std::string CellText(int index, bool withName, const TPortfolioJsonDefinition& definition) const override {
    if (definition.Name != "idimovel") return TPortfolioItemsBase::CellText(index, withName, definition);
    long double id = 0;
    Items().at(static_cast<size_t>(index)).object->TryGetNumber("idimovel", id);
    const auto property = static_cast<int32_t>(id);
    return ImovelDescricao(property) + " - " + ImovelEndereco(property);
  }
};

class TPortfolioItemsIra : public TPortfolioItemsImovel {
 public:
  TPortfolioItemsIra() : TPortfolioItemsImovel(pikIra) {}
  std::set<int> ChildKinds() const override { return {pikInquilino}; }
};

template <int KIND>
class TPortfolioItemsRealEstate : public TPortfolioItemsImovel {
 public:
  TPortfolioItemsRealEstate() : TPortfolioItemsImovel(KIND) {}
};
using TPortfolioItemsIrc = TPortfolioItemsRealEstate<pikIrc>;
using TPortfolioItemsIva = TPortfolioItemsRealEstate<pikIva>;
using TPortfolioItemsIvc = TPortfolioItemsRealEstate<pikIvc>;
using TPortfolioItemsTerreno = TPortfolioItemsRealEstate<pikTerreno>;

}  // namespace

std::optional<TDayNumber> JsonDateDay(std::string_view text) {
  if (text.size() != 10) return std::nullopt;
  std::string iso(text);
  iso[4] = '-';
  iso[7] = '-';
  const char separator = text[4];
  if (text[7] != separator || std::isalnum(static_cast<unsigned char>(separator))) return std::nullopt;
  return ParseIsoDate(iso);
}

// ---- collections

TPortfolioItemsBase::TPortfolioItemsBase(int kind) : kind_(kind) {}

void TPortfolioItemsBase::CreateChildren() {
  for (int child : ChildKinds()) children_.push_back(MakePortfolioItems(child));
}

TPortfolioItemsBase::~TPortfolioItemsBase() = default;

const char* TPortfolioItemsBase::ClassName() const {
  static constexpr const char* kNames[] = {"TPortfolioItemsTvm", "TPortfolioItemsIra", "TPortfolioItemsIraInquilino",
                                           "TPortfolioItemsIrc", "TPortfolioItemsIva", "TPortfolioItemsIvc",
                                           "TPortfolioItemsTerreno"};
  return kNames[kind_];
}

std::string TPortfolioItemsBase::ItemIdOf(TJsonObject& item) {
  std::string id;
  return item.TryGetString("itemid", id) ? id : item.AsText();
}

int TPortfolioItemsBase::Validate(TJsonObject& item, TPortfolioContext& context) {
  const TPortfolioJsonDefinitions definitions = Definitions();
  const std::string kindKey = KindKey(kind_);
  for (int i = 0; i < item.Count(); ++i) {
    const std::string name = item.NameAt(i);
    if (!FindDefinition(definitions, name)) {
      LogaFormat("50100 - Unknown field found, during parsing %s, Field: %s", kindKey, name);
    }
  }
  const std::string itemId = ItemIdOf(item);
  for (const TPortfolioJsonDefinition& definition : definitions) {
    if (Has(definition.Flags, kDefRequired) && item.IndexOf(definition.Name) < 0) {
      const std::string path = kindKey + "/" + std::string(definition.Name);
      context.inconsistencies.AddError(definition.ErrorCode,
                                       fmt::sprintf(kFieldRequiredText, definition.ErrorCode, definition.Name),
                                       &itemId, &path);
      return definition.ErrorCode;
    }
  }
  for (const TPortfolioJsonDefinition& definition : definitions) {
    if (Passes(item, definition)) continue;
    const std::string path = kindKey + "/" + std::string(definition.Name);
    context.inconsistencies.AddError(
        definition.ErrorCode,
        fmt::sprintf(kFieldTypeText, definition.ErrorCode, definition.Name, ExpectedTypeName(definition)), &itemId,
        &path);
    return definition.ErrorCode;
  }
  return 0;
}

int TPortfolioItemsBase::Resolve(TJsonObject&, TPortfolioContext&) { return 0; }

std::string TPortfolioItemsBase::CellText(int index, bool, const TPortfolioJsonDefinition& definition) const {
  TJsonObject& item = *items_.at(static_cast<size_t>(index)).object;
  const std::optional<TJsonAttribute> value = item.Find(definition.Name);
  if (!value) return "";
  if (value->IsString()) return std::string(value->AsString());
  if (value->IsNumber()) return fmt::format("{}", static_cast<double>(value->AsNumber()));
  if (value->IsBoolean()) return value->AsBoolean() ? "true" : "false";
  return "";
}

std::string TPortfolioItemsBase::MergeKeyOf(TJsonObject& object, TJsonObject* owner) const {
  std::string key = fmt::format("{}", static_cast<const void*>(owner));
  for (const TPortfolioJsonDefinition& definition : Definitions()) {
    if (!Has(definition.Flags, kDefKey | kDefParent)) continue;
    key += '\x1F';
    const std::optional<TJsonAttribute> value = object.Find(definition.Name);
    if (!value) {
      key += '-';
    } else if (value->IsString()) {
      key += 's';
      key += value->AsString();
    } else if (value->IsNumber()) {
      key += 'n' + ExactNumber(value->AsNumber());
    } else if (value->IsBoolean()) {
      key += value->AsBoolean() ? "b1" : "b0";
    } else {
      key += 'z' + std::to_string(static_cast<int>(value->AttributeType()));
    }
  }
  return key;
}

void TPortfolioItemsBase::Merge(TJsonObject& into, TJsonObject& from) const {
  for (const TPortfolioJsonDefinition& definition : Definitions()) {
    if (!Has(definition.Flags, kDefSummed)) continue;
    if (definition.JsonKind != jatNumber) {
      LogaFormat("WARN Definition: %s, type: %s, not mergeable", definition.Name, ExpectedTypeName(definition));
      continue;
    }
    const std::optional<TJsonAttribute> added = from.Find(definition.Name);
    if (!added) continue;
    const std::optional<TJsonAttribute> held = into.Find(definition.Name);
    if (!held) {
      if (added->IsNumber()) {
        into.AddNumber(definition.Name, added->AsNumber());
      } else {
        into.AddNull(definition.Name);
      }
    } else if (held->IsNumber() && added->IsNumber()) {
      into.AddNumber(definition.Name, held->AsNumber() + added->AsNumber());
    } else {
      into.AddNull(definition.Name);
    }
  }
}

int TPortfolioItemsBase::AddInput(TJsonObject& object, TJsonObject* owner, TPortfolioContext& context) {
  if (const int code = Validate(object, context)) return code;
  if (const int code = Resolve(object, context)) return code;
  std::string key = MergeKeyOf(object, owner);
  TJsonObject* target = &object;
  const auto found = Mergeable() ? byMergeKey_.find(key) : byMergeKey_.end();
  if (found != byMergeKey_.end()) {
    target = items_[found->second].object;
    Merge(*target, object);
  } else {
    byMergeKey_.emplace(std::move(key), items_.size());
    items_.push_back({&object, owner});
  }
  for (const auto& child : children_) {
    TJsonArray* elements = nullptr;
    if (!object.TryGetArray(PortfolioKindInfo(child->Kind()).jsonKey, elements)) continue;
    for (int i = 0; i < elements->Count(); ++i) {
      bool isObject = false;
      TJsonObject* element = elements->GetObject(i, isObject);
      if (!element) {
        const std::string path = KindKey(child->Kind());
        context.inconsistencies.AddError(
            kItemNotObject, "Failed while importing PortfolioItems*, not a json object, expecting to be an JsonObject",
            nullptr, &path);
        return kItemNotObject;
      }
      if (const int code = child->AddInput(*element, target, context)) return code;
    }
  }
  return 0;
}

void TPortfolioItemsBase::AddStored(TJsonObject& object, TJsonObject* owner) { items_.push_back({&object, owner}); }

TPortfolioItemsBase* TPortfolioItemsBase::Child(int kind) const {
  for (const auto& child : children_)
    if (child->Kind() == kind) return child.get();
  return nullptr;
}

void TPortfolioItemsBase::Collect(std::vector<TPortfolioItemsBase*>& into) {
  into.push_back(this);
  for (const auto& child : children_) child->Collect(into);
}

std::unique_ptr<TPortfolioItemsBase> MakePortfolioItems(int kind) {
  std::unique_ptr<TPortfolioItemsBase> items;
  switch (kind) {
    case pikTvm: items = std::make_unique<TPortfolioItemsTvm>(); break;
    case pikIra: items = std::make_unique<TPortfolioItemsIra>(); break;
    case pikInquilino: items = std::make_unique<TPortfolioItemsIraInquilino>(); break;
    case pikIrc: items = std::make_unique<TPortfolioItemsIrc>(); break;
    case pikIva: items = std::make_unique<TPortfolioItemsIva>(); break;
    case pikIvc: items = std::make_unique<TPortfolioItemsIvc>(); break;
    case pikTerreno: items = std::make_unique<TPortfolioItemsTerreno>(); break;
    default: return nullptr;
  }
  items->CreateChildren();
  return items;
}

// ---- the portfolio

TPortfolio::TPortfolio() : document_(TJsonObject::CreateEmpty(true)), object_(&document_->AsObject()) {
  for (int kind = 0; kind < kPortfolioItemKinds; ++kind)
    roots_.push_back(kind == pikInquilino ? nullptr : MakePortfolioItems(kind));
}

TPortfolio::~TPortfolio() = default;

int32_t TPortfolio::IdPortfolio() {
  int32_t id = 0;
  return object_->TryGetInteger("idportfolio", id) ? id : 0;
}

int32_t TPortfolio::Emp() {
  int32_t emp = 0;
  return object_->TryGetInteger("emp", emp) ? emp : 0;
}

namespace {

TDayNumber DayOf(TJsonObject& object, std::string_view name) {
  std::string text;
  if (!object.TryGetString(name, text)) return kNoDate;
  return JsonDateDay(text).value_or(kNoDate);
}

double NumberOf(TJsonObject& object, std::string_view name) {
  const std::optional<TJsonAttribute> value = object.Find(name);
  return value && value->IsNumber() ? static_cast<double>(value->AsNumber()) : std::nan("");
}

}  // namespace

TDayNumber TPortfolio::DtRef() { return DayOf(*object_, "dtref"); }
TDayNumber TPortfolio::DtPub() { return DayOf(*object_, "dtpub"); }
TDayNumber TPortfolio::DtRtf() { return DayOf(*object_, "dtrtf"); }
TDayNumber TPortfolio::DtRefFonte() {
  const TDayNumber day = DayOf(*object_, "dtreffonte");
  return day.IsNoDate() ? DtRef() : day;
}
int TPortfolio::TpDoc() {
  const double type = NumberOf(*object_, "tpdoc");
  if (!std::isfinite(type) || type < 0 || type > 7) return 1;
  return static_cast<int>(type);
}
double TPortfolio::Pl() { return NumberOf(*object_, "pl"); }
double TPortfolio::TotalPorc() { return NumberOf(*object_, "totalporc"); }
void TPortfolio::SetIdPortfolio(int32_t id) { object_->AddNumber("idportfolio", id); }
void TPortfolio::SetEmp(int32_t emp) { object_->AddNumber("emp", emp); }

int TPortfolio::ReadImport(TJsonObject& record, TPortfolioContext& context) {
  TRegistraInconsistencia& reg = context.inconsistencies;
  const TPortfolioJsonDefinitions header = PortfolioHeaderDefinitions();
  for (int i = 0; i < record.Count(); ++i) {
    const std::string name = record.NameAt(i);
    if (name == "action" || name == "type" || record.Item(i).IsArray()) continue;
    if (!FindDefinition(header, name)) LogaFormat("50097 - Unknown/invalid field: %s  not found", name);
  }
  for (const TPortfolioJsonDefinition& definition : header) {
    if (!Has(definition.Flags, kDefRequired)) continue;
    const std::optional<TJsonAttribute> value = record.Find(definition.Name);
    if (!value || value->IsNull()) {
      const std::string path(definition.Name);
      reg.AddError(kHeaderFieldMissing, "Field not found or null", nullptr, &path);
      return kHeaderFieldMissing;
    }
  }
  for (const TPortfolioJsonDefinition& definition : header) {
    if (Passes(record, definition)) continue;
    const std::string path(definition.Name);
    reg.AddError(definition.ErrorCode, fmt::sprintf(kHeaderTypeText, definition.Name, ExpectedTypeName(definition)),
                 nullptr, &path);
    return definition.ErrorCode;
  }
  document_ = TAbstractJson::CreateFromString(record.AsText());
  object_ = &document_->AsObject();
  importing_ = true;
  return 0;
}

int TPortfolio::ReadItems(TPortfolioContext& context) {
  TRegistraInconsistencia& reg = context.inconsistencies;
  bool failed = false;
  for (int i = 0; i < object_->Count(); ++i) {
    const TJsonAttribute value = object_->Item(i);
    if (!value.IsArray()) continue;
    const std::string name = object_->NameAt(i);
    if (SameTextAscii(name, "error") || SameTextAscii(name, "log")) continue;
    TPortfolioItemsBase* items = nullptr;
    for (int kind = 0; kind < kPortfolioItemKinds && !items; ++kind)
      if (roots_[static_cast<size_t>(kind)] && SameTextAscii(name, PortfolioKindInfo(kind).jsonKey))
        items = roots_[static_cast<size_t>(kind)].get();
    if (!items) {
      reg.AddError(kUnknownArrayKey, fmt::sprintf("Unknown key: %s, import aborted", name), nullptr, &name);
      return kUnknownArrayKey;
    }
    TJsonArray& elements = value.AsArray();
    const std::string kindKey = KindKey(items->Kind());
    for (int e = 0; e < elements.Count(); ++e) {
      bool isObject = false;
      TJsonObject* element = elements.GetObject(e, isObject);
      if (!element) {
        reg.AddError(kItemNotObject,
                     "Failed while importing PortfolioItems*, not a json object, expecting to be an JsonObject",
                     nullptr, &kindKey);
        failed = true;
        continue;
      }
      if (items->AddInput(*element, object_, context) != 0) failed = true;
    }
  }
  if (!failed) return 0;
  reg.AddError(kPortfolioImportItemsError, "Import items error");
  return kPortfolioImportItemsError;
}

int TPortfolio::WriteHeader() {
  const bool isNew = IdPortfolio() == 0;
  return GuardedHoldingsCall("TPortfolio.Write", [&] {
    db::TDataSetHolder ds(db::ZiDb(), isNew ? "PortfolioAdd" : "PortfolioPut");
    if (!ds) return ds.Failure(kHoldingsCallRaised);
    ds->SetInteger("@id", IdPortfolio());
    ds->SetInteger("@emp", Emp());
    ds->SetDayNumber("@dtref", DtRef());
    ds->SetDayNumber("@dtpub", DtPub());
    ds->SetDayNumber("@dtrtf", DtRtf());
    ds->SetDayNumber("@dtrefinformadapelafonte", DtRefFonte());
    ds->SetInteger("@TipoDocumento", TpDoc());
    SetNumberParam(*ds, "@PL", Pl());
    SetNumberParam(*ds, "@TotalPorc", TotalPorc());
    const int code = db::ZiDb().ExecStProc(*ds, 0);
    if (code == 0 && isNew) SetIdPortfolio(ds->ParamAsInteger("@id"));
    return code;
  });
}

int TPortfolio::DeleteItems(TPortfolioContext& context) {
  for (int kind = 0; kind < kPortfolioItemKinds; ++kind) {
    const std::string table(PortfolioKindInfo(kind).table);
    if (const int code = RunSqlText("DELETE FROM " + table + " WHERE IdPortfolio = ?", {IdPortfolio()})) {
      context.inconsistencies.AddError(
          kCleaningFailed, fmt::sprintf("A database exception occurred while cleaning portfolio %d, exception: %s",
                                        IdPortfolio(), db::SqlErrorText(code)));
      return kCleaningFailed;
    }
  }
  return 0;
}

void TPortfolio::TakeParentKeys(TPortfolioItemsBase& items) {
  for (const TPortfolioItemsBase::TItem& item : items.Items()) {
    for (const TPortfolioJsonDefinition& definition : items.Definitions()) {
      if (!Has(definition.Flags, kDefParent) || !item.owner) continue;
      long double value = 0;
      if (item.owner->TryGetNumber(definition.Name, value)) item.object->AddNumber(definition.Name, value);
    }
  }
}

int TPortfolio::WriteCollection(TPortfolioItemsBase& items, TPortfolioContext& context) {
  TakeParentKeys(items);
  const std::string table(PortfolioKindInfo(items.Kind()).table);
  for (const TPortfolioItemsBase::TItem& item : items.Items()) {
    for (const char* zeroless : {"peso", "qtdtit"}) {
      const std::optional<TJsonAttribute> value = item.object->Find(zeroless);
      if (value && value->IsNumber() && value->AsNumber() == 0) item.object->Delete(zeroless);
    }
    std::string columns;
    std::string placeholders;
    std::vector<DbValue> values;
    for (const TPortfolioJsonDefinition& definition : items.Definitions()) {
      if (!Has(definition.Flags, kDefColumn | kDefParent) || item.object->IndexOf(definition.Name) < 0) continue;
      if (!values.empty()) {
        columns += ",";
        placeholders += ",";
      }
      columns += definition.Column;
      placeholders += "?";
      values.push_back(ColumnValue(*item.object, definition));
    }
    const std::string sql = "insert into " + table + " (" + columns + ") values (" + placeholders + ");";
    if (const int code = RunSqlText(sql, std::move(values))) {
      LogaFormat("Error: %d, failed while inserting portfolio item: %s, query: \"%s\", exception: \"%s\"",
                 kInsertFailed, items.ClassName(), sql, db::SqlErrorText(code));
      return kInsertFailed;
    }
  }
  for (int kind : items.ChildKinds()) {
    TPortfolioItemsBase* child = items.Child(kind);
    if (const int code = WriteCollection(*child, context)) {
      const std::string path = KindKey(kind) + "/";
      context.inconsistencies.AddError(code, "An Exception occurred while saving pfItem on db", nullptr, &path);
      return code;
    }
  }
  return 0;
}

int TPortfolio::Write(TPortfolioContext& context) {
  db::TTransactionGuard guard(db::ZiDb());
  if (guard.Code() != 0) return guard.Code();
  int code = WriteHeader();
  if (code == 0) code = DeleteItems(context);
  for (int kind = 0; kind < kPortfolioItemKinds && code == 0; ++kind)
    if (roots_[static_cast<size_t>(kind)]) code = WriteCollection(*roots_[static_cast<size_t>(kind)], context);
  if (code == 0 && !roots_[pikTvm]->Items().empty()) (void)DbPortfolioCheck(IdPortfolio());
  if (code != 0) {
    (void)guard.Rollback();
    return code;
  }
  return guard.Commit();
}

int TPortfolio::Load(int32_t id, TPortfolioContext& context) {
  document_ = TJsonObject::CreateEmpty(true);
  object_ = &document_->AsObject();
  importing_ = false;
  stored_.clear();
  for (int kind = 0; kind < kPortfolioItemKinds; ++kind)
    roots_[static_cast<size_t>(kind)] = kind == pikInquilino ? nullptr : MakePortfolioItems(kind);
  bool found = false;
  int code = 0;
  try {
    db::TDataSetHolder ds(db::ZiDb(), db::CommandType::Text, "SELECT * FROM PORTFOLIO WHERE ID = ?");
    if (!ds) return ds.Failure(kHoldingsCallRaised);
    ds->SetSqlParams({id});
    code = db::ZiDb().OpenSql(*ds);
    if (code != 0) throw std::runtime_error(db::SqlErrorText(code));
    found = !ds->Eof();
    for (const TPortfolioJsonDefinition& definition : PortfolioHeaderDefinitions()) {
      if (!found || definition.Column.empty()) continue;
      const std::string column(definition.Column);
      try {
        if (ds->HasField(column)) SetFromStored(*object_, definition.Name, ds->Field(column));
      } catch (const std::exception& e) {
        context.inconsistencies.AddError(
            kFieldNotReturned, fmt::sprintf("Field: \"%s\" not returned from database (\"%s\")", column, e.what()));
        return kFieldNotReturned;
      }
    }
    ds->Close();
  } catch (const std::exception& e) {
    LogaFormat("Error %d - An exception occurred while get a portfolio by id: %d, exception: %s", kReadHeaderFailed,
               id, std::string(e.what()));
    SetIdPortfolio(0);
    return code != 0 ? code : kReadHeaderFailed;
  }
  if (!found) {
    SetIdPortfolio(0);
    return 0;
  }
  std::vector<TPortfolioItemsBase*> collections;
  for (const auto& root : roots_)
    if (root) root->Collect(collections);
  return GuardedHoldingsCall("PortfolioItemsV2", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "PortfolioItemsV2");
    if (!ds) return ds.Failure(kHoldingsCallRaised);
    ds->SetInteger("@id", id);
    if (const int result = db::ZiDb().ExecStProc(*ds, 2)) return result;
    return ReadMarkedResultSets(*ds, context, [&](const std::string& table, db::TDbCommand& rows) {
      TPortfolioItemsBase* items = nullptr;
      for (TPortfolioItemsBase* c : collections)
        if (SameTextAscii(PortfolioKindInfo(c->Kind()).table, table)) items = c;
      if (!items) return 0;
      for (; !rows.Eof(); rows.Next()) {
        auto item = TJsonObject::CreateEmpty(true);
        if (const int failed = ItemFromRow(rows, items->Definitions(), table, *item, context)) return failed;
        TJsonObject* owner = object_;
        // A tenant belongs to the IRA item of its property.
        if (items->Kind() == pikInquilino) {
          long double property = 0;
          item->TryGetNumber("idimovel", property);
          for (const auto& ira : roots_[pikIra]->Items()) {
            long double held = 0;
            if (ira.object->TryGetNumber("idimovel", held) && held == property) owner = ira.object;
          }
        }
        items->AddStored(*item, owner);
        stored_.push_back(std::move(item));
      }
      return 0;
    });
  });
}

int TPortfolio::Delete(TPortfolioContext& context) {
  db::TTransactionGuard guard(db::ZiDb());
  if (guard.Code() != 0) return guard.Code();
  int code = DeleteItems(context);
  if (code == 0) {
    code = GuardedHoldingsCall("PortfolioDel", [&] {
      db::TDataSetHolder ds(db::ZiDb(), "PortfolioDel");
      if (!ds) return ds.Failure(kHoldingsCallRaised);
      ds->SetInteger("@id", IdPortfolio());
      return db::ZiDb().ExecStProc(*ds, 0);
    });
    if (code != 0) {
      LogaFormat("Error %d - An exception occurred while delete a portfolio with id: %d, exception: %s", kDeleteFailed,
                 IdPortfolio(), db::SqlErrorText(code));
      code = kDeleteFailed;
    }
  }
  if (code != 0) {
    (void)guard.Rollback();
    return code;
  }
  return guard.Commit();
}

int DbPortfolioGetPelaEmpTipoDocDataV2(int32_t emp, int type, TDayNumber dtref, int32_t& id,
                                       TPortfolioContext& context) {
  id = 0;
  return GuardedHoldingsCall("PortfolioGetPelaEmpTipoDocDataV2", [&] {
    db::TDataSetHolder ds(db::ZiDb(), "PortfolioGetPelaEmpTipoDocDataV2");
    if (!ds) return ds.Failure(kHoldingsCallRaised);
    ds->SetInteger("@TipoDocumento", type);
    ds->SetInteger("@emp", emp);
    ds->SetDayNumber("@dtref", dtref);
    if (const int code = db::ZiDb().ExecStProc(*ds, 2)) return code;
    return ReadMarkedResultSets(*ds, context, [&](const std::string& table, db::TDbCommand& rows) {
      if (SameTextAscii(table, "Portfolio") && !rows.Eof() && rows.HasField("id")) id = rows.FieldAsInteger("id");
      return 0;
    });
  });
}

}  // namespace zi
