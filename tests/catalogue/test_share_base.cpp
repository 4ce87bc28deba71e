// The share base: derivation, the parent/children check with its report, loading and saving
// through the embedded server. The seeded class names make the tree Acoes (1) > Ordinarias (2),
// Preferenciais (3) > Preferenciais classe A (4).
#include "catalogue/share_base.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "support/logged_in_database.h"
#include "toolbox/numbers.h"
#include "toolbox/own_codes.h"

namespace zi {
namespace {

using testing::Contains;
using testing::HasSubstr;

constexpr int kAcoes = 1;
constexpr int kOrdinarias = 2;
constexpr int kPreferenciais = 3;
constexpr int kClasseA = 4;

class ShareBaseTest : public test::LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    Sql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'PETR', 0, 'Petro')");
    Sql("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (10, 1, 2, 0, 0), (11, 1, 4, 1, 0)");
  }
  static TDayNumber Day(const char* text) { return *ParseIsoDate(text); }
  // A standalone share base over the company's classes.
  std::unique_ptr<TBaseAcionaria> Base() {
    return std::make_unique<TBaseAcionaria>(1, Day("2024-01-01"), 0, list_.Classes());
  }
  static void Give(TBaseAcionaria& base, int idClass, int slot, double number, uint8_t status = 1) {
    base.Node(idClass, true)->Slot(slot) = {number, status, false};
  }
  static std::string Slot(TBaseAcionaria& base, int idClass, int slot) {
    const TBacSlot& s = base.Node(idClass, false)->Slot(slot);
    return BacNumber(s.number) + "/" + std::to_string(s.status) + (s.conflict ? "!" : "");
  }
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    const std::vector<server::ResultSet> sets = Server().ExecuteSql("SELECT dia || ' ' || idclass || ' ' || coalesce(total, '-') || '/' || "
                                               "stattot || ' ' || coalesce(emtes, '-') || '/' || statem || ' ' || "
                                               "coalesce(extes, '-') || '/' || statex FROM BaseAcionaria "
                                               "ORDER BY dia, idclass");
    for (const auto& row : sets.at(0).rows)
      rows.push_back(row[0].AsText());
    return rows;
  }

  TListaBaseAcionaria list_{1, 0};
};

TEST_F(ShareBaseTest, TheTreeFollowsTheClassNames) {
  const auto base = Base();
  std::vector<int> ids;
  for (const TUmaClasseNaBac* node : base->Nodes()) ids.push_back(node->IdClass());
  EXPECT_THAT(ids, testing::ElementsAre(0, kAcoes, kOrdinarias, kPreferenciais, kClasseA));
  EXPECT_TRUE(base->Node(kOrdinarias, false)->CompanyClass());
  EXPECT_EQ(base->Node(kClasseA, false)->ObjectId(), 11);
  EXPECT_FALSE(base->Node(kAcoes, false)->CompanyClass());
}

TEST_F(ShareBaseTest, DerivationFillsTheSlotRuleAndTheChildrenSums) {
  const auto base = Base();
  // Issued given alone; the child's outstanding goes up to the parent.
  Give(*base, kPreferenciais, kIssued, 1000, 2);
  Give(*base, kClasseA, kOutstanding, 1000, 2);
  // Treasury and outstanding give issued.
  Give(*base, kOrdinarias, kTreasury, 100, 2);
  Give(*base, kOrdinarias, kOutstanding, 900, 2);
  base->Derive();
  EXPECT_EQ(Slot(*base, kPreferenciais, kOutstanding), "1000/5");
  EXPECT_EQ(Slot(*base, kPreferenciais, kTreasury), "0/5");
  EXPECT_EQ(Slot(*base, kOrdinarias, kIssued), "1000/5");
  EXPECT_EQ(Slot(*base, kAcoes, kIssued), "2000/5");
  EXPECT_EQ(Slot(*base, kAcoes, kOutstanding), "1900/5");
}

