// The share-base window without a screen, on the demo database: PETR's classes Acoes (1) >
// Ordinarias (2), Preferenciais (3), with one share base of 2023-12-31 (Ordinarias and
// Preferenciais imported, Acoes derived).
#include "desktop/core/catalogue/share_base_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/share_base_files.h"
#include "desktop/core/window_kinds.h"
#include "session/session.h"
#include "session/settings.h"
#include "support/demo_database.h"
#include "support/window_settings.h"
#include "toolbox/errors.h"

namespace zi::desktop {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

constexpr int kTotal = 0;
constexpr int kAcoes = 1;
constexpr int kOrdinarias = 2;
constexpr int kPreferenciais = 3;
constexpr int kIssuedCol = 0;
constexpr int kTreasuryCol = 1;
constexpr int kOutstandingCol = 2;
constexpr int kDerivationFailure = 4157;

struct FakeView : tBacView {
  int shows = 0;
  void ShowShareBases() override { ++shows; }
};

class ShareBaseWindow : public test::DemoDatabase {
 protected:
  void TearDown() override {
    window_.reset();
    if (!oldPath_.empty()) std::filesystem::current_path(oldPath_);
    DemoDatabase::TearDown();
  }

  TBacWin& Open(const std::string& cod = "PETR") {
    TBacWinHooks hooks;
    hooks.editClasses = [this] { ++classEdits_; };
    hooks.chooseDate = [this]() -> std::optional<std::string> {
      if (dates_.empty()) return std::nullopt;
      std::string date = dates_.front();
      dates_.pop_front();
      return date;
    };
    hooks.derive = [this](TListaBaseAcionaria& list) {
      list.DeriveAll();
      if (failDerivation_) throw EZorInputException(kDerivationFailure);
    };
    window_ = std::make_unique<TBacWin>(std::move(hooks));
    window_->SetBacView(&view_);
    tObjHierEx object;
    object.EmpId = CompanyId(cod);
    object.EmpPais = 0;
    window_->SetCurObj(object);
    return *window_;
  }
  int RowOf(int idClass) const {
    const std::vector<TBacRow>& rows = window_->Rows();
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].idClass == idClass) return static_cast<int>(i);
    ADD_FAILURE() << "no row of class " << idClass;
    return -1;
  }
  std::string Text(int idClass, int col) const { return window_->Cell(RowOf(idClass), col).text; }
  TBacSlot SlotOf(int idClass, int slot, size_t base = 0) const {
    const TUmaClasseNaBac* node = window_->List()->Bases().at(base)->Node(idClass, false);
    return node ? node->Slot(slot) : TBacSlot{};
  }
  std::string Stored() {
    const std::vector<server::ResultSet> sets = Server().ExecuteSql(
        "SELECT dia || ' ' || idclass || ' ' || coalesce(total, '-') || '/' || stattot || ' ' || "
        "coalesce(emtes, '-') || '/' || statem || ' ' || coalesce(extes, '-') || '/' || statex || ' src' || source "
        "FROM BaseAcionaria ORDER BY source, dia, idclass");
    std::string rows;
    for (const auto& row : sets.at(0).rows) rows += row[0].AsText() + "\n";
    return rows;
  }
  bool ReportWritten() const {
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
      if (entry.path().filename().string().starts_with("ZorInput-report-bac-")) return true;
    return false;
  }
  // Files the window writes go to the test's folder.
  void WorkInTestFolder() {
    oldPath_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.Path());
  }

  test::TWindowSettings settings_;
  FakeView view_;
  std::unique_ptr<TBacWin> window_;
  std::deque<std::string> dates_;
  int classEdits_ = 0;
  bool failDerivation_ = false;
  std::filesystem::path oldPath_;
};

