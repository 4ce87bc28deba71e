#include "desktop/core/mdi_child_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "desktop_fakes.h"

namespace zi::desktop {
namespace {

// A window of records in rows (mode 2) whose fields are "r<record>f<field>"; it writes down every
// call the framework makes.
class RecordingWindow : public tMdiChildGrid {
 public:
  const char* ClassName() const override { return "tRecordingWindow"; }
  int MdiType() const override { return 9; }

  std::vector<std::string> calls;
  std::set<int> skipped;
  bool leaveAnswer = true;

 protected:
  void EnterRecord(int record) override { calls.push_back("Enter " + std::to_string(record)); }
  bool LeaveRecord() override {
    calls.push_back("Leave");
    return leaveAnswer;
  }
  TFieldEdit GetFieldEdit(int field) override {
    TFieldEdit edit;
    edit.text = "r" + std::to_string(CurRecord()) + "f" + std::to_string(field);
    edit.skip = skipped.count(field) > 0;
    return edit;
  }
  void StoreFieldText(int field, const std::string& text) override {
    if (text == "bad") throw std::runtime_error("not a number");
    calls.push_back("Store " + std::to_string(field) + "=" + text);
  }
};

class GridEditing : public test::DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    window.AttachGrid(&grid);
    window.SetEditMode(tMdiChildGrid::kRecordsInRows);
  }
  // Puts the cursor on a cell and types a text into it.
  void Type(int record, int field, const std::string& text) {
    window.GetEditText(field, record);
    window.SetEditText(field, record, text);
  }

  test::FakeGrid grid;
  RecordingWindow window;
};

struct GoToCase {
  const char* name;
  int record;
  int field;
  bool edited;
  std::vector<std::string> calls;
};

// From record 1, field 1 (entered, its cell edited or not), to another cell.
TEST_F(GridEditing, GoToCellCallsInOrder) {
  const std::vector<GoToCase> cases = {
      {"same cell", 1, 1, true, {}},
      {"same record, untouched cell", 1, 2, false, {}},
      {"same record, edited cell", 1, 2, true, {"Store 1=x"}},
      {"other record, untouched cell", 2, 1, false, {"Enter 2"}},
      {"other record, edited cell", 2, 0, true, {"Store 1=x", "Leave", "Enter 2"}},
  };
  for (const GoToCase& c : cases) {
    window.SetEditMode(tMdiChildGrid::kRecordsInRows);
    window.GetEditText(1, 1);
    if (c.edited) window.SetEditText(1, 1, "x");
    window.calls.clear();
    window.GoToCell(c.record, c.field);
    EXPECT_EQ(window.calls, c.calls) << c.name;
    EXPECT_EQ(window.CurRecord(), c.record) << c.name;
    EXPECT_EQ(window.CurField(), c.field) << c.name;
    EXPECT_EQ(window.EditedText(), c.name == std::string("same cell") ? "x" : "r" + std::to_string(c.record) + "f" + std::to_string(c.field))
        << c.name;
  }
}

TEST_F(GridEditing, LeavingARecordOnlyWhenTheCursorLeavesIt) {
  Type(1, 0, "a");
  Type(1, 1, "b");
  EXPECT_EQ(window.calls, (std::vector<std::string>{"Enter 1", "Store 0=a"}));
  window.calls.clear();
  window.GetEditText(0, 3);
  EXPECT_EQ(window.calls, (std::vector<std::string>{"Store 1=b", "Leave", "Enter 3"}));
  EXPECT_EQ(grid.repaints, 0);
  // A refused record repaints the grid; the cursor still moves.
  Type(3, 0, "c");
  window.leaveAnswer = false;
  window.GetEditText(0, 4);
  EXPECT_EQ(grid.repaints, 1);
  EXPECT_EQ(window.CurRecord(), 4);
}

