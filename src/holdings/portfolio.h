#pragma once
// A portfolio in its JSON form: the header object and one item collection per root kind, the
// collections owning those of the kinds their items own (the tenants of an IRA item). The JSON
// import fills it from a "portfolio" record, the portfolio windows from the database; both write it
// whole, header and every item, in one transaction.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "holdings/portfolio_definitions.h"
#include "import/json_document.h"
#include "toolbox/dates.h"

namespace zi {

class TRegistraInconsistencia;

inline constexpr int kPortfolioNotFound = 3932;
inline constexpr int kPortfolioImportItemsError = 32046;

// What reading and adding items needs besides the items: where the messages go.
struct TPortfolioContext {
  TRegistraInconsistencia& inconsistencies;
};

class TPortfolioItemsBase {
 public:
  // An item: its object, and the object that owns it (the portfolio's, or an IRA item's).
  struct TItem {
    TJsonObject* object = nullptr;
    TJsonObject* owner = nullptr;
  };

  explicit TPortfolioItemsBase(int kind);
  virtual ~TPortfolioItemsBase();
  TPortfolioItemsBase(const TPortfolioItemsBase&) = delete;
  TPortfolioItemsBase& operator=(const TPortfolioItemsBase&) = delete;

  // Checks an input object against the definitions: 0 or the failed definition's code, registered.
  virtual int Validate(TJsonObject& item, TPortfolioContext& context);
  virtual std::set<int> ChildKinds() const { return {}; }
  virtual bool Mergeable() const { return true; }
  int Kind() const { return kind_; }
  // The text of an item's cell in the windows.
  virtual std::string CellText(int index, bool withName, const TPortfolioJsonDefinition& definition) const;
  TPortfolioJsonDefinitions Definitions() const { return PortfolioItemDefinitions(kind_); }
  const char* ClassName() const;

  // Identifies what the item points to (a security, a property): 0 or the code, registered.
  virtual int Resolve(TJsonObject& item, TPortfolioContext& context);

  // Adds an input object owned by owner: validated, resolved, merged into an item of the same owner
  // and merge keys or appended, then its owned items added the same way. 0 or the first code.
  int AddInput(TJsonObject& object, TJsonObject* owner, TPortfolioContext& context);
  // Adds an item as read from the database, without checks.
  void AddStored(TJsonObject& object, TJsonObject* owner);

  const std::vector<TItem>& Items() const { return items_; }
  TPortfolioItemsBase* Child(int kind) const;
  // Makes the collections of the owned kinds; the factory calls it once the object is complete,
  // since ChildKinds is virtual.
  void CreateChildren();
  // This collection and every collection under it.
  void Collect(std::vector<TPortfolioItemsBase*>& into);

 protected:
  static std::string ItemIdOf(TJsonObject& item);

 private:
  std::string MergeKeyOf(TJsonObject& object, TJsonObject* owner) const;
  void Merge(TJsonObject& into, TJsonObject& from) const;

  int kind_;
  std::vector<TItem> items_;
  std::unordered_map<std::string, size_t> byMergeKey_;
  std::vector<std::unique_ptr<TPortfolioItemsBase>> children_;
};

// The factory of the collections by kind.
std::unique_ptr<TPortfolioItemsBase> MakePortfolioItems(int kind);

class TPortfolio {
 public:
  TPortfolio();
  ~TPortfolio();

  // The header object (the portfolio's own copy).
  TJsonObject& Object() { return *object_; }
  // The root collection of a kind; nullptr for the tenants, which IRA items own.
  TPortfolioItemsBase* Items(int kind) const { return roots_.at(static_cast<size_t>(kind)).get(); }
  bool Importing() const { return importing_; }

  // Checks the record's header and takes a copy of it: 0 or the first code (registered).
  int ReadImport(TJsonObject& record, TPortfolioContext& context);
  // Reads the items of the copy into their collections: 0 or the first code (registered).
  int ReadItems(TPortfolioContext& context);

  // Header getters.
  int32_t IdPortfolio();
  int32_t Emp();
  TDayNumber DtRef();
  TDayNumber DtPub();
  TDayNumber DtRefFonte();  // dtref when absent
  TDayNumber DtRtf();
  int TpDoc();  // 1 when absent, negative or above 7
  double Pl();
  double TotalPorc();
  void SetIdPortfolio(int32_t id);
  void SetEmp(int32_t emp);

  // Writes header and items in one transaction: 0 or the first code (registered).
  int Write(TPortfolioContext& context);
  // Reads a stored portfolio (header and items); an id that reads nothing leaves idportfolio 0.
  int Load(int32_t id, TPortfolioContext& context);
  // Deletes the stored portfolio with its items, in one transaction.
  int Delete(TPortfolioContext& context);

 private:
  int WriteHeader();
  int DeleteItems(TPortfolioContext& context);
  int WriteCollection(TPortfolioItemsBase& items, TPortfolioContext& context);
  void TakeParentKeys(TPortfolioItemsBase& items);

  std::unique_ptr<TAbstractJson> document_;
  TJsonObject* object_ = nullptr;
  bool importing_ = false;
  std::vector<std::unique_ptr<TPortfolioItemsBase>> roots_;  // by kind; kind 2 has none
  std::vector<std::unique_ptr<TJsonObject>> stored_;        // items read from the database
};

// The day of a JSON date text ("YYYY?MM?DD"); nullopt for any other text.
std::optional<TDayNumber> JsonDateDay(std::string_view text);

// The existing portfolio of a company, type and date through the marked result sets: 0 with its
// id, 3932 when there is none, or a code.
int DbPortfolioGetPelaEmpTipoDocDataV2(int32_t emp, int type, TDayNumber dtref, int32_t& id,
                                       TPortfolioContext& context);

// Plugs the "portfolio" record type into the JSON import.
void RegisterPortfolioJsonType();

}  // namespace zi