TEST_F(ShareBaseTest, IssuedZeroGivesZeroEverywhereAndDisagreementsAreConflicts) {
  auto base = Base();
  Give(*base, kOrdinarias, kIssued, 0);
  Give(*base, kClasseA, kIssued, 1000);
  Give(*base, kClasseA, kTreasury, 100);
  Give(*base, kClasseA, kOutstanding, 800);
  base->Derive();
  EXPECT_EQ(Slot(*base, kOrdinarias, kTreasury), "0/5");
  EXPECT_EQ(Slot(*base, kOrdinarias, kOutstanding), "0/5");
  for (const int slot : {kIssued, kTreasury, kOutstanding}) EXPECT_THAT(Slot(*base, kClasseA, slot), testing::EndsWith("!"));

  // A given number that its children's sum disagrees with is in conflict; what they sum is derived.
  base = Base();
  Give(*base, kOrdinarias, kIssued, 1000);
  base->Node(kOrdinarias, false)->AddChild(5);
  Give(*base, 5, kTreasury, 100);
  Give(*base, 5, kOutstanding, 800);
  base->Derive();
  EXPECT_EQ(Slot(*base, 5, kIssued), "900/5");
  EXPECT_EQ(Slot(*base, kOrdinarias, kIssued), "1000/1!");
  EXPECT_EQ(Slot(*base, kOrdinarias, kTreasury), "100/5");
  EXPECT_EQ(Slot(*base, kOrdinarias, kOutstanding), "800/5");

  base = Base();
  Give(*base, kOrdinarias, kIssued, -5);
  base->Derive();
  EXPECT_EQ(Slot(*base, kOrdinarias, kIssued), "-5/1!");
}

TEST_F(ShareBaseTest, AParentWithOneChildHandsItsNumberDown) {
  const auto base = Base();
  Give(*base, kPreferenciais, kIssued, 500);
  base->Derive();
  EXPECT_EQ(Slot(*base, kClasseA, kIssued), "500/1");
  // The parent's number now comes from its child.
  EXPECT_EQ(Slot(*base, kPreferenciais, kIssued), "500/5");
  base->Derive();
  EXPECT_EQ(Slot(*base, kClasseA, kIssued), "500/1");
  EXPECT_EQ(Slot(*base, kPreferenciais, kIssued), "500/5");
}

TEST_F(ShareBaseTest, TheCheckReportsAMissingChildAndAnInconsistentParent) {
  // The first share base's parent says 1000 where its children say 900; the second lacks a child.
  TBaseAcionaria& first = *list_.Find(Day("2024-01-01"), true);
  Give(first, kAcoes, kIssued, 1000);
  Give(first, kOrdinarias, kIssued, 400);
  Give(first, kPreferenciais, kIssued, 500);
  TBaseAcionaria& second = *list_.Find(Day("2024-02-01"), true);
  Give(second, kAcoes, kIssued, 1000);
  Give(second, kOrdinarias, kIssued, 400);
  TBaseAcionaria& third = *list_.Find(Day("2024-03-01"), true);
  Give(third, kOrdinarias, kIssued, 400);
  Give(third, kPreferenciais, kIssued, 600);
  list_.DeriveAll();
  EXPECT_EQ(third.FirstParentNotMatchingChildren(), nullptr);
  EXPECT_EQ(list_.ConsistencyReport(),
            "Petro - " + ShownText(Listas().EnumPais.TextoDoId(0, true)) +
                "\r\n"
                "[emp:1 2024-01-01 src:0] classe:1/" + ShownText(Listas().EnumClasses.TextoDoId(1, true)) +
                " Issued Pai:1000 Filhos:900\r\n"
                "[emp:1 2024-02-01 src:0] classe:1/" + ShownText(Listas().EnumClasses.TextoDoId(1, true)) +
                " Issued Pai:1000 Filhos:-\r\n");
}