TEST_F(ShareBaseWindow, RowsFollowTheClassTreeAndColumnsTheDates) {
  TBacWin& window = Open();
  std::vector<std::string> texts;
  std::vector<uint32_t> colours;
  for (const TBacRow& row : window.Rows()) {
    texts.push_back(row.text);
    colours.push_back(row.colour);
  }
  EXPECT_THAT(texts, ElementsAre("Total", "#0001 - A\xE7\xF5" "es", "#0002    - Ordin\xE1rias", "#0003    - Preferenciais"));
  // Acoes has no class object of PETR: red.
  EXPECT_THAT(colours, ElementsAre(kBacBlack, kBacRed, kBacBlack, kBacBlack));
  ASSERT_EQ(window.Columns().size(), 3u);
  EXPECT_EQ(FormatIsoDate(window.Columns()[0].date), "2023-12-31");
  EXPECT_EQ(window.Columns()[2].slot, kOutstanding);
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_GT(view_.shows, 0);
}

TEST_F(ShareBaseWindow, CellsShowTheNumberInTheUnitColouredByStatus) {
  TBacWin& window = Open();
  EXPECT_EQ(window.Cell(RowOf(kOrdinarias), kIssuedCol), (TBacCell{"7442454142", kBacBlack}));
  EXPECT_EQ(window.Cell(RowOf(kOrdinarias), kOutstandingCol), (TBacCell{"7442454142", kBacBlue}));
  EXPECT_EQ(window.Cell(RowOf(kAcoes), kIssuedCol), (TBacCell{"13044496930", kBacBlue}));
  EXPECT_EQ(window.Cell(RowOf(kTotal), kIssuedCol), (TBacCell{"13044496930", kBacBlue}));
  window.SetUnit(1);
  window.SetDecimals(2);
  EXPECT_EQ(Text(kOrdinarias, kIssuedCol), "7442454.14");
  window.SetUnit(2);
  window.SetDecimals(0);
  EXPECT_EQ(Text(kOrdinarias, kIssuedCol), "7442");
  EXPECT_EQ(LeReg("DivisorBac"), "1.00000000000000E+0006");
  EXPECT_EQ(LeReg("DecimaisBac"), "0");
}

TEST_F(ShareBaseWindow, UnitAndDecimalsComeFromTheSettings) {
  GravaReg("DivisorBac", "1.00000000000000E+0003");
  GravaReg("DecimaisBac", "3");
  TBacWin& window = Open();
  EXPECT_EQ(window.UnitIndex(), 1);
  EXPECT_EQ(window.Decimals(), 3);
  EXPECT_EQ(Text(kOrdinarias, kIssuedCol), "7442454.142");
  for (const auto& [divisor, decimals] : {std::pair{"999", "5"}, {"x", "-1"}, {"", "2.5"}}) {
    GravaReg("DivisorBac", divisor);
    GravaReg("DecimaisBac", decimals);
    EXPECT_EQ(TBacWin().UnitIndex(), 0) << divisor;
    EXPECT_EQ(TBacWin().Decimals(), 0) << decimals;
  }
}

TEST_F(ShareBaseWindow, ATypedNumberIsStoredAsTypedAndTheListDerivedAgain) {
  TBacWin& window = Open();
  window.SetUnit(1);
  EXPECT_EQ(window.Edit(RowOf(kOrdinarias), kTreasuryCol, "1.5"), TBacEdit::kTaken);
  const TBacSlot treasury = SlotOf(kOrdinarias, kTreasury);
  EXPECT_EQ(treasury.number, 1500);
  EXPECT_EQ(treasury.status, 1);
  EXPECT_EQ(SlotOf(kOrdinarias, kOutstanding).number, 7442454142 - 1500);
  EXPECT_EQ(SlotOf(kAcoes, kTreasury).number, 1500);
  EXPECT_EQ(SlotOf(kAcoes, kTreasury).status, 5);
  EXPECT_TRUE(window.HasDataChanged());
  EXPECT_EQ(window.State(), tMdiChild::kChanged);
  EXPECT_EQ(beeps_, 0);
}

