#include "catalogue/share_base.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include <fmt/format.h>

#include "session/reference_data.h"
#include "toolbox/log.h"
#include "toolbox/numbers.h"

namespace zi {

namespace {

constexpr uint8_t kDerived = 5;
constexpr uint8_t kTakenOverByChild = 11;
constexpr int kSecondCompanyClassType = 12;
constexpr int kSecondCompanyClassName = 6;
constexpr int kDerivationRounds = 3;
constexpr const char* kShareBaseContext = "[TBA.PCDA:PodeTerBac]";
constexpr const char* kCycleCut = "Warning: TBA class #{} deeper than {} classes: circular reference de maes, hung on the total";

bool Finite(double value) { return std::isfinite(value); }

// Offers a number with a status to a slot: a held value that disagrees is a conflict; a slot that
// is neither strong nor in conflict takes the offer.
void Offer(TBacSlot& slot, double number, uint8_t status) {
  if (HoldsValue(slot) && (number < 0 || !SameShares(number, slot.number))) slot.conflict = true;
  if (IsStrongStatus(slot.status) || slot.conflict) return;
  if (Finite(number)) slot.number = number;
  slot.status = status;
  slot.conflict = IsMissing(number) || number < 0;
}

void Reset(TBacSlot& slot) {
  if (!IsStrongStatus(slot.status)) {
    slot.number = 0;
    slot.status = 0;
  }
  slot.conflict = IsMissing(slot.number) || slot.number < 0;
}

// Issued = treasury + outstanding.
void SlotRule(TUmaClasseNaBac& node, bool checking) {
  TBacSlot& issued = node.Slot(kIssued);
  TBacSlot& treasury = node.Slot(kTreasury);
  TBacSlot& outstanding = node.Slot(kOutstanding);
  const int held = HoldsValue(issued) + HoldsValue(treasury) + HoldsValue(outstanding);
  if (held == 2) {
    if (!HoldsValue(treasury)) {
      Offer(treasury, issued.number - outstanding.number, kDerived);
    } else if (!HoldsValue(outstanding)) {
      Offer(outstanding, issued.number - treasury.number, kDerived);
    } else {
      Offer(issued, treasury.number + outstanding.number, kDerived);
    }
  } else if (HoldsValue(issued) && issued.number == 0) {
    for (TBacSlot& slot : node.Slots()) Offer(slot, 0, kDerived);
  }
  const bool allHeld = HoldsValue(issued) && HoldsValue(treasury) && HoldsValue(outstanding);
  if (!checking || !allHeld || treasury.number + outstanding.number == issued.number) return;
  const bool anyWeak = std::any_of(node.Slots().begin(), node.Slots().end(),
                                   [](const TBacSlot& slot) { return !IsStrongStatus(slot.status); });
  for (TBacSlot& slot : node.Slots())
    if (!anyWeak || !IsStrongStatus(slot.status)) slot.conflict = true;
}

void ChildrenSum(TUmaClasseNaBac& node, int slot) {
  for (const auto& child : node.Children()) ChildrenSum(*child, slot);
  if (node.Children().empty()) return;
  double sum = 0;
  for (const auto& child : node.Children()) {
    if (!HoldsValue(child->Slot(slot))) return;
    sum += child->Slot(slot).number;
  }
  Offer(node.Slot(slot), sum, kDerived);
}

// A parent with one child gives the child what it was given, and lets the child hold it.
void SingleChildRule(TUmaClasseNaBac& node) {
  if (node.Children().size() != 1) return;
  TUmaClasseNaBac& child = *node.Children().front();
  for (int i = 0; i < kBacSlots; ++i) {
    TBacSlot& mine = node.Slot(i);
    if (!HoldsValue(mine) || mine.status < 1 || mine.status > 3) continue;
    TBacSlot& theirs = child.Slot(i);
    if (!HoldsValue(theirs)) Offer(theirs, mine.number, kDerived);
    if (HoldsValue(theirs) && (IsDerivedStatus(theirs.status) || theirs.status == mine.status)) {
      theirs.status = mine.status;
      mine.status = kTakenOverByChild;
    }
  }
}

bool SameBytes(const TBacSlots& a, const TBacSlots& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::memcmp(&a[i].number, &b[i].number, sizeof(double)) != 0 || a[i].status != b[i].status) return false;
  }
  return true;
}

