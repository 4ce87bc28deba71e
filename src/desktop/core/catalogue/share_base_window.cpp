#include "desktop/core/catalogue/share_base_window.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include <fmt/format.h>

#include "catalogue/share_base_files.h"
#include "db/sql_errors.h"
#include "desktop/core/ui_port.h"
#include "session/reference_data.h"
#include "session/session.h"
#include "session/settings.h"
#include "toolbox/codec.h"
#include "toolbox/display_formats.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/switches.h"

namespace zi::desktop {

namespace {

constexpr const char* kDivisorSetting = "DivisorBac";
constexpr const char* kDecimalsSetting = "DecimaisBac";
constexpr const char* kSourceSetting = "SourceBal";
constexpr const char* kP1FSwitch = "P1F";
constexpr const char* kReportCaption = "ZorInput";
constexpr int kLastSource = 7;
constexpr int kUnits = static_cast<int>(std::size(kUnitDivisors));

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole number setting, or nothing when it is not one.
std::optional<int> IntegerSetting(const char* name) {
  const std::string text = Trimmed(LeReg(name));
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Exactly 1000 is thousands, exactly 1000000 millions; anything else units.
int UnitOfSetting() {
  const std::string text = Trimmed(LeReg(kDivisorSetting));
  double divisor = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), divisor);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return 0;
  for (int unit = 1; unit < kUnits; ++unit)
    if (divisor == kUnitDivisors[unit]) return unit;
  return 0;
}

int DecimalsOfSetting() {
  const int decimals = IntegerSetting(kDecimalsSetting).value_or(0);
  return decimals >= 0 && decimals <= kMaxBacDecimals ? decimals : 0;
}

int SourceOfSetting() {
  if (!ZiGlobs().IsAdmin && ZiGlobs().SourceDoBal == 0) return 0;
  const int source = IntegerSetting(kSourceSetting).value_or(0);
  return source >= 0 && source <= kLastSource ? source : 0;
}

uint32_t ColourOf(const TBacSlot& slot) {
  if (IsStrongStatus(slot.status)) return slot.conflict ? kBacPurple : kBacBlack;
  if (IsDerivedStatus(slot.status)) return slot.conflict ? kBacRed : kBacBlue;
  return kBacDarkRed;
}

std::string ClassName(int idClass) { return ShownText(Listas().EnumClasses.TextoDoId(idClass, true)); }

// The rows under a node: children by name; a class with exactly one child is left out unless
// listed, its children keeping their places in the tree.
void AddRows(const TUmaClasseNaBac& node, int level, bool listSingleParents, std::vector<TBacRow>& rows) {
  std::vector<std::pair<std::string, const TUmaClasseNaBac*>> children;
  for (const auto& child : node.Children()) children.emplace_back(ClassName(child->IdClass()), child.get());
  std::stable_sort(children.begin(), children.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [name, child] : children) {
    if (child->Children().size() != 1 || listSingleParents)
      rows.push_back({child->IdClass(), level, BacRowText(child->IdClass(), level, name),
                      child->CompanyClass() ? kBacBlack : kBacRed});
    AddRows(*child, level + 1, listSingleParents, rows);
  }
}

std::vector<TBacSlots> SlotsOf(const TListaBaseAcionaria& list) {
  std::vector<TBacSlots> slots;
  for (const auto& base : list.Bases())
    for (const TUmaClasseNaBac* node : std::as_const(*base).Nodes()) slots.push_back(node->Slots());
  return slots;
}

void PutBack(TListaBaseAcionaria& list, const std::vector<TBacSlots>& slots) {
  size_t i = 0;
  for (const auto& base : list.Bases())
    for (TUmaClasseNaBac* node : base->Nodes()) node->Slots() = slots.at(i++);
}

std::string AbsolutePath(const std::string& file) {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::absolute(file, error);
  return PathText(error ? file : path.string());
}

}  // namespace

std::string BacRowText(int idClass, int level, const std::string& className) {
  return fmt::format("#{:04d}", idClass) + std::string(static_cast<size_t>(3 * std::max(0, level)), ' ') + " - " +
         className;
}

std::string BacReportQuestion(const std::string& countryName, const std::string& fileName) {
  return "Confirm report showing inconsistencies for all companies of " + countryName + " saved to file " + fileName +
         " ?";
}

std::string BacConsistencyText(const std::string& report) {
  return std::string("PaiBateComFilhos Ok:") + (report.empty() ? "Y" : "N") + "\r\n" + report;
}

// The runtime's default text of a real number, as the settings have always held it.
std::string DivisorSettingText(double divisor) {
  const std::string text = fmt::format("{:.14E}", divisor);
  const size_t e = text.find('E');
  const int exponent = std::stoi(text.substr(e + 1));
  return text.substr(0, e) + "E" + (exponent < 0 ? "-" : "+") + fmt::format("{:04d}", std::abs(exponent));
}