// Mended: a typo emptied the slot.
TEST_F(ShareBaseWindow, ATypoOrANegativeCountBeepsAndChangesNothing) {
  TBacWin& window = Open();
  for (const char* typo : {"12a", "nan", "inf", "0x10", "-5", "1 2", "--"}) {
    EXPECT_EQ(window.Edit(RowOf(kOrdinarias), kIssuedCol, typo), TBacEdit::kBeep) << typo;
    EXPECT_EQ(Text(kOrdinarias, kIssuedCol), "7442454142") << typo;
  }
  EXPECT_EQ(beeps_, 7);
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_EQ(window.State(), tMdiChild::kLoaded);
}

TEST_F(ShareBaseWindow, AnEmptyCellOrADashEmptiesTheSlot) {
  TBacWin& window = Open();
  EXPECT_EQ(window.Edit(RowOf(kOrdinarias), kIssuedCol, "-"), TBacEdit::kTaken);
  EXPECT_EQ(SlotOf(kOrdinarias, kIssued).status, 0);
  EXPECT_EQ(Text(kOrdinarias, kIssuedCol), "-");
  // Nothing left to derive the parent's issued shares from.
  EXPECT_EQ(Text(kAcoes, kIssuedCol), "-");
  EXPECT_EQ(window.Edit(RowOf(kPreferenciais), kIssuedCol, " "), TBacEdit::kTaken);
  EXPECT_EQ(SlotOf(kPreferenciais, kIssued).status, 0);
  EXPECT_TRUE(window.HasDataChanged());
}

TEST_F(ShareBaseWindow, TheShownTextIsNoEdit) {
  TBacWin& window = Open();
  window.SetUnit(1);
  ASSERT_EQ(Text(kOrdinarias, kIssuedCol), "7442454");
  EXPECT_EQ(window.Edit(RowOf(kOrdinarias), kIssuedCol, "7442454"), TBacEdit::kTaken);
  EXPECT_EQ(SlotOf(kOrdinarias, kIssued).number, 7442454142);
  EXPECT_FALSE(window.HasDataChanged());
}

TEST_F(ShareBaseWindow, TheTotalIsNotTyped) {
  TBacWin& window = Open();
  EXPECT_FALSE(window.RowEditable(RowOf(kTotal)));
  EXPECT_EQ(window.Edit(RowOf(kTotal), kIssuedCol, "5"), TBacEdit::kBeep);
  EXPECT_EQ(beeps_, 1);
  EXPECT_FALSE(window.HasDataChanged());
}

// Mended: a derivation that raised left the list half derived.
TEST_F(ShareBaseWindow, ADerivationThatFailsUndoesTheEditAndShowsTheCode) {
  TBacWin& window = Open();
  failDerivation_ = true;
  EXPECT_EQ(window.Edit(RowOf(kOrdinarias), kTreasuryCol, "100"), TBacEdit::kFailed);
  EXPECT_EQ(SlotOf(kOrdinarias, kTreasury).number, 0);
  EXPECT_EQ(SlotOf(kOrdinarias, kTreasury).status, 2);
  EXPECT_EQ(Text(kOrdinarias, kOutstandingCol), "7442454142");
  EXPECT_THAT(BoxCaptions(), ElementsAre("SQL error 4157 on TBacWin.Derive"));
  EXPECT_FALSE(window.HasDataChanged());
}

TEST_F(ShareBaseWindow, ASaveWritesTheChangedShareBases) {
  TBacWin& window = Open();
  ASSERT_EQ(window.Edit(RowOf(kOrdinarias), kTreasuryCol, "1000"), TBacEdit::kTaken);
  settings_.saveAnswer = kMrYes;
  EXPECT_TRUE(window.ConfirmClose());
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_EQ(Stored(),
            "37985 1 13044496930.0/5 1000.0/5 13044495930.0/5 src0\n"
            "37985 2 7442454142.0/2 1000.0/1 7442453142.0/5 src0\n"
            "37985 3 5602042788.0/2 0.0/2 5602042788.0/5 src0\n");
  EXPECT_TRUE(boxes_.empty());
}

