// The property register through the real embedded server: the writes with their documents, the
// search with the server's LIKE, and the JSON types "imovel" and "imoveladddoc".
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "holdings/holdings_database.h"
#include "holdings/real_estate.h"
#include "server/like_pattern.h"

namespace zi {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;

TEST(LikePattern, MatchesAsTheServerDoes) {
  struct Case {
    const char* text;
    const char* pattern;
    bool matches;
  };
  const Case cases[] = {
      {"S\xE3o Paulo", "%s[a\xE1\xE2\xE3\xE4\xE5][o\xF2\xF3\xF4\xF5\xF6]%", true},
      {"S\xC3O PAULO", "%s[a\xE1\xE2\xE3\xE4\xE5][o\xF2\xF3\xF4\xF5\xF6]%", true},  // case folds, accents too
      {"Sao", "%s[a\xE1][o]%", true},
      {"S\xE3o", "sao", false},  // accents count
      {"abc", "a[b-c]c", true},
      {"adc", "a[b-c]c", false},
      {"adc", "a[^b-c]c", true},
      {"abc", "a[^b]c", false},
      {"a[c", "a[c", true},  // a class never closed stands for itself
      {"abc", "a_c", true},
      {"ac", "a_c", false},
      {"xxabyyabzz", "%ab%ab%", true},
      {"abab", "%ab%ab%ab%", false},
      {"", "%", true},
      {"", "_", false},
      {"Rua X", "rua x", true},
  };
  for (const Case& c : cases) EXPECT_EQ(server::MatchesLike(c.text, c.pattern), c.matches) << c.text << " ~ " << c.pattern;
}

TEST(AccentPattern, ReplacesEveryAccentableLetterByItsClass) {
  EXPECT_EQ(AccentPattern("S\xE3o Y!"), "s[a\xE1\xE2\xE3\xE4\xE5][o\xF2\xF3\xF4\xF5\xF6] [y\xFD\xFF]!");
  EXPECT_EQ(AccentPattern("\xC7"), "[c\xE7]");
  EXPECT_EQ(AccentPattern(""), "");
}

class RealEstateTest : public test::HoldingsDatabase {
 protected:
  void SetUp() override {
    HoldingsDatabase::SetUp();
    Sql("INSERT INTO Bairro (id, idcidade, descricao) VALUES (1, 1, 'Pinheiros'), (2, 1, 'Moema'), (3, 2, 'Centro')");
  }
  std::vector<std::string> Properties() {
    return Rows("SELECT id, coalesce(descricao, '-'), endereco, idcidade, coalesce(idbairro, '-'), "
                "coalesce(ocr, '-') FROM Imovel ORDER BY id");
  }
  std::vector<std::string> Documents() { return Rows("SELECT idImovel, doc_id, doc FROM ImovelDoc ORDER BY doc_id"); }
  static TImovelRec Property(uint8_t kind, const std::string& key) {
    TImovelRec record;
    record.key.kind = kind;
    (kind == ikDoc ? record.key.doc : record.key.doc_id) = key;
    record.endereco = "Rua A, 1";
    record.idcidade = 1;
    return record;
  }
};

TEST_F(RealEstateTest, AddWritesTheKeyDocumentAndTheFurtherOnesCleanedAsTheKeyKindSays) {
  TImovelRec byDoc = Property(ikDoc, "12.345-6");
  byDoc.docs = {"mat 77/A"};
  byDoc.idbairro = 2;
  ASSERT_EQ(DbImovelAdd(byDoc), 0);
  TImovelRec byId = Property(ikDocId, "12.345-7");
  byId.descricao = "Torre";
  byId.docs = {"mat 77/B"};
  ASSERT_EQ(DbImovelAdd(byId), 0);
  EXPECT_EQ(byId.key.id, 2);
  EXPECT_THAT(Properties(), ElementsAre("1|-|Rua A, 1|1|2|-", "2|Torre|Rua A, 1|1|-|-"));
  EXPECT_THAT(Documents(), ElementsAre("2|12.345-7|12.345-7", "1|123456|12.345-6", "1|MAT77A|mat 77/A",
                                       "2|mat 77/B|mat 77/B"));
  int32_t id = 0;
  TImovelRec lookup = Property(ikDoc, "123456");
  EXPECT_EQ(DbImovelLookUp(lookup, id), 0);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(DbImovelLookUp(TImovelRec{}, id), kImovelKeyNone);
  TImovelRec none;
  EXPECT_EQ(DbImovelAdd(none), kImovelAddKeyNone);
  TImovelRec byKeyId;
  byKeyId.key.kind = ikId;
  EXPECT_EQ(DbImovelAdd(byKeyId), kImovelAddById);
}

TEST_F(RealEstateTest, AFailingDocumentIsTriedWithTheOthersAndTheWholeWriteIsUndone) {
  TImovelRec first = Property(ikDoc, "111");
  ASSERT_EQ(DbImovelAdd(first), 0);
  TImovelRec second = Property(ikDoc, "222");
  second.docs = {"111", "333"};
  EXPECT_EQ(DbImovelAdd(second), 99106);
  TImovelRec put = Property(ikDoc, "111");
  put.descricao = "changed";
  TImovelRec other = Property(ikDoc, "222x");
  ASSERT_EQ(DbImovelAdd(other), 0);
  put.docs = {"555", "222-X", "666"};
  EXPECT_EQ(DbImovelPut(put), 99106);
  EXPECT_THAT(Properties(), ElementsAre("1|-|Rua A, 1|1|-|-", "2|-|Rua A, 1|1|-|-"));
  EXPECT_THAT(Documents(), ElementsAre("1|111|111", "2|222X|222x"));
  TImovelRec missing = Property(ikDoc, "999");
  EXPECT_EQ(DbImovelPut(missing), kImovelNotFound);
  EXPECT_EQ(missing.key.id, 0);
}

TEST_F(RealEstateTest, SearchFindsEveryCaseAndAccentOfTheWordAndNamesPropertiesFromTheCache) {
  for (const char* name : {"S\xE3o Jo\xE3o", "SAO JOAO", "Sa\xFA" "de"}) {
    TImovelRec record = Property(ikDoc, std::string("D") + std::to_string(Properties().size()));
    record.descricao = name;
    ASSERT_EQ(DbImovelAdd(record), 0);
  }
  std::vector<TImovelListRow> rows;
  ASSERT_EQ(DbImovelList("%" + AccentPattern("sao") + "%", rows), 0);
  std::vector<std::string> found;
  for (const auto& row : rows) found.push_back(row.descricao + "/" + row.doc);
  EXPECT_THAT(found, ElementsAre("SAO JOAO/D1", "S\xE3o Jo\xE3o/D0"));
  ASSERT_EQ(DbImovelList("", rows), 0);
  EXPECT_EQ(rows.size(), 3U);

  EXPECT_EQ(ImovelDescricao(3) + " - " + ImovelEndereco(3), "Sa\xFA" "de - Rua A, 1");
  EXPECT_EQ(ImovelDescricao(99), "Unknown PtfImovel #99");
  TArrayBairroRec neighbourhoods = {{9, "kept"}};
  ASSERT_EQ(DbBairrosDaCidade(1, neighbourhoods), 0);
  ASSERT_EQ(neighbourhoods.size(), 2U);
  EXPECT_EQ(neighbourhoods[0].descricao + "," + neighbourhoods[1].descricao, "Moema,Pinheiros");
}

TEST_F(RealEstateTest, ImovelRecordsInsertUpdateAndRefuseAsTheirKeysAndActionsSay) {
  int result = -1;
  ImportJson(R"([
    {"type":"imovel","action":"insertorupdate","docid":"M-1","endereco":"Rua B","idcidade":2,"docs":["M-2"]},
    {"type":"imovel","action":"insertorupdate","doc":"m-1","descricao":"Novo","endereco":"Rua C","idcidade":2,"idbairro":3},
    {"type":"imovel","action":"insertorupdate","idimovel":1,"doc":"x","endereco":"Rua D","idcidade":1},
    {"type":"imovel","action":"insertonly","idimovel":1,"endereco":"Rua D","idcidade":1},
    {"type":"imovel","action":"insertorupdate","idimovel":7,"endereco":"Rua D","idcidade":1},
    {"type":"imovel","action":"insertorupdate","doc":"N-1","endereco":"Rua E","idcidade":1,"docs":["ok",5]},
    {"type":"imovel","action":"insertorupdate","doc":"N-2","endereco":"Rua F","idcidade":1,"docs":"N-3"},
    {"type":"imovel","action":"updateonly","doc":"N-9","endereco":"Rua G","idcidade":1},
    {"type":"imovel","action":"insertorupdate","doc":"N-8","idcidade":1}
  ])", result);
  EXPECT_THAT(Properties(), ElementsAre("1|-|Rua B|2|-|-", "2|Novo|Rua C|2|3|-", "3|-|Rua F|1|-|-"));
  EXPECT_THAT(Documents(), ElementsAre("1|M-1|M-1", "1|M-2|M-2", "2|M1|m-1", "3|N2|N-2"));
  const std::vector<std::string> log = LogLines();
  EXPECT_THAT(log, Contains("caller:ImportaJsonObject Index:0 imovel 1 incluido"));
  EXPECT_THAT(log, Contains("Error:25317(NC) caller:ImportaJsonObject Index:2 mais de um campo chave (\"1\", \"3\") "
                            "encontrado no objeto json use somente um campo chave"));
  EXPECT_THAT(log, Contains("Error:25320(NC) caller:ImportaJsonObject Index:3 docs.index:1 campo chave n\xC3\xA3o "
                            "pode ser usado para registro novo"));
  EXPECT_THAT(log, Contains("Error:25320(NC) caller:ImportaJsonObject Index:4 docs.index:1 campo chave n\xC3\xA3o "
                            "pode ser usado para registro novo"));
  EXPECT_THAT(log, Contains("Error:25319(NC) caller:ImportaJsonObject Index:5 docs.index:1 type:4"));
  EXPECT_THAT(log, Contains("Error:25324(NC) caller:ImportaJsonObject Index:6 name:\"docs\" type:2"));
  EXPECT_THAT(log, Contains("Error:25323(NC) caller:ImportaJsonObject Index:7 n\xC3\xA3o foi possivel atualizar "
                            "este imovel"));
  EXPECT_EQ(result, kJsonFieldMissing);
}

