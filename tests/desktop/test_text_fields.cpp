// Text fields: Windows-1252 only, a length limit on typing alone, and filling that is no edit.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "desktop/country_badges.h"
#include "desktop/text_fields.h"

namespace zi::desktop {
namespace {

TEST(TextFields, TypingStopsAtTheLimitButAStoredLongerValueIsShownWhole) {
  QLineEdit edit;
  LimitText(&edit, 5);
  QTest::keyClicks(&edit, "abcdefg");
  EXPECT_EQ(edit.text(), "abcde");

  FillText(&edit, "0123456789");
  EXPECT_EQ(TextOf(&edit), "0123456789");
  edit.setCursorPosition(10);
  QTest::keyClick(&edit, Qt::Key_X);
  EXPECT_EQ(edit.text(), "0123456789");
  QTest::keyClick(&edit, Qt::Key_Backspace);
  EXPECT_EQ(edit.text(), "012345678");
  edit.selectAll();
  QTest::keyClicks(&edit, "xy");
  EXPECT_EQ(edit.text(), "xy");
}

TEST(TextFields, CharactersWithoutAWindows1252ByteAreRefused) {
  QLineEdit edit;
  LimitText(&edit);
  // Typed one character at a time, as a keyboard or an input method delivers them.
  for (const QChar c : QString::fromUtf8("Jos\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD ok")) edit.insert(c);
  EXPECT_EQ(edit.text(), QString::fromUtf8("Jos\xC3\xA9 \xE2\x82\xAC  ok"));
  EXPECT_EQ(TextOf(&edit), "Jos\xE9 \x80  ok");
  EXPECT_FALSE(FitsCp1252(QString::fromUtf8("\xF0\x9F\x98\x80")));
}

TEST(TextFields, FillingEmitsNoChange) {
  QLineEdit edit;
  QComboBox combo;
  combo.addItems({"a", "b"});
  QSignalSpy edited(&edit, &QLineEdit::textChanged);
  QSignalSpy picked(&combo, &QComboBox::currentIndexChanged);
  FillText(&edit, "Petr\xF3leo");
  FillIndex(&combo, 1);
  EXPECT_EQ(edited.count(), 0);
  EXPECT_EQ(picked.count(), 0);
  EXPECT_EQ(edit.text(), QString::fromUtf8("Petr\xC3\xB3leo"));
  EXPECT_EQ(combo.currentIndex(), 1);
}

TEST(CountryBadges, EveryIdHasABadgeOfOneSize) {
  for (const int pais : {-1, 0, 9, 79, 80}) {
    EXPECT_EQ(CountryBadge(pais).size(), QSize(kBadgeWidth, kBadgeHeight)) << pais;
  }
  EXPECT_EQ(CountryBadge(9).toImage(), CountryBadge(-1).toImage());
}

}  // namespace
}  // namespace zi::desktop