// Mended: the share bases are written in one transaction; a failed write leaves the window
// changed with the user's numbers and nothing half written.
TEST_F(ShareBaseWindow, AFailedWriteAtEachStepWritesNothingAndKeepsTheEdits) {
  const std::string before = Stored();
  int failures = 0;
  for (int step = 1;; ++step) {
    boxes_.clear();
    TBacWin& window = Open();
    dates_ = {"31/12/2024"};
    window.NewShareBase();
    ASSERT_EQ(window.Columns().size(), 6u);
    ASSERT_EQ(window.Edit(RowOf(kOrdinarias), kTreasuryCol, "1000"), TBacEdit::kTaken);
    ASSERT_EQ(window.Edit(RowOf(kPreferenciais), 3 + kIssuedCol, "7000"), TBacEdit::kTaken);
    settings_.saveAnswer = kMrYes;
    Driver().InjectFaults({.failCall = step});
    const bool saved = window.ConfirmClose();
    Driver().InjectFaults({});
    if (saved) break;
    ++failures;
    EXPECT_EQ(Stored(), before) << step;
    EXPECT_TRUE(window.HasDataChanged()) << step;
    EXPECT_EQ(Text(kOrdinarias, kTreasuryCol), "1000") << step;
    EXPECT_EQ(window.Cell(RowOf(kPreferenciais), 3 + kIssuedCol), (TBacCell{"7000", kBacBlack})) << step;
    EXPECT_THAT(boxes_.back(), HasSubstr("Error saving data! Resuming edit.")) << step;
    ASSERT_LT(step, 50);
  }
  // The two share bases' puts at least: Acoes, Ordinarias and Preferenciais, then Preferenciais and Acoes.
  EXPECT_GE(failures, 5);
  EXPECT_THAT(Stored(), HasSubstr("38351 3 7000.0/1 0.0/0 0.0/0 src0"));
}

TEST_F(ShareBaseWindow, ANewShareBaseNeedsADateTheListHasNot) {
  TBacWin& window = Open();
  dates_ = {"31/02/2024", "31/12/2023", "30/06/2023"};
  window.NewShareBase();
  window.NewShareBase();
  EXPECT_EQ(window.Columns().size(), 3u);
  EXPECT_EQ(boxes_, (std::vector<std::string>{"Choose date|Invalid date: 31/02/2024",
                                              "Choose date|There is Number Of Shares info on 31/12/2023 already"}));
  window.NewShareBase();
  ASSERT_EQ(window.Columns().size(), 6u);
  EXPECT_EQ(FormatIsoDate(window.Columns()[0].date), "2023-06-30");
  EXPECT_EQ(Text(kOrdinarias, kIssuedCol), "-");
  // Nothing typed in it yet: nothing to save.
  EXPECT_FALSE(window.HasDataChanged());
  window.NewShareBase();
  EXPECT_EQ(window.Columns().size(), 6u);
}

TEST_F(ShareBaseWindow, AChangeOfSourceWithUnsavedEditsAsksFirst) {
  ZiGlobs().SourceDoBal = 0;
  TBacWin& window = Open();
  ASSERT_THAT(window.SourceButtons(), ElementsAre(0, 2));
  ASSERT_EQ(window.Edit(RowOf(kOrdinarias), kTreasuryCol, "1000"), TBacEdit::kTaken);
  settings_.saveAnswer = kMrCancel;
  EXPECT_FALSE(window.SetSource(2));
  EXPECT_EQ(window.Source(), 0);
  EXPECT_EQ(Text(kOrdinarias, kTreasuryCol), "1000");
  settings_.saveAnswer = kMrNo;
  EXPECT_TRUE(window.SetSource(2));
  EXPECT_EQ(settings_.saveQuestions, 2);
  EXPECT_EQ(window.Source(), 2);
  EXPECT_TRUE(window.Columns().empty());
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_EQ(LeReg("SourceBal"), "2");
  EXPECT_EQ(TBacWin().Source(), 2);
  // Without edits the source changes at once.
  EXPECT_TRUE(window.SetSource(0));
  EXPECT_EQ(settings_.saveQuestions, 2);
  EXPECT_EQ(window.Columns().size(), 3u);
}