TBacWin::TBacWin(TBacWinHooks hooks)
    : hooks_(std::move(hooks)),
      source_(SourceOfSetting()),
      unit_(UnitOfSetting()),
      decimals_(DecimalsOfSetting()) {
  if (!hooks_.derive) hooks_.derive = [](TListaBaseAcionaria& list) { list.DeriveAll(); };
}

bool TBacWin::HasDataChanged() const { return !LoadFailed() && list_ && list_->Changed(); }

bool TBacWin::P1FVisible() const { return ZiGlobs().IsAdmin || TemParam(kP1FSwitch); }

std::vector<int> TBacWin::SourceButtons() const { return SourcesVisiveis(); }

void TBacWin::ObjDataLoad() {
  tMdiChild::ObjDataLoad();
  if (const int code = Read()) throw EDBException(code);
}

// Undo reads the stored share bases again; so do a change of source and the class table's edit.
void TBacWin::ObjDataUndo() {
  tMdiChild::ObjDataUndo();
  int code = 0;
  try {
    code = Read();
  } catch (const EDBException& e) {
    code = e.ErrorCode();
  }
  if (code == 0) return;
  SetLoadFailed();
  db::ShowSqlErrorTxt(std::string(ClassName()) + ".ObjDataLoad", code);
}

bool TBacWin::ObjDataSave() {
  tMdiChild::ObjDataSave();
  if (!list_) return true;
  const int code = list_->Save();
  Show();
  if (code == 0) return true;
  db::ShowSqlErrorTxt(std::string(ClassName()) + ".ObjDataSave", code);
  return false;
}

int TBacWin::Read() {
  list_ = std::make_unique<TListaBaseAcionaria>(CurObj().EmpId, source_);
  const int code = list_->Load();
  if (code != 0) {
    list_.reset();
    Rebuild();
    Show();
    return code;
  }
  Derive();
  Rebuild();
  Show();
  return 0;
}

void TBacWin::Derive() { hooks_.derive(*list_); }

// The rows come from the company's classes and every class a share base holds, so that every
// date's numbers have their row.
void TBacWin::Rebuild() {
  rows_.clear();
  columns_.clear();
  if (!list_) return;
  TBaseAcionaria shape(list_->Emp(), kNoDate, source_, list_->Classes());
  for (const auto& base : list_->Bases())
    for (const TUmaClasseNaBac* node : std::as_const(*base).Nodes())
      if (node->IdClass() != 0) shape.Node(node->IdClass(), true);
  rows_.push_back({0, 0, kTotalRow, kBacBlack});
  AddRows(shape.Root(), 0, p1f_, rows_);
  for (const auto& base : list_->Bases())
    for (int slot = 0; slot < kBacSlots; ++slot) columns_.push_back({base->Date(), slot});
}

void TBacWin::Show() {
  if (view_) view_->ShowShareBases();
}

bool TBacWin::InGrid(int row, int col) const {
  return list_ && row >= 0 && col >= 0 && row < static_cast<int>(rows_.size()) &&
         col < static_cast<int>(columns_.size());
}

TUmaClasseNaBac* TBacWin::NodeOf(int row, int col, bool create) const {
  if (!InGrid(row, col)) return nullptr;
  TBaseAcionaria& base = *list_->Bases().at(static_cast<size_t>(col / kBacSlots));
  return base.Node(rows_[static_cast<size_t>(row)].idClass, create);
}

TBacCell TBacWin::Cell(int row, int col) const {
  const TUmaClasseNaBac* node = NodeOf(row, col, false);
  const TBacSlot* slot = node ? &node->Slot(col % kBacSlots) : nullptr;
  if (!slot || slot->status == 0) return {"-", kBacBlack};
  const uint32_t colour = ColourOf(*slot);
  if (colour == kBacDarkRed && slot->number == 0) return {"", colour};
  return {ShownNumber(slot->number, decimals_, false, kUnitDivisors[unit_]), colour};
}

bool TBacWin::RowEditable(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) && rows_[static_cast<size_t>(row)].idClass != 0;
}

