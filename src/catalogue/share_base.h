#pragma once
// The share base: for one company, statement source and date, the shares issued, in treasury and
// outstanding in each class, held in a tree that follows the hierarchy of class names so that a
// parent's numbers are the sums of its children's. The derivation fills what was not given, the
// check compares parents with their children, and the list loads and saves a company's share
// bases for a source.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/objects.h"
#include "toolbox/dates.h"

namespace zi {

inline constexpr int kBacRowOfAnotherCompany = 4144;
inline constexpr int kBacNodeWithoutOwner = 4159;
// Class trees deeper than this are taken for cycles of the class-name hierarchy and cut.
inline constexpr int kMaxClassDepth = 50;

enum TBacSlotIndex { kIssued = 0, kTreasury = 1, kOutstanding = 2 };
inline constexpr int kBacSlots = 3;

struct TBacSlot {
  double number = 0;
  uint8_t status = 0;
  bool conflict = false;
};
using TBacSlots = std::array<TBacSlot, kBacSlots>;

// Statuses 1, 2, 3, 7 and 23 up were given by someone: derivation never overwrites them.
bool IsStrongStatus(uint8_t status);
// Statuses 5, 11 and 13 to 22 were derived.
bool IsDerivedStatus(uint8_t status);
// A value-holding status: 1, 2, 3, 5, 11 or 13 to 22.
bool IsHoldingStatus(uint8_t status);
// A value-holding status, no conflict and a finite number.
bool HoldsValue(const TBacSlot& slot);
// Equal when both are missing, or present and within 1e-8 relative to their mean.
bool SameShares(double a, double b);

// "Issued", "Treasury", "Outstanding" in the session language.
std::string BacSlotLabel(int slot, int lingua);
// "[issued/status=treasury/status+outstanding/status]", numbers with up to 7 decimals.
std::string BacSlotDump(const TBacSlots& slots);
// 11 significant digits, plain for exponents -6 to 10, else with "E" and the exponent; trailing
// zeros dropped; "0" below 1e-28 in magnitude.
std::string BacNumber(double value);

class TBaseAcionaria;

class TUmaClasseNaBac {
 public:
  TUmaClasseNaBac(TBaseAcionaria* owner, int idClass) : owner_(owner), idClass_(idClass) {}

  int IdClass() const { return idClass_; }
  TBaseAcionaria* Owner() const { return owner_; }
  bool CompanyClass() const { return companyClass_; }
  int ObjectId() const { return objectId_; }
  void MarkCompanyClass(int objectId) {
    companyClass_ = true;
    objectId_ = objectId;
  }
  const std::vector<std::unique_ptr<TUmaClasseNaBac>>& Children() const { return children_; }
  TUmaClasseNaBac& AddChild(int idClass);

  TBacSlots& Slots() { return slots_; }
  const TBacSlots& Slots() const { return slots_; }
  TBacSlot& Slot(int i) { return slots_[static_cast<size_t>(i)]; }
  const TBacSlot& Slot(int i) const { return slots_[static_cast<size_t>(i)]; }
  // The slots, but for the conflict flags, differ from those last loaded or saved.
  bool Changed() const;
  void KeepAsLoaded() { loaded_ = slots_; }

 private:
  TBaseAcionaria* owner_;
  int idClass_;
  bool companyClass_ = false;
  int objectId_ = 0;
  std::vector<std::unique_ptr<TUmaClasseNaBac>> children_;
  TBacSlots slots_{};
  TBacSlots loaded_{};
};

class TBaseAcionaria {
 public:
  // The tree holds a node for every class of the company that may carry a share base.
  TBaseAcionaria(int emp, TDayNumber date, int source, const std::vector<tObjAtv>& classes);
  TBaseAcionaria(const TBaseAcionaria&) = delete;
  TBaseAcionaria& operator=(const TBaseAcionaria&) = delete;

  int Emp() const { return emp_; }
  TDayNumber Date() const { return date_; }
  int Source() const { return source_; }
  TUmaClasseNaBac& Root() { return root_; }
  const TUmaClasseNaBac& Root() const { return root_; }

  // The node of a class name; with create, made under the node of the name's parent (made first
  // when needed); nullptr when there is none and create is false.
  TUmaClasseNaBac* Node(int idClass, bool create);
  // Nodes parents first; children in the order they were added, or by class id when sorted.
  std::vector<TUmaClasseNaBac*> Nodes(bool byClassId = false);
  std::vector<const TUmaClasseNaBac*> Nodes(bool byClassId = false) const;

  // Fills what was not given from what was, and marks what disagrees.
  void Derive();
  bool Changed() const;
  void KeepAsLoaded();
  // Empties every slot (status 0, number 0).
  void Clear();
  // Whether a node is written when the share base is saved.
  static bool Written(const TUmaClasseNaBac& node);

  // The first parent whose issued shares differ from its children's sum; nullptr when none does.
  const TUmaClasseNaBac* FirstParentNotMatchingChildren() const;
  // Its children's issued sum; missing when a child holds none.
  static double ChildrenIssued(const TUmaClasseNaBac& node);

 private:
  TUmaClasseNaBac* Find(TUmaClasseNaBac& from, int idClass);
  TUmaClasseNaBac* Create(int idClass, int depth);

  int emp_;
  TDayNumber date_;
  int source_;
  TUmaClasseNaBac root_;
};

class TListaBaseAcionaria {
 public:
  TListaBaseAcionaria(int emp, int source) : emp_(emp), source_(source) {}

  int Emp() const { return emp_; }
  int Source() const { return source_; }
  // Reads the company's share bases of the source, or only that of one date; 0 or the code that
  // stopped it.
  int Load(TDayNumber onlyDate = kNoDate);
  // The share base of a date, made and put in date order when asked and missing; of several of
  // one date the last is taken.
  TBaseAcionaria* Find(TDayNumber date, bool create);
  const std::vector<std::unique_ptr<TBaseAcionaria>>& Bases() const { return bases_; }
  void DeriveAll();
  bool Changed() const;
  // Writes every changed share base in date order, all in one transaction: 0, or the first
  // failure's code with nothing written.
  int Save();
  // What fails the parent/children check, for the first three share bases that fail it; empty
  // when none does.
  std::string ConsistencyReport();
  // The company's classes, read on first need.
  const std::vector<tObjAtv>& Classes();

 private:
  int SaveOne(TBaseAcionaria& base);

  int emp_;
  int source_;
  bool classesRead_ = false;
  std::vector<tObjAtv> classes_;
  std::vector<std::unique_ptr<TBaseAcionaria>> bases_;
};

}  // namespace zi