TEST_F(ShareBaseWindow, F10EditsTheClassTableForAdministrators) {
  TBacWin& window = Open();
  Sql("INSERT INTO ativo (emp, idclass, vote, tipoobj) SELECT id, 4, 1, 0 FROM empresa WHERE cod = 'PETR'");
  EXPECT_TRUE(window.HandleShortCut({TKey::F10}));
  EXPECT_EQ(classEdits_, 1);
  // Read again: Preferenciais classe A is a class of PETR now, listed with P1F only.
  EXPECT_EQ(window.Rows().size(), 4u);
  window.SetP1F(true);
  EXPECT_EQ(window.Rows().size(), 5u);
  EXPECT_EQ(window.Rows().back().text, "#0004       - Preferenciais classe A");
}

TEST_F(ShareBaseWindow, F10WithUnsavedEditsAsksFirst) {
  TBacWin& window = Open();
  ASSERT_EQ(window.Edit(RowOf(kOrdinarias), kTreasuryCol, "1000"), TBacEdit::kTaken);
  EXPECT_TRUE(window.HandleShortCut({TKey::F10}));
  EXPECT_EQ(settings_.saveQuestions, 1);
  EXPECT_EQ(classEdits_, 0);
  EXPECT_EQ(Text(kOrdinarias, kTreasuryCol), "1000");
}

TEST_F(ShareBaseWindow, F11AsksForTheCountryReportThenShowsTheCheck) {
  WorkInTestFolder();
  TBacWin& window = Open();
  EXPECT_TRUE(window.HandleShortCut({TKey::F11}));
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_THAT(questions_[0], HasSubstr("ZorInput|Confirm report showing inconsistencies for all companies of "));
  EXPECT_THAT(questions_[0], HasSubstr(" saved to file ZorInput-report-bac-"));
  EXPECT_THAT(questions_[0], HasSubstr(".txt ?|Yes"));
  EXPECT_THAT(boxes_, ElementsAre("PaiBateComFilhos|PaiBateComFilhos Ok:Y\r\n"));
  EXPECT_FALSE(ReportWritten());
  answer_ = true;
  // The parent's own number against its children's sum.
  ASSERT_EQ(window.Edit(RowOf(kAcoes), kIssuedCol, "1"), TBacEdit::kTaken);
  EXPECT_TRUE(window.HandleShortCut({TKey::F11}));
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_THAT(boxes_[1], HasSubstr("PaiBateComFilhos|PaiBateComFilhos Ok:N\r\n"));
  EXPECT_THAT(boxes_[1], HasSubstr(" src:0] classe:1/A\xE7\xF5" "es Issued Pai:1 Filhos:13044496930\r\n"));
  EXPECT_TRUE(ReportWritten());
}

TEST_F(ShareBaseWindow, F12ExportsTheCompanysFile) {
  WorkInTestFolder();
  TBacWin& window = Open();
  EXPECT_TRUE(window.HandleShortCut({TKey::F12}));
  const std::string file = BacExportFileName(CompanyId("PETR"), 0);
  ASSERT_TRUE(std::filesystem::exists(dir_.File(file)));
  EXPECT_EQ(test::ReadFile(dir_.File(file)),
            "2023-12-31 1 13044496930 5 0 5 13044496930 5\r\n"
            "2023-12-31 2 7442454142 2 0 2 7442454142 5\r\n"
            "2023-12-31 3 5602042788 2 0 2 5602042788 5\r\n");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_THAT(boxes_[0], HasSubstr("Number of Shares|Saved to file /"));
  EXPECT_THAT(Log(), HasSubstr("TBacWin ExportaBac /"));
}

