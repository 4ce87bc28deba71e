#pragma once
// A list window's widget of the test's own, without a main window: shown and active over the demo
// database, its list focused as a click on it leaves it.

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "catalogue/objects.h"
#include "main_window_test.h"
#include "support/demo_database.h"

namespace zi::test {

template <typename TView>
class ListViewTest : public DemoDatabase {
 protected:
  void TearDown() override {
    view.reset();
    DemoDatabase::TearDown();
  }
  // The view made by the test, on the object.
  void ShowOn(const tObjHierEx& object) {
    view->Window().SetCurObj(object);
    ASSERT_NO_FATAL_FAILURE(ShowActive(view.get()));
    view->List()->setFocus();
    QApplication::processEvents();
  }

  std::unique_ptr<TView> view;
};

}  // namespace zi::test