TEST_F(GridEditing, EnterSkipsFieldsAndStaysOnTheLastOne) {
  window.skipped = {1, 2};
  Type(0, 0, "a");
  EXPECT_TRUE(window.KeyEnter());
  EXPECT_EQ(window.calls.back(), "Store 0=a");
  EXPECT_EQ(grid.movedToCol, -1) << "fields 1 and 2 are skipped and field 3 is not a column";
  grid.cols = 5;
  window.KeyEnter();
  EXPECT_EQ(grid.movedToCol, 3);
  EXPECT_EQ(grid.selectAlls, 1);
  // On the last field Enter commits and stays.
  window.GetEditText(4, 0);
  window.SetEditText(4, 0, "z");
  grid.movedToCol = -1;
  EXPECT_TRUE(window.KeyEnter());
  EXPECT_EQ(grid.movedToCol, -1);
  EXPECT_EQ(window.calls.back(), "Store 4=z");
}

TEST_F(GridEditing, EscapeRestoresTheCellAndSelectsIt) {
  Type(2, 1, "typed");
  EXPECT_TRUE(window.HasDataChanged());
  EXPECT_TRUE(window.HandleShortCut({TKey::Escape, true}));
  EXPECT_EQ(window.EditedText(), "");
  EXPECT_EQ(window.CurField(), -1) << "the editor reopens on fresh data";
  EXPECT_EQ(window.GetEditText(1, 2), "r2f1");
  EXPECT_EQ(grid.selectAlls, 1);
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_EQ(std::count(window.calls.begin(), window.calls.end(), "Store 1=typed"), 0);
}

TEST_F(GridEditing, EscapeWithoutACellOrOutsideTheGrid) {
  EXPECT_TRUE(window.HandleShortCut({TKey::Escape, true})) << "no cell: handled, nothing to restore";
  EXPECT_EQ(grid.selectAlls, 0);
  Type(0, 0, "typed");
  EXPECT_FALSE(window.HandleShortCut({TKey::Escape, false})) << "the focus is on another control";
  EXPECT_EQ(window.EditedText(), "typed");
  EXPECT_FALSE(window.HandleShortCut({TKey::F3, true}));
}

TEST_F(GridEditing, GridWithoutRowsHasNoEditor) {
  EXPECT_TRUE(grid.editorEnabled);
  grid.rows = 0;
  window.SetEditMode(tMdiChildGrid::kRecordsInRows);
  EXPECT_FALSE(grid.editorEnabled);
  window.SetEditMode(tMdiChildGrid::kNoEdit);
  EXPECT_FALSE(window.KeyEnter());
  EXPECT_EQ(window.GetEditText(0, 0), "");
  EXPECT_TRUE(window.calls.empty());
}

TEST_F(GridEditing, SavingCommitsThePendingRecord) {
  Type(1, 2, "v");
  window.SetCurObj({});
  EXPECT_TRUE(window.CommitRecord());
  EXPECT_EQ(window.calls, (std::vector<std::string>{"Enter 1", "Store 2=v", "Leave"}));
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_TRUE(window.CommitRecord()) << "nothing pending";
  EXPECT_EQ(window.calls.size(), 3u);
}

TEST_F(GridEditing, AStoreThatRaisesReachesTheCaller) {
  Type(1, 0, "bad");
  EXPECT_THROW(window.GoToCell(1, 1), std::runtime_error);
  EXPECT_TRUE(window.HasDataChanged());
}

TEST_F(GridEditing, RecordsInColumns) {
  window.SetEditMode(tMdiChildGrid::kRecordsInColumns);
  EXPECT_EQ(window.GetEditText(3, 1), "r3f1") << "column 3 is the record, row 1 the field";
  window.KeyEnter();
  EXPECT_EQ(grid.movedToRow, 2);
}

TEST_F(GridEditing, ALoadFailedWindowHasNoChangesToSaveWhateverIsTyped) {
  window.SetCurObj({});
  window.SetLoadFailed();
  Type(0, 1, "typed");
  Type(1, 1, "more");
  EXPECT_FALSE(window.HasDataChanged());
  EXPECT_TRUE(window.ConfirmClose());
}

}  // namespace
}  // namespace zi::desktop