TEST_F(ShareBaseWindow, OthersHaveNoF10ToF12) {
  LogInAsUser(0);
  WorkInTestFolder();
  TBacWin& window = Open();
  for (const TKey key : {TKey::F10, TKey::F11, TKey::F12}) EXPECT_FALSE(window.HandleShortCut({key}));
  EXPECT_EQ(classEdits_, 0);
  EXPECT_TRUE(questions_.empty());
  EXPECT_TRUE(boxes_.empty());
  EXPECT_FALSE(std::filesystem::exists(dir_.File(BacExportFileName(CompanyId("PETR"), 0))));
  EXPECT_FALSE(window.P1FVisible());
  EXPECT_THAT(window.SourceButtons(), ElementsAre(0));
}

TEST_F(ShareBaseWindow, ASingleChildClassIsListedWithP1FOnly) {
  Sql("INSERT INTO BaseAcionaria (emp, dia, source, idclass, total, stattot, emtes, statem, extes, statex) "
      "SELECT id, 37985, 0, 4, 100, 2, 0, 2, 100, 5 FROM empresa WHERE cod = 'PETR'");
  TBacWin& window = Open();
  std::vector<std::string> texts;
  for (const TBacRow& row : window.Rows()) texts.push_back(row.text);
  EXPECT_THAT(texts, ElementsAre("Total", "#0001 - A\xE7\xF5" "es", "#0002    - Ordin\xE1rias",
                                 "#0004       - Preferenciais classe A"));
  window.SetP1F(true);
  EXPECT_EQ(window.Rows().size(), 5u);
  EXPECT_EQ(window.Rows()[3].text, "#0003    - Preferenciais");
  EXPECT_EQ(window.Rows()[4].colour, kBacRed);
  EXPECT_TRUE(window.P1FVisible());
}

TEST_F(ShareBaseWindow, ACompanyWithoutClassesShowsAnEmptyUsableWindow) {
  AddCompany("NOVA", "Nova S.A.");
  TBacWin& window = Open("NOVA");
  ASSERT_EQ(window.Rows().size(), 1u);
  EXPECT_EQ(window.Rows()[0].text, "Total");
  EXPECT_TRUE(window.Columns().empty());
  dates_ = {"31/12/2024"};
  window.NewShareBase();
  EXPECT_EQ(window.Columns().size(), 3u);
  EXPECT_EQ(window.Cell(0, 0).text, "-");
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_TRUE(window.ConfirmClose());
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ShareBaseWindow, AFailedLoadLeavesAnEmptyWindowThatIsNeverSaved) {
  Driver().InjectFaults({.failCall = 1});
  TBacWin& window = Open();
  Driver().InjectFaults({});
  EXPECT_TRUE(window.LoadFailed());
  EXPECT_TRUE(window.Rows().empty());
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(window.Edit(0, 0, "1"), TBacEdit::kBeep);
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_TRUE(window.ConfirmClose());
}

TEST(ShareBaseTexts, GoldenStrings) {
  EXPECT_EQ(BacRowText(7, 2, "Units"), "#0007       - Units");
  EXPECT_EQ(BacRowText(12345, 0, "X"), "#12345 - X");
  EXPECT_EQ(BacReportQuestion("Brasil", "ZorInput-report-bac-Brasil.txt"),
            "Confirm report showing inconsistencies for all companies of Brasil saved to file "
            "ZorInput-report-bac-Brasil.txt ?");
  EXPECT_EQ(BacConsistencyText(""), "PaiBateComFilhos Ok:Y\r\n");
  EXPECT_EQ(BacConsistencyText("x\r\n"), "PaiBateComFilhos Ok:N\r\nx\r\n");
  EXPECT_EQ(DivisorSettingText(1), "1.00000000000000E+0000");
  EXPECT_EQ(DivisorSettingText(1000), "1.00000000000000E+0003");
}

}  // namespace
}  // namespace zi::desktop
