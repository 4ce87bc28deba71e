// The conventions every window builds on: the editor loop that writes while the form is open, and
// pooled objects kept out of the pool while in use.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/core/ui_port.h"
#include "desktop_core/desktop_fakes.h"
#include "toolbox/pool.h"

namespace zi::desktop {
namespace {

using EditorLoop = test::DesktopTest;

TEST_F(EditorLoop, AFailedWriteShowsItsBoxAndTheFormAgainUntilAWriteSucceeds) {
  std::vector<int> answers = {3675, 4165, 0};
  int shown = 0;
  const int code = EditUntilSaved([&] { return ++shown <= 5; },
                                  [&](std::string& where) {
                                    where = shown == 1 ? "ObjEmpPut" : "emp upd Indicadores.Save";
                                    return answers.at(static_cast<size_t>(shown - 1));
                                  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(shown, 3);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].substr(0, boxes_[0].find('|')), "SQL error 3675 on ObjEmpPut");
  EXPECT_EQ(boxes_[1].substr(0, boxes_[1].find('|')), "SQL error 4165 on emp upd Indicadores.Save");
}

TEST_F(EditorLoop, CancellingEndsWithTheLastFailureOrNothing) {
  int writes = 0;
  EXPECT_EQ(EditUntilSaved([] { return false; }, [&](std::string&) { return ++writes; }), kEditCancelled);
  EXPECT_EQ(writes, 0);
  int shown = 0;
  EXPECT_EQ(EditUntilSaved([&] { return ++shown == 1; }, [](std::string& where) {
              where = "DbObjAnbAdd";
              return 3681;
            }),
            3681);
  EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(EditorLoop, WithoutAUserInterfaceQuestionsAnswerNo) {
  SetUiPort({});
  EXPECT_FALSE(AskYesNo("Confirm", "Are you sure?"));
  int beeps = 0;
  std::string asked;
  SetUiPort({.beep = [&] { ++beeps; },
             .askYesNo = [&](const std::string& caption, const std::string&, bool noIsDefault) {
               asked = caption + (noIsDefault ? " No" : " Yes");
               return true;
             }});
  Beep();
  EXPECT_TRUE(AskYesNo("Confirm", "?"));
  EXPECT_EQ(asked, "Confirm No");
  EXPECT_EQ(beeps, 1);
  SetUiPort({});
}

struct Picker : TPoolable {
  int uses = 0;
};

TEST(Pooled, AnObjectInUseIsNotHandedOutAgainAndReturnsAfterwards) {
  PoolFreeAll();
  Picker* nestedOne = nullptr;
  {
    TPooled<Picker> picker;
    picker->uses++;
    TPooled<Picker> nested;
    nestedOne = &*nested;
    EXPECT_NE(nestedOne, &*picker);
  }
  // The nested one went back first; the other found its class pooled and was freed.
  TPooled<Picker> again;
  EXPECT_EQ(&*again, nestedOne);
  EXPECT_EQ(again->uses, 0);
  PoolFreeAll();
}

TEST(ScopedValue, PutsTheOldValueBackWhateverEndsTheScope) {
  int country = 9;
  try {
    TScopedValue guard(country, 1);
    EXPECT_EQ(country, 1);
    throw std::runtime_error("picker failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(country, 9);
}

}  // namespace
}  // namespace zi::desktop
