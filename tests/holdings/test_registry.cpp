// The holder registries against the embedded server: the procedures, the document index and the
// id cache, for both twins where the twin decides something.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "holdings/ptf_asset.h"
#include "holdings/shareholder.h"
#include "support/logged_in_database.h"
#include "toolbox/own_codes.h"
#include "toolbox/pool.h"

namespace zi {
namespace {

using testing::ElementsAre;

TEST(HolderKeys, KeepOnlyAsciiLettersAndDigitsUpperCased) {
  const struct {
    const char* text;
    const char* documentKey;
    const char* nameKey;
  } cases[] = {
      {"12.345.678/0001-90", "12345678000190", "12345678000190"},
      {"  Cia. Vale ", "CIAVALE", "CIAVALE"},
      {"CIA VALE", "CIAVALE", "CIAVALE"},
      {"Jos\xE9 d'\xC1vila", "JOSDVILA", "JOSDVILA"},
      {"1234-provis", "1234PROVIS", "1234PROVIS"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DocumentKey(c.text), c.documentKey) << c.text;
    EXPECT_EQ(NameKey(c.text), c.nameKey) << c.text;
  }
}

TEST(HolderAddedList, MatchesDocumentExactlyAndCountryByValue) {
  THolderAddedList list;
  list.Add("ABC1", 9);
  list.Add("ABC1", 9);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_TRUE(list.Contains("ABC1", 9));
  EXPECT_FALSE(list.Contains("abc1", 9));
  EXPECT_FALSE(list.Contains("ABC1", 0));
}

class RegistryTest : public test::LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    TShareholderRegistry::DocIndex().Reset();
    TPtfAssetTvmRegistry::DocIndex().Reset();
    PoolFreeAll();
  }
  void TearDown() override {
    PoolFreeAll();
    TShareholderRegistry::DocIndex().Reset();
    TPtfAssetTvmRegistry::DocIndex().Reset();
    LoggedInDatabase::TearDown();
  }
  static THolderRec Holder(int32_t pais, const std::string& nome, const std::string& doc) {
    THolderRec rec;
    rec.pais = pais;
    rec.nome = nome;
    rec.doc = doc;
    return rec;
  }
  int32_t ShareholderId(const std::string& doc, int32_t pais) {
    THolderRec rec;
    THolderFound found;
    EXPECT_EQ(DbShareholderGetByDocPais(doc, pais, "", true, rec, found), 0) << doc << Log();
    return rec.id;
  }
};

TEST_F(RegistryTest, AddThenFindByDocumentInEitherForm) {
  ASSERT_EQ(DbShareholderAdd(Holder(0, "Fundo Alfa", "12.345.678/0001-90"), true), 0);
  EXPECT_EQ(DbShareholderAdd(Holder(0, "Outro", "12345678000190"), true), kHolderDocumentTaken);
  THolderRec rec;
  THolderFound found;
  ASSERT_EQ(DbShareholderGetByDocPais("12345678000190", 0, "", true, rec, found), 0);
  EXPECT_GT(rec.id, 0);
  EXPECT_EQ(rec.nome, "Fundo Alfa");
  EXPECT_EQ(rec.doc, "12.345.678/0001-90");
  EXPECT_TRUE(found.isMain);
  EXPECT_EQ(DbShareholderGetByDocPais("12345678000190", 9, "", true, rec, found), kHolderNotFound);
  EXPECT_EQ(rec.id, 0);
  EXPECT_EQ(rec.pais, 9);
  // Without cleaning, the text is the identifier itself.
  EXPECT_EQ(DbShareholderGetByDocPais("12.345.678/0001-90", 0, "", false, rec, found), kHolderNotFound);
  // The twin registry is another table.
  EXPECT_EQ(DbPtfAssetTvmGetByDocPais("12345678000190", 0, "", true, rec, found), kHolderNotFound);
}

TEST_F(RegistryTest, PutKeepingAddsANameThatLookupsByThatNameReturn) {
  ASSERT_EQ(DbShareholderAdd(Holder(0, "Fundo Alfa", "111"), true), 0);
  THolderRec rec = Holder(0, "Alfa Fundo de Investimento", "111");
  rec.id = ShareholderId("111", 0);
  ASSERT_EQ(DbShareholderPut(rec, true, false, true), 0);
  THolderRec got;
  THolderFound found;
  ASSERT_EQ(DbShareholderGetByDocPais("111", 0, "ALFA fundo de investimento!", true, got, found), 0);
  EXPECT_EQ(got.nome, "Alfa Fundo de Investimento");
  EXPECT_FALSE(found.isMain);
  EXPECT_EQ(found.mainName, "Fundo Alfa");
  _ArrayOfNomeShareholder names;
  ASSERT_EQ(DbShareholderListNames(rec.id, names), 0);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_TRUE(names[0].VaiProZor);
  // The editor's marks: one name deleted, the other made main.
  names[0].toDelete = true;
  names[1].VaiProZor = true;
  names[1].modified = true;
  EXPECT_EQ(DbShareholderNamesSave(rec.id, names), kAnswerOutOfRange) << "the main name cannot go first";
  std::swap(names[0], names[1]);
  ASSERT_EQ(DbShareholderNamesSave(rec.id, names), 0);
  EXPECT_FALSE(names[0].modified);
  ASSERT_EQ(DbShareholderListNames(rec.id, names), 0);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].nome, "Alfa Fundo de Investimento");
  EXPECT_EQ(DbShareholderListNames(rec.id + 100, names), kAnswerNotFound);
  EXPECT_TRUE(names.empty());
}

