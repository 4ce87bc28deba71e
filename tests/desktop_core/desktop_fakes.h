#pragma once
// Recorders for the desktop's controllers: boxes shown, the debug log, and a grid.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/core/mdi_child_grid.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"

namespace zi::test {

// Boxes go to a list; the log (debug lines included) to a file of the test's own.
class DesktopTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    SetDebugLog(true);
    SetErrorBoxHandler([this](const std::string& caption, const std::string& text) { boxes_.push_back(caption + "|" + text); });
  }
  void TearDown() override {
    SetErrorBoxHandler({});
    SetDebugLog(false);
    SetLogFileName("zorinput.log");
  }
  std::string Log() { return ReadFile(dir_.File("zorinput.log")); }

  TempDir dir_;
  std::vector<std::string> boxes_;
};

struct FakeGrid : desktop::tGridView {
  int rows = 5;
  int cols = 3;
  bool editorEnabled = false;
  int movedToRow = -1;
  int movedToCol = -1;
  int selectAlls = 0;
  int repaints = 0;

  int RowCount() const override { return rows; }
  int ColCount() const override { return cols; }
  int FixedRows() const override { return 0; }
  int FixedCols() const override { return 0; }
  void SetEditorEnabled(bool enabled) override { editorEnabled = enabled; }
  bool HasInplaceEditor() const override { return true; }
  void SetEditorLook(uint32_t, bool) override {}
  void PostSelectAll() override { ++selectAlls; }
  void MoveToRow(int row) override { movedToRow = row; }
  void MoveToCol(int col) override { movedToCol = col; }
  void Repaint() override { ++repaints; }
  uint32_t Colour() const override { return desktop::kWhite; }
};

}  // namespace zi::test
