#pragma once
// The share-base window (kind 10): the current company's shares issued, in treasury and
// outstanding per class, one row per class of the class tree and, for each share-base date, a
// column per slot. Every edit derives the whole list again; a save writes the changed share bases
// in one transaction.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/share_base.h"
#include "desktop/core/mdi_child.h"

namespace zi::desktop {

inline constexpr int kKindShareBase = 10;

inline constexpr const char* kShareBaseTitle = "Number of Shares";
inline constexpr const char* kNewShareBaseCaption = "Create new Number Of Shares info";
inline constexpr const char* kChooseDateCaption = "Choose date";
inline constexpr const char* kP1FCaption = "P1F";
inline constexpr const char* kDecimalsCaption = "Decimal places";
inline constexpr const char* kTotalRow = "Total";
inline constexpr const char* kConsistencyCaption = "PaiBateComFilhos";

// Units of the cells: the divisor of each, in the order the units list shows them.
inline constexpr const char* kUnitCaptions[] = {"Units", "Thousands", "Millions"};
inline constexpr double kUnitDivisors[] = {1, 1000, 1000000};
inline constexpr int kMaxBacDecimals = 4;

inline constexpr uint32_t kBacBlack = 0x000000;
inline constexpr uint32_t kBacPurple = 0x800080;
inline constexpr uint32_t kBacBlue = 0x0000FF;
inline constexpr uint32_t kBacRed = 0xFF0000;
inline constexpr uint32_t kBacDarkRed = 0x800000;

// One row: a class of the tree ("Total" for the company's total), red when the company has no
// class object of it.
struct TBacRow {
  int idClass = 0;
  int level = 0;
  std::string text;
  uint32_t colour = kBacBlack;
};

// One column: a slot of the share base of a date.
struct TBacColumn {
  TDayNumber date;
  int slot = kIssued;
};

struct TBacCell {
  std::string text;
  uint32_t colour = kBacBlack;
  bool operator==(const TBacCell&) const = default;
};

// What an edit of a cell did: taken (and derived), refused with a beep, or undone after the
// derivation failed (its code shown).
enum class TBacEdit { kTaken, kBeep, kFailed };

// What the controller asks of its view beyond the framework's.
class tBacView {
 public:
  virtual ~tBacView() = default;
  // Rows, columns, cells or the choices above the grid changed: draw them again.
  virtual void ShowShareBases() = 0;
};

// What the window uses outside itself.
struct TBacWinHooks {
  // F10: the class table in the administrator's table editor.
  std::function<void()> editClasses;
  // The date typed for a new share base; nullopt when the user cancelled.
  std::function<std::optional<std::string>()> chooseDate;
  // The derivation of every share base of the list; it raises the code of a state it cannot
  // derive (4157).
  std::function<void(TListaBaseAcionaria&)> derive;
};

class TBacWin : public tMdiChild {
 public:
  explicit TBacWin(TBacWinHooks hooks = {});
  const char* ClassName() const override { return "TBacWin"; }
  int MdiType() const override { return kKindShareBase; }
  // F10 the class table, F11 the country report and the parent/children check, F12 the export
  // file: administrators only.
  bool HandleShortCut(const TKeyMessage& message) override;
  bool HasDataChanged() const override;

  void SetBacView(tBacView* view) { view_ = view; }

  const std::vector<TBacRow>& Rows() const { return rows_; }
  const std::vector<TBacColumn>& Columns() const { return columns_; }
  // What a cell shows, painted from what was read.
  TBacCell Cell(int row, int col) const;
  // Only the rows of classes are typed in; the total is the sum of them.
  bool RowEditable(int row) const;
  // An empty cell or "-" empties the slot; a number (× the unit) is stored as typed; anything
  // else, a negative number included, beeps and changes nothing. The text the cell shows is no
  // edit, so the unit's rounding never rewrites a number.
  TBacEdit Edit(int row, int col, const std::string& text);

  // "Create new Number Of Shares info": asks the date through the hook.
  void NewShareBase();
  // A share base for the typed date; a date that is no date or that the list has is refused with
  // a box. True when added.
  bool CreateShareBase(const std::string& dateText);

  // The statement sources the user sees, one button each.
  std::vector<int> SourceButtons() const;
  int Source() const { return source_; }
  // Another source: unsaved edits ask first (saving, dropping or staying). False when it stays.
  bool SetSource(int source);
  int UnitIndex() const { return unit_; }
  void SetUnit(int index);
  int Decimals() const { return decimals_; }
  void SetDecimals(int decimals);
  // Classes with exactly one child are listed when ticked.
  bool P1F() const { return p1f_; }
  void SetP1F(bool listed);
  bool P1FVisible() const;

  // nullptr before the load.
  const TListaBaseAcionaria* List() const { return list_.get(); }

 protected:
  void ObjDataLoad() override;
  void ObjDataUndo() override;
  bool ObjDataSave() override;

 private:
  // 0 or the code that stopped the reading; the rows and columns follow what was read.
  int Read();
  void Derive();
  void Rebuild();
  void Show();
  bool InGrid(int row, int col) const;
  // The node of a cell's class in the share base of its column; made when asked and missing.
  TUmaClasseNaBac* NodeOf(int row, int col, bool create) const;
  // F10, F11 and F12.
  void EditClasses();
  void CountryReport();
  void ExportFile();

  TBacWinHooks hooks_;
  tBacView* view_ = nullptr;
  std::unique_ptr<TListaBaseAcionaria> list_;
  std::vector<TBacRow> rows_;
  std::vector<TBacColumn> columns_;
  int source_ = 0;
  int unit_ = 0;
  int decimals_ = 0;
  bool p1f_ = false;
};

// "#" + the class id in four digits + three blanks per level + " - " + the class name.
std::string BacRowText(int idClass, int level, const std::string& className);
// "Confirm report showing inconsistencies for all companies of <country> saved to file <file> ?"
std::string BacReportQuestion(const std::string& countryName, const std::string& fileName);
// "PaiBateComFilhos Ok:" + Y or N + "\r\n" + the report.
std::string BacConsistencyText(const std::string& report);
// The divisor as the settings keep it: 1.00000000000000E+0003 for thousands.
std::string DivisorSettingText(double divisor);

}  // namespace zi::desktop