TEST_F(RegistryTest, GetReadsEveryDocumentAndDocumentsComeAndGo) {
  ASSERT_EQ(DbPtfAssetTvmAdd(Holder(0, "Debenture X", "BRX-1"), true), 0);
  THolderRec rec;
  THolderFound found;
  ASSERT_EQ(DbPtfAssetTvmGetByDocPais("BRX1", 0, "", true, rec, found), 0);
  THolderRec addDoc = Holder(9, "", "us-77");
  addDoc.id = rec.id;
  ASSERT_EQ(DbPtfAssetTvmAddDoc(addDoc, false), 0);
  EXPECT_EQ(DbPtfAssetTvmAddDoc(addDoc, false), kHolderDocumentTaken);
  THolderRec read;
  ASSERT_EQ(DbPtfAssetTvmGet(rec.id, read), 0);
  EXPECT_TRUE(read.loaded);
  EXPECT_EQ(read.nome, "Debenture X");
  EXPECT_THAT(read.docs, ElementsAre(THolderDoc{0, "BRX1"}, THolderDoc{9, "us-77"}));
  ASSERT_EQ(DbPtfAssetTvmDelDoc("us-77", 9), 0);
  EXPECT_EQ(DbPtfAssetTvmDelDoc("BRX1", 0), kAnswerOutOfRange) << "a holder keeps one document";
  int32_t company = -1, count = -1;
  ASSERT_EQ(DbPtfAssetTvmDel(rec.id, company, count), 0);
  EXPECT_EQ(DbPtfAssetTvmGet(rec.id, read), kAnswerNotFound) << Log();
}

TEST_F(RegistryTest, IndexFindsBothFormsProvisionalDocumentsAndHoldersStoredAfterItWasBuilt) {
  ASSERT_EQ(DbShareholderAdd(Holder(0, "Alfa", "12.345.678/0001-90"), true), 0);
  ASSERT_EQ(DbShareholderAdd(Holder(0, "Provisorio", "1234-PROVIS"), true), 0);
  const int32_t alfa = ShareholderId("12345678000190", 0);
  int32_t id = 0;
  ASSERT_EQ(TShareholderRegistry::FindInIndex("12.345.678/0001-90", 0, true, id), 0);
  EXPECT_EQ(id, alfa);
  EXPECT_TRUE(TShareholderRegistry::DocIndex().Built());
  ASSERT_EQ(TShareholderRegistry::FindInIndex("12345678000190", 0, true, id), 0);
  EXPECT_EQ(id, alfa);
  ASSERT_EQ(TShareholderRegistry::FindInIndex("1234-provis", 0, true, id), 0);
  EXPECT_EQ(id, ShareholderId("1234-PROVIS", 0));
  EXPECT_EQ(TShareholderRegistry::FindInIndex("999", 0, true, id), kHolderNotFound);
  EXPECT_EQ(id, 0);
  // Stored by another client after the index was built: the miss asks the server.
  Sql("INSERT INTO Shareholder (id, pais) VALUES (500, 0)");
  Sql("INSERT INTO ShareholderDoc (IdShareholder, docpais, doc, doc_id) VALUES (500, 0, '999', '999')");
  ASSERT_EQ(TShareholderRegistry::FindInIndex("999", 0, true, id), 0);
  EXPECT_EQ(id, 500);
  const size_t size = TShareholderRegistry::DocIndex().Size();
  Sql("DELETE FROM ShareholderDoc WHERE IdShareholder = 500");
  ASSERT_EQ(TShareholderRegistry::FindInIndex("999", 0, true, id), 0) << "now an entry of the index";
  EXPECT_EQ(TShareholderRegistry::DocIndex().Size(), size);
}

TEST_F(RegistryTest, IndexTakesNoIdZeroAndAnEqualEntryWins) {
  THolderDocIndex index("select docpais, doc_id, IdShareholder from ShareholderDoc order by docpais, doc_id");
  index.Add(7, "A", 0);
  EXPECT_EQ(index.Size(), 0u) << "not built yet";
  int32_t id = 0;
  auto none = [](int32_t&) { return kHolderNotFound; };
  EXPECT_EQ(index.Find("x", 0, id, none), kHolderNotFound);
  index.Add(0, "A", 0);
  index.Add(7, "a.", 0);
  index.Add(8, "A", 0);
  index.Add(9, "A", 1);
  EXPECT_EQ(index.Size(), 2u);
  ASSERT_EQ(index.Find("a", 0, id, none), 0);
  EXPECT_EQ(id, 7);
}

TEST_F(RegistryTest, NameByIdThroughTheCacheAndUnknownIds) {
  ASSERT_EQ(DbShareholderAdd(Holder(0, "Alfa", "1"), true), 0);
  const int32_t id = ShareholderId("1", 0);
  EXPECT_EQ(ShareholderName(id), "Alfa");
  Sql("UPDATE ShareholderNome SET nome = 'Beta'");
  EXPECT_EQ(ShareholderName(id), "Alfa") << "kept in the cache";
  TShareholderRegistry::ForgetName(id);
  EXPECT_EQ(ShareholderName(id), "Beta");
  EXPECT_EQ(ShareholderName(id + 1), "Unknown Shareholder #" + std::to_string(id + 1));
  EXPECT_EQ(PtfAssetTvmName(id), "Unknown PtfAssetTvm #" + std::to_string(id));
}

}  // namespace
}  // namespace zi