TEST_F(ShareBaseTest, ACycleOfClassNamesIsCutAndLogged) {
  Sql("INSERT INTO Classes (id, nome, mae) VALUES (7, 'Sete', 8), (8, 'Oito', 7)");
  LogIn("ana", "pw");
  const auto base = Base();
  ASSERT_NE(base->Node(7, true), nullptr);
  EXPECT_NE(base->Node(8, false), nullptr);
  EXPECT_THAT(Log(), HasSubstr("circular reference de maes"));
}

TEST_F(ShareBaseTest, NumbersAreWrittenWithElevenSignificantDigits) {
  const struct {
    double value;
    const char* text;
  } cases[] = {{1000, "1000"}, {1234567890.5, "1234567890.5"}, {1.0 / 3, "0.33333333333"}, {1e-7, "1E-7"},
               {123456789012, "1.2345678901E+11"}, {-0.5, "-0.5"}, {1e-30, "0"}, {0, "0"}};
  for (const auto& c : cases) EXPECT_EQ(BacNumber(c.value), c.text) << c.value;
  TBacSlots slots{};
  slots[0] = {1000.25, 2, false};
  slots[1] = {kMissing, 0, true};
  EXPECT_EQ(BacSlotDump(slots), "[1000.25/2=NAN/0+0/0]");
}

TEST_F(ShareBaseTest, SavingWritesInOneTransactionAndLoadingConvertsStatuses) {
  TBaseAcionaria& base = *list_.Find(Day("2024-01-01"), true);
  Give(base, kOrdinarias, kIssued, 1000);
  Give(base, kClasseA, kTreasury, 10, 2);
  Give(base, kClasseA, kOutstanding, 90, 2);
  list_.DeriveAll();
  ASSERT_EQ(list_.Save(), 0);
  EXPECT_FALSE(list_.Changed());
  const std::vector<std::string> saved = Rows();
  const std::string day = std::to_string(Day("2024-01-01").value);
  EXPECT_THAT(saved, Contains(day + " 2 1000.0/1 0.0/0 0.0/0"));
  EXPECT_THAT(saved, Contains(day + " 4 100.0/5 10.0/2 90.0/2"));

  // A failed put leaves every row as it was, those the first put would have dropped included.
  TListaBaseAcionaria again(1, 0);
  ASSERT_EQ(again.Load(), 0);
  TBaseAcionaria& loaded = *again.Find(Day("2024-01-01"), false);
  Give(loaded, kOrdinarias, kIssued, 2000);
  loaded.Root().AddChild(99).Slot(kIssued) = {5, 1, false};
  EXPECT_EQ(again.Save(), kAnswerUnknownReference);
  EXPECT_EQ(Rows(), saved);
  EXPECT_TRUE(again.Changed());
  EXPECT_THAT(Log(), HasSubstr("T1CnB.SDb Erro: 99103 empresa 1 2024-01-01 Src:0 classe 99/"));

  // Status 4 loads as 5, status 10 as empty; a number that is not one goes back as NULL, status 0.
  Sql("UPDATE BaseAcionaria SET statem = 4 WHERE idclass = 2");
  Sql("UPDATE BaseAcionaria SET statex = 10, extes = 7 WHERE idclass = 2");
  Sql("UPDATE BaseAcionaria SET emtes = NULL WHERE idclass = 4");
  TListaBaseAcionaria third(1, 0);
  ASSERT_EQ(third.Load(), 0);
  TBaseAcionaria& read = *third.Find(Day("2024-01-01"), false);
  EXPECT_EQ(Slot(read, kOrdinarias, kTreasury), "0/5");
  EXPECT_EQ(Slot(read, kOrdinarias, kOutstanding), "0/0");
  Give(read, kOrdinarias, kIssued, 1500);
  ASSERT_EQ(third.Save(), 0);
  EXPECT_THAT(Rows(), Contains(day + " 4 100.0/5 -/0 90.0/2"));

  // A share base left empty is deleted.
  for (TUmaClasseNaBac* node : read.Nodes()) node->Slots() = TBacSlots{};
  ASSERT_EQ(third.Save(), 0);
  EXPECT_THAT(Rows(), testing::IsEmpty());
}

}  // namespace
}  // namespace zi
