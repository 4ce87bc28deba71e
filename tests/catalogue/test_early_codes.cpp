// Codes the client settles before asking the server: these run with no connection at all, where any
// call to the server would end the process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "db/connection.h"
#include "support/test_files.h"
#include "toolbox/log.h"

namespace zi {
namespace {

class EarlyCodesTest : public testing::Test {
 protected:
  void SetUp() override {
    db::DestroyZiDb();
    SetLogFileName(dir_.File("zorinput.log"));
  }
  void TearDown() override { SetLogFileName("zorinput.log"); }
  std::vector<std::string> LogTexts() const { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  test::TempDir dir_;
};

TEST_F(EarlyCodesTest, ClassLookupChecksItsInputsInOrder) {
  const struct {
    const char* emp;
    const char* pais;
    const char* classe;
    int code;
  } cases[] = {
      {"-", "0", "ON", 15254},  {"", "0", "ON", 15254},    {"  ", "x", "", 15254},  {"ACME", "80", "ON", 4175},
      {"ACME", "-1", "ON", 4175}, {"ACME", "x", "", 4175}, {"ACME", "1.5", "ON", 4175}, {"ACME", "0", "", 15255},
      {"ACME", "79", "-", 15255},
  };
  for (const auto& c : cases) {
    int idEmp = 7, idAtv = 7, idClass = 7;
    EXPECT_EQ(GetIdAtvV2(c.emp, c.pais, c.classe, true, idEmp, idAtv, idClass), c.code)
        << c.emp << "/" << c.pais << "/" << c.classe;
    EXPECT_EQ(idEmp + idAtv + idClass, 0);
  }
}

TEST_F(EarlyCodesTest, CompanyAndSeriesLookupsRefuseBadNumbers) {
  for (const char* pais : {"80", "-1", "", "BR", "1x"}) {
    int id = 5;
    EXPECT_EQ(GetIdEmp("ACME", pais, id), 4173) << pais;
    EXPECT_EQ(id, 0);
    id = 5;
    EXPECT_EQ(GetIdEmpCached("ACME", pais, id), 4173) << pais;
    EXPECT_EQ(id, 0);
  }
  for (const char* bolsa : {"", "B3", "1.0", "99999999999"}) {
    int id = 5;
    EXPECT_EQ(GetIdAnb("PETR4", bolsa, id), 4177) << bolsa;
    EXPECT_EQ(id, 0);
  }
}

TEST_F(EarlyCodesTest, FormatOfASourceWithoutSlotIs4461) {
  for (int source : {4, 7}) {
    int formato = 9;
    EXPECT_EQ(GetFormatoBalDaEmp(1, source, formato), 4461);
    EXPECT_EQ(formato, 0);
  }
  EXPECT_THAT(LogTexts(), testing::ElementsAre("GFBDE SDB:4 > high:3", "GFBDE SDB:7 > high:3"));
}

TEST_F(EarlyCodesTest, ObjectListLevelAboveCompanyIs15252AndEmptiesTheList) {
  std::vector<tObjHierEx> lista(3);
  EXPECT_EQ(GetObjListDaEmp(3, 1, lista), 15252);
  EXPECT_TRUE(lista.empty());
}

}  // namespace
}  // namespace zi