std::string Plain(double value) {
  if (IsMissing(value)) return "NAN";
  std::string text = fmt::format("{:.7f}", value);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text;
}

template <typename Node>
void Walk(Node& node, bool byClassId, std::vector<Node*>& nodes) {
  nodes.push_back(&node);
  std::vector<Node*> children;
  for (const auto& child : node.Children()) children.push_back(child.get());
  if (byClassId) {
    std::stable_sort(children.begin(), children.end(),
                     [](const Node* a, const Node* b) { return a->IdClass() < b->IdClass(); });
  }
  for (Node* child : children) Walk(*child, byClassId, nodes);
}

}  // namespace

bool IsStrongStatus(uint8_t status) { return status == 1 || status == 2 || status == 3 || status == 7 || status >= 23; }

bool IsDerivedStatus(uint8_t status) { return status == 5 || status == 11 || (status >= 13 && status <= 22); }

bool IsHoldingStatus(uint8_t status) {
  return status == 1 || status == 2 || status == 3 || status == 5 || status == 11 || (status >= 13 && status <= 22);
}

bool HoldsValue(const TBacSlot& slot) { return IsHoldingStatus(slot.status) && !slot.conflict && Finite(slot.number); }

bool SameShares(double a, double b) {
  if (IsMissing(a) || IsMissing(b)) return IsMissing(a) && IsMissing(b);
  if (a == b) return true;
  return std::fabs(2 * (b - a)) / (std::fabs(b) + std::fabs(a)) < 1e-8;
}

std::string BacSlotLabel(int slot, int lingua) {
  static const char* const kLabels[kBacSlots][3] = {
      {"Emitidas", "Issued", "Emitidas"},
      {"Tesouraria", "Treasury", "Tesorer\xED" "a"},
      {"Outstanding", "Outstanding", "Outstanding"},
  };
  return kLabels[std::clamp(slot, 0, kBacSlots - 1)][std::clamp(lingua, 0, 2)];
}

std::string BacSlotDump(const TBacSlots& s) {
  return "[" + Plain(s[0].number) + "/" + std::to_string(s[0].status) + "=" + Plain(s[1].number) + "/" +
         std::to_string(s[1].status) + "+" + Plain(s[2].number) + "/" + std::to_string(s[2].status) + "]";
}

std::string BacNumber(double value) {
  if (IsMissing(value)) return "NAN";
  if (std::fabs(value) < 1e-28) return "0";
  const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
  std::string text;
  if (exponent >= -6 && exponent <= 10) {
    text = fmt::format("{:.{}f}", value, std::max(0, 10 - exponent));
    if (text.find('.') != std::string::npos) {
      text.erase(text.find_last_not_of('0') + 1);
      if (text.back() == '.') text.pop_back();
    }
    return text;
  }
  text = fmt::format("{:.10E}", value);
  const size_t e = text.find('E');
  std::string mantissa = text.substr(0, e);
  mantissa.erase(mantissa.find_last_not_of('0') + 1);
  if (mantissa.back() == '.') mantissa.pop_back();
  const int power = std::stoi(text.substr(e + 1));
  return mantissa + "E" + (power < 0 ? "-" : "+") + std::to_string(std::abs(power));
}

TUmaClasseNaBac& TUmaClasseNaBac::AddChild(int idClass) {
  return *children_.emplace_back(std::make_unique<TUmaClasseNaBac>(owner_, idClass));
}

bool TUmaClasseNaBac::Changed() const { return idClass_ != 0 && !SameBytes(slots_, loaded_); }

TBaseAcionaria::TBaseAcionaria(int emp, TDayNumber date, int source, const std::vector<tObjAtv>& classes)
    : emp_(emp), date_(date), source_(source), root_(this, 0) {
  for (const tObjAtv& atv : classes) {
    const bool carries = Listas().EnumTipoObj.TemMarca(atv.tipoobj, kShareBaseContext) ||
                         (atv.tipoobj == kSecondCompanyClassType && atv.idclass == kSecondCompanyClassName);
    if (carries && atv.idclass > 0) Node(atv.idclass, true)->MarkCompanyClass(atv.id);
  }
}