TBacEdit TBacWin::Edit(int row, int col, const std::string& text) {
  if (LoadFailed() || !RowEditable(row) || !InGrid(row, col)) {
    Beep();
    return TBacEdit::kBeep;
  }
  if (text == Cell(row, col).text) return TBacEdit::kTaken;
  const std::string typed = Trimmed(text);
  TBacSlot given{};
  if (!typed.empty() && typed != "-") {
    const TTypedNumber number = ParseTypedNumber(typed, kUnitDivisors[unit_]);
    // Mended: a typo emptied the slot; a share count is never negative.
    if (number.kind != TTypedNumber::Number || number.value < 0) {
      Beep();
      return TBacEdit::kBeep;
    }
    given = {number.value, 1, false};
  }
  TUmaClasseNaBac* node = NodeOf(row, col, true);
  const std::vector<TBacSlots> before = SlotsOf(*list_);
  node->Slot(col % kBacSlots) = given;
  int code = 0;
  try {
    Derive();
  } catch (const EDBException& e) {
    code = e.ErrorCode();
  }
  if (code != 0) {
    // Mended: the edit that the derivation cannot take is undone rather than left half derived.
    PutBack(*list_, before);
    Show();
    db::ShowSqlErrorTxt(std::string(ClassName()) + ".Derive", code);
    return TBacEdit::kFailed;
  }
  if (HasDataChanged()) MarkChanged();
  Show();
  return TBacEdit::kTaken;
}

void TBacWin::NewShareBase() {
  if (!list_ || LoadFailed()) {
    Beep();
    return;
  }
  const std::optional<std::string> text = hooks_.chooseDate ? hooks_.chooseDate() : std::nullopt;
  if (text) CreateShareBase(*text);
}

bool TBacWin::CreateShareBase(const std::string& dateText) {
  if (!list_ || LoadFailed()) return false;
  const std::optional<TDayNumber> day = ParseShownDay(Trimmed(dateText));
  if (!day) {
    ShowErrorBox(kChooseDateCaption, "Invalid date: " + dateText);
    return false;
  }
  if (list_->Find(*day, false)) {
    ShowErrorBox(kChooseDateCaption, "There is Number Of Shares info on " + ShownDay(*day) + " already");
    return false;
  }
  list_->Find(*day, true);
  Rebuild();
  Show();
  return true;
}

bool TBacWin::SetSource(int source) {
  if (source == source_ || source < 0 || source > kLastSource) return source == source_;
  if (!ConfirmClose()) {
    Show();
    return false;
  }
  source_ = source;
  GravaReg(kSourceSetting, std::to_string(source_));
  ButUndoClick();
  return true;
}

void TBacWin::SetUnit(int index) {
  unit_ = std::clamp(index, 0, kUnits - 1);
  GravaReg(kDivisorSetting, DivisorSettingText(kUnitDivisors[unit_]));
  Show();
}

void TBacWin::SetDecimals(int decimals) {
  decimals_ = std::clamp(decimals, 0, kMaxBacDecimals);
  GravaReg(kDecimalsSetting, std::to_string(decimals_));
  Show();
}

void TBacWin::SetP1F(bool listed) {
  p1f_ = listed;
  Rebuild();
  Show();
}

bool TBacWin::HandleShortCut(const TKeyMessage& message) {
  if (!ZiGlobs().IsAdmin) return false;
  switch (message.key) {
    case TKey::F10: EditClasses(); return true;
    case TKey::F11: CountryReport(); return true;
    case TKey::F12: ExportFile(); return true;
    default: return false;
  }
}

// The class table's edit may change the tree: unsaved edits ask first, then all is read again.
void TBacWin::EditClasses() {
  if (!ConfirmClose()) return;
  if (hooks_.editClasses) hooks_.editClasses();
  Listas().EnumClasses.Limpa();
  ButUndoClick();
}

void TBacWin::CountryReport() {
  const int country = CurObj().EmpPais;
  const std::string countryName = ShownText(Listas().EnumPais.TextoDoId(country, true));
  const std::string file = BacReportFileName(countryName);
  if (AskYesNo(kReportCaption, BacReportQuestion(countryName, file), false)) {
    int count = 0;
    if (const int code = RelatorioBacDoPais(country, ".", count)) {
      db::ShowSqlErrorTxt(std::string(ClassName()) + ".RelatorioBac", code);
    } else {
      Loga(std::string(ClassName()) + " report " + AbsolutePath(file) + " errors:" + std::to_string(count));
    }
  }
  if (list_) ShowErrorBox(kConsistencyCaption, BacConsistencyText(list_->ConsistencyReport()));
}

// The stored share bases of the company and source, with their statuses.
void TBacWin::ExportFile() {
  bool written = false;
  if (const int code = ExportaBac(CurObj().EmpId, source_, true, ".", written)) {
    db::ShowSqlErrorTxt(std::string(ClassName()) + ".ExportaBac", code);
    return;
  }
  if (!written) {
    ShowErrorBox(kShareBaseTitle, "No Number Of Shares info to export");
    return;
  }
  const std::string path = AbsolutePath(BacExportFileName(CurObj().EmpId, source_));
  Loga(std::string(ClassName()) + " ExportaBac " + path);
  ShowErrorBox(kShareBaseTitle, "Saved to file " + path);
}

}  // namespace zi::desktop