TEST_F(RealEstateTest, ImovelAddDocAttachesOneDocumentToAnExistingPropertyOnly) {
  TImovelRec record = Property(ikDoc, "A-1");
  ASSERT_EQ(DbImovelAdd(record), 0);
  int result = -1;
  ImportJson(R"([
    {"type":"imoveladddoc","action":"insertorupdate","doc":"a1","newdoc":"b-2"},
    {"type":"imoveladddoc","action":"insertorupdate","idimovel":1,"newdocid":"b-3"},
    {"type":"imoveladddoc","action":"insertorupdate","idimovel":1,"newdoc":"x","newdocid":"y"},
    {"type":"imoveladddoc","action":"insertorupdate","idimovel":1},
    {"type":"imoveladddoc","action":"insertonly","idimovel":1,"newdoc":"z"},
    {"type":"imoveladddoc","action":"insertorupdate","doc":"nothing","newdoc":"w"}
  ])", result);
  EXPECT_THAT(Documents(), ElementsAre("1|A1|A-1", "1|B2|b-2", "1|b-3|b-3"));
  const std::vector<std::string> log = LogLines();
  EXPECT_THAT(log, Contains("caller:ImportaJsonObject Index:0 Novo Doc b-2 incluido no imovel 1"));
  EXPECT_THAT(log, Contains("Error:30210(NC) caller:ImportaJsonObject Index:2 N\xC3\xA3o \xC3\xA9 possivel adicionar "
                            "Doc e Docid ao mesmo tempo. "));
  EXPECT_THAT(log, Contains("Error:30211(NC) caller:ImportaJsonObject Index:3 N\xC3\xA3o foi encontrado o novo doc a "
                            "ser inserido. "));
  EXPECT_THAT(log, Contains("Error:30207(NC) caller:ImportaJsonObject Index:4 S\xC3\xB3 existe a op\xC3\xA7\xC3\xA3o "
                            "insert or update para um Doc. "));
  EXPECT_THAT(log, Contains("Error:25323(NC) caller:ImportaJsonObject Index:5 A chave do imovel n\xC3\xA3o existe. "));
  EXPECT_EQ(result, 25323);
}

}  // namespace
}  // namespace zi