TUmaClasseNaBac* TBaseAcionaria::Find(TUmaClasseNaBac& from, int idClass) {
  if (from.IdClass() == idClass) return &from;
  for (const auto& child : from.Children()) {
    if (TUmaClasseNaBac* found = Find(*child, idClass)) return found;
  }
  return nullptr;
}

TUmaClasseNaBac* TBaseAcionaria::Node(int idClass, bool create) {
  if (TUmaClasseNaBac* found = Find(root_, idClass)) return found;
  return create ? Create(idClass, 0) : nullptr;
}

// Mended: a class-name hierarchy with a cycle would have recursed without end; past the depth
// bound the class hangs on the total.
TUmaClasseNaBac* TBaseAcionaria::Create(int idClass, int depth) {
  int parentId = 0;
  if (depth >= kMaxClassDepth) {
    Loga(fmt::format(kCycleCut, idClass, kMaxClassDepth));
  } else if (const tIntStg* item = Listas().EnumClasses.ItemDoId(idClass)) {
    parentId = item->aux == idClass ? 0 : item->aux;
  }
  TUmaClasseNaBac* parent = &root_;
  if (parentId != 0) {
    parent = Find(root_, parentId);
    if (!parent) parent = Create(parentId, depth + 1);
  }
  // Making the parents of a cycle may have made this very class.
  if (TUmaClasseNaBac* made = Find(root_, idClass)) return made;
  return &parent->AddChild(idClass);
}

std::vector<TUmaClasseNaBac*> TBaseAcionaria::Nodes(bool byClassId) {
  std::vector<TUmaClasseNaBac*> nodes;
  Walk(root_, byClassId, nodes);
  return nodes;
}

std::vector<const TUmaClasseNaBac*> TBaseAcionaria::Nodes(bool byClassId) const {
  std::vector<const TUmaClasseNaBac*> nodes;
  Walk(root_, byClassId, nodes);
  return nodes;
}

void TBaseAcionaria::Derive() {
  const std::vector<TUmaClasseNaBac*> nodes = Nodes();
  for (TUmaClasseNaBac* node : nodes)
    for (TBacSlot& slot : node->Slots()) Reset(slot);
  for (int round = 0; round < kDerivationRounds; ++round) {
    for (TUmaClasseNaBac* node : nodes) SlotRule(*node, false);
    for (const int slot : {kOutstanding, kTreasury, kIssued}) ChildrenSum(root_, slot);
    for (TUmaClasseNaBac* node : nodes) SlotRule(*node, true);
    for (TUmaClasseNaBac* node : nodes) SingleChildRule(*node);
  }
}

bool TBaseAcionaria::Changed() const {
  const std::vector<const TUmaClasseNaBac*> nodes = Nodes();
  return std::any_of(nodes.begin(), nodes.end(), [](const TUmaClasseNaBac* node) { return node->Changed(); });
}

void TBaseAcionaria::KeepAsLoaded() {
  for (TUmaClasseNaBac* node : Nodes()) node->KeepAsLoaded();
}

void TBaseAcionaria::Clear() {
  for (TUmaClasseNaBac* node : Nodes()) node->Slots() = TBacSlots{};
}

bool TBaseAcionaria::Written(const TUmaClasseNaBac& node) {
  if (node.IdClass() == 0) return false;
  bool holding = false;
  bool nonZero = false;
  for (const TBacSlot& slot : node.Slots()) {
    if (!IsHoldingStatus(slot.status)) continue;
    holding = true;
    nonZero = nonZero || slot.number != 0;
  }
  return holding && (node.CompanyClass() || nonZero);
}

double TBaseAcionaria::ChildrenIssued(const TUmaClasseNaBac& node) {
  double sum = 0;
  for (const auto& child : node.Children()) {
    if (!HoldsValue(child->Slot(kIssued))) return kMissing;
    sum += child->Slot(kIssued).number;
  }
  return sum;
}

const TUmaClasseNaBac* TBaseAcionaria::FirstParentNotMatchingChildren() const {
  for (const TUmaClasseNaBac* node : Nodes()) {
    if (node->Children().empty() || node->IdClass() == 0) continue;
    const TBacSlot& issued = node->Slot(kIssued);
    const double children = ChildrenIssued(*node);
    if (!HoldsValue(issued) || IsMissing(children) || !SameShares(issued.number, children)) return node;
  }
  return nullptr;
}

}  // namespace zi
