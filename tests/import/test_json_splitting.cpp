// How JSON documents are split: the SIMD tokeniser for texts it accepts, the plain scanner for the
// others. Whichever splits a text, the document, its reasons and what it writes back are the same.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <random>
#include <string>

#include <fmt/format.h>

#include "import/json_document.h"
#include "support/test_files.h"

namespace zi {
namespace {

std::unique_ptr<TAbstractJson> Parse(std::string text, TJsonSplitting splitting = TJsonSplitting::Tokeniser) {
  return TAbstractJson::CreateFromString(std::move(text), splitting);
}

// Long enough that the tokeniser, and not the plain scanner, splits the texts it is put in.
const std::string kFiller = std::string(R"({"filler":")") + std::string(80, 'f') + R"("})";

std::string Described(TAbstractJson& document);

std::string DescribedValue(const TJsonAttribute& value) {
  std::string out = JsonAttributeTypeName(value.AttributeType());
  switch (value.AttributeType()) {
    case atStringInBuffer:
    case atStringOwned: return out + "(" + std::string(value.AsString()) + ")";
    case atNumber: return out + fmt::format("({})", static_cast<double>(value.AsNumber())) +
                          (std::signbit(value.AsNumber()) ? "-" : "+");
    case atBoolean: return out + (value.AsBoolean() ? "(true)" : "(false)");
    case atInvalid: return out + "(" + value.InvalidReason() + ")";
    case atObject: return out + Described(value.AsObject());
    case atArray: return out + Described(value.AsArray());
    case atNull: break;
  }
  return out;
}

// Everything a reader can see of a document, every value reached, and then its text written back.
std::string Described(TAbstractJson& document) {
  if (!document.InvalidMessage().empty()) return "invalid document: " + document.InvalidMessage();
  std::string out = document.IsArray() ? "[" : "{";
  if (document.IsArray()) {
    TJsonArray& array = document.AsArray();
    for (int i = 0; i < array.Count(); ++i) out += DescribedValue(array.Item(i)) + ";";
  } else {
    TJsonObject& object = document.AsObject();
    for (int i = 0; i < object.Count(); ++i) out += object.NameAt(i) + "=" + DescribedValue(object.Item(i)) + ";";
  }
  return out + (document.IsInvalid() ? "] invalid" : "]");
}

std::string DescribedWhole(std::string text, TJsonSplitting splitting) {
  auto document = Parse(std::move(text), splitting);
  std::string out = Described(*document);
  if (document->InvalidMessage().empty()) out += " written:" + document->AsText();
  return out;
}

void ExpectSameBothWays(const std::string& text) {
  const std::string tokenised = DescribedWhole(text, TJsonSplitting::Tokeniser);
  const std::string scanned = DescribedWhole(text, TJsonSplitting::PlainScanner);
  if (tokenised == scanned) return;
  const size_t from = std::mismatch(tokenised.begin(), tokenised.end(), scanned.begin(), scanned.end()).first - tokenised.begin();
  ADD_FAILURE() << text << "\ntokenised: ..." << tokenised.substr(from > 80 ? from - 80 : 0, 300)
                << "\nscanned:   ..." << scanned.substr(from > 80 ? from - 80 : 0, 300);
}

TEST(JsonSplitting, EdgeCasesSplitAsThePlainScannerSplitsThem) {
  const std::string texts[] = {
      "[1, x, 3]",
      "[1 2]",
      "[1,,2]",
      "[1}",
      "[{\"a\":1} x, 2]",
      "[{\"a\" 1}, 2]",
      "[{\"a\":[1}, 2]",
      "[\"a\"b, 1]",
      "[tru e, nul, fals, true, false, null]",
      "[1] trailing text",
      "[1, 2] foo]",
      "{\"a\":1} {",
      "{\"a\":1,\"a\":2,\"b\":{\"a\":3,\"a\":4}}",
      "[\"\\u00e9\\ud83d\\ude00\", \"\\udc00\", \"\\ud800\", \"\\ud800x\", \"\\u12\", \"\\q\", \"\\/\\b\\f\\n\\r\\t\"]",
      "[\"\x01\", \"tab\there\", \"\xC3\xA9\", \"\xE2\x82\xAC\", \"\xE6\x97\xA5\"]",
      "[\"\xC3\", \"\xED\xA0\x80\", \"\xC0\xAF\", \"\xF4\x90\x80\x80\", \"\xFF\"]",
      "{\"\xC3\":1}",
      "{\"na\\u00efve\":1, \"\\u0000\":2}",
      "[0, -0, -0.0, 01, 1., .5, -, 1e, 1e+, 1E-2, 1e400, 1e5000, -1e-400, 123456789012345678901234567890]",
      "[[], {}, [ ], { }, [[[]]], {\"a\":{}}]",
      "[\n\t1 ,\r\n 2 \n]",
      "{}",
      "[\"open]",
      "{\"a\":1",
      "{a:1}",
  };
  for (const std::string& text : texts) {
    ExpectSameBothWays(text);
    // The same inside a text the tokeniser splits: as a value of a record among others.
    ExpectSameBothWays("[" + kFiller + "," + text + "," + kFiller + "]");
    ExpectSameBothWays("{\"before\":" + kFiller + ",\"value\":" + text + ",\"after\":" + kFiller + "}");
  }
}

// Well-formed records with one byte changed, taken away or put in, anywhere: a text of the kind a
// hand-edited import file is.
TEST(JsonSplitting, DamagedRecordsSplitAsThePlainScannerSplitsThem) {
  const std::string record =
      R"({"action":"insertorupdate","type":"ptfassettvm","doc":"BR1000001","country":55,)"
      R"("name":"Fundo de Investimento N\u00famero 1 \"A\" \\ caf)" "\xC3\xA9" R"(","value":1234.25,)"
      R"("active":true,"none":null,"log":[],"items":[{"k":1},{"k":[2,3]}]})";
  const std::string whole = "[" + record + ",\n" + record + "," + record + "]";
  const std::string alphabet = "{}[],:\"\\ x0-.e\x80\xC3\t";
  std::mt19937 random(20261211);
  for (int round = 0; round < 3000; ++round) {
    std::string text = whole;
    for (int change = 0; change < 1 + round % 3; ++change) {
      const size_t at = random() % text.size();
      switch (random() % 3) {
        case 0: text.erase(at, 1); break;
        case 1: text.insert(at, 1, alphabet[random() % alphabet.size()]); break;
        default: text[at] = alphabet[random() % alphabet.size()];
      }
    }
    ExpectSameBothWays(text);
    if (HasFailure()) return;
  }
}

TEST(JsonSplitting, InvalidUtf8SpoilsOnlyTheValueThatHoldsIt) {
  const std::string text = "[" + kFiller + ",\"ok\",\"bad \xC3(\",\"\xED\xA0\x80\",\"caf\xC3\xA9\"]";
  auto document = Parse(text);
  TJsonArray& array = document->AsArray();
  ASSERT_EQ(array.Count(), 5);
  EXPECT_EQ(array.Item(1).AsString(), "ok");
  EXPECT_EQ(array.Item(2).InvalidReason(), "Invalid value:\"bad \xC3(\"");
  EXPECT_EQ(array.Item(3).InvalidReason(), "Invalid value:\"\xED\xA0\x80\"") << "an encoded surrogate";
  EXPECT_EQ(array.Item(4).AsString(), "caf\xE9");
  EXPECT_EQ(document->AsText(), text) << "the bad strings are written back as they came";
  // In a name the object does not split: its reason is its first 50 characters.
  const std::string object = "{\"n\xC3\":1,\"pad\":\"" + std::string(60, 'p') + "\"}";
  auto named = Parse("[" + kFiller + "," + object + "]");
  EXPECT_EQ(named->AsArray().Item(1).InvalidReason(), object.substr(0, 50));
}

TEST(JsonSplitting, DeepNestingIsAnInvalidValueWhereverItIs) {
  for (const int levels : {kMaxJsonDepth, kMaxJsonDepth + 1, 1500, 100000}) {
    const std::string nested = std::string(static_cast<size_t>(levels), '[') + std::string(static_cast<size_t>(levels), ']');
    const std::string text = "[" + kFiller + "," + nested + "," + kFiller + "]";
    auto document = Parse(text);
    TJsonArray& array = document->AsArray();
    ASSERT_EQ(array.Count(), 3) << levels;
    EXPECT_EQ(array.Item(1).ContainsInvalid(), levels > kMaxJsonDepth) << levels;
    EXPECT_TRUE(array.Item(2).IsObject());
    if (levels <= 1500) ExpectSameBothWays(text);
  }
}

TEST(JsonSplitting, NumbersAreWrittenAsTheProgramWritesTheirValue) {
  // A number read and written back must be the text that adding its value gives.
  std::vector<std::string> texts = {"0", "-0", "0.0", "-0.5", "1.50", "12.5", "1e3", "1E-2", "0.1", "37.45",
                                    "99999999999999999", "100000000000000000", "12345678901234567.8",
                                    "123456789012345678", "0.123456789012345678", "0.0000000000000000123",
                                    "0.00000000000000001", "0.000000000000000001", "1e400", "-1.5e-400",
                                    "123456789012345678901234567890", "9007199254740993", "1.000000000000000001"};
  std::mt19937 random(7);
  for (int i = 0; i < 3000; ++i) {
    std::string digits;
    for (size_t n = 1 + random() % 22; n > 0; --n) digits += static_cast<char>('0' + random() % 10);
    const size_t point = random() % (digits.size() + 1);
    std::string integer = digits.substr(0, point);
    integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size()));
    const std::string fraction = digits.substr(point);
    texts.push_back((random() % 2 ? "-" : "") + (integer.empty() ? "0" : integer) + (fraction.empty() ? "" : "." + fraction));
  }
  for (const std::string& text : texts) {
    auto document = Parse("{\"n\":" + text + "}");
    const TJsonAttribute value = document->AsObject().Item(0);
    ASSERT_TRUE(value.IsNumber()) << text;
    auto made = TJsonObject::CreateEmpty(true);
    made->AddNumber("n", value.AsNumber());
    EXPECT_EQ(document->AsText(), made->AsText()) << text;
    long double library = 0;
    std::from_chars(text.data(), text.data() + text.size(), library);
    EXPECT_EQ(value.AsNumber(), library) << text << ": read as the library reads it";
  }
  auto written = Parse("[1e400, 123456789012345678901234567890, 1.000000000000000001]");
  for (int i = 0; i < written->AsArray().Count(); ++i) written->AsArray().Item(i);
  EXPECT_EQ(written->AsText(), "[1e+400,1.23456789012345679e+29,1]");
}

TEST(JsonSplitting, DuplicateNamesAreKeptAndTheFirstIsFound) {
  const std::string text = "{\"a\":1,\"b\":" + kFiller + ",\"a\":2,\"a\":\"three\"}";
  auto document = Parse(text);
  TJsonObject& object = document->AsObject();
  ASSERT_EQ(object.Count(), 4);
  EXPECT_EQ(object.Find("a")->AsNumber(), 1.0L);
  EXPECT_EQ(object.NameAt(2), "a");
  EXPECT_EQ(object.AsText(), "{\"a\":1,\"b\":" + kFiller + ",\"a\":2,\"a\":\"three\"}");
  object.AddBoolean("a", false);
  EXPECT_EQ(object.AsText(), "{\"b\":" + kFiller + ",\"a\":false}");
}

TEST(JsonSplitting, ATruncatedFileIsInvalidWithItsFirstFiftyCharacters) {
  test::TempDir dir;
  std::string whole = "[";
  for (int i = 0; i < 2000; ++i) whole += (i ? "," : "") + fmt::format(R"({{"doc":"BR{}","value":{}.5,"log":[]}})", i, i);
  whole += "]";
  const std::string path = dir.File("cut.json");
  for (const size_t cut : {whole.size() - 1, whole.size() / 2, size_t{1}, whole.find("BR1999") + 3, whole.find("1999.5") + 5}) {
    test::WriteFile(path, whole.substr(0, cut));
    auto document = TAbstractJson::CreateFromFile(path, false);
    EXPECT_EQ(document->InvalidMessage(), "EInvalidJsonArray " + whole.substr(0, std::min<size_t>(cut, 50))) << cut;
  }
  test::WriteFile(path, "  x" + whole);
  EXPECT_EQ(TAbstractJson::CreateFromFile(path, false)->InvalidMessage(), "Invalid character #120 at position:3");
  test::WriteFile(path, whole);
  EXPECT_EQ(TAbstractJson::CreateFromFile(path, false)->AsArray().Count(), 2000);
}

TEST(JsonSplitting, AFiftyMegabyteStringReadsAndWritesBackWhole) {
  test::TempDir dir;
  const std::string path = dir.File("big.json");
  std::string value;
  value.reserve(50 << 20);
  while (value.size() < (50 << 20)) value += "Fundo de Investimento N\\u00famero \\\"A\\\" caf\xC3\xA9 ";
  test::WriteFile(path, "[{\"name\":\"" + value + "\",\"n\":1}, 2]");
  auto document = TAbstractJson::CreateFromFile(path, false);
  TJsonObject* record = nullptr;
  bool found = false;
  record = document->AsArray().GetObject(0, found);
  ASSERT_TRUE(found);
  const std::string read(record->Find("name")->AsString());
  EXPECT_EQ(read.substr(0, 40), "Fundo de Investimento N\xFAmero \"A\" caf\xE9 Fu");
  document->SaveToFile(path);
  // Compact, the escape of a character that UTF-8 holds written as the character.
  std::string expected;
  for (size_t from = 0, at; from < value.size(); from = at + 6) {
    at = std::min(value.find("\\u00fa", from), value.size());
    expected.append(value, from, at - from);
    if (at < value.size()) expected += "\xC3\xBA";
  }
  EXPECT_TRUE(test::ReadFile(path) == "[{\"name\":\"" + expected + "\",\"n\":1},2]");
  EXPECT_TRUE(Parse(test::ReadFile(path))->AsArray().GetObject(0, found)->Find("name")->AsString() == read);
}

TEST(JsonSplitting, ATextWithoutRoomBehindItIsCopiedOnceAndSplitTheSame) {
  std::string text = "[" + kFiller + ",{\"a\":\"b\"}]";
  text.shrink_to_fit();
  ExpectSameBothWays(text);
  EXPECT_EQ(Parse(text)->AsArray().Count(), 2);
}

TEST(JsonSplitting, AFileIsWrittenInPiecesThatMakeTheWholeText) {
  test::TempDir dir;
  const std::string path = dir.File("records.json");
  std::string text = "[";
  for (int i = 0; i < 80000; ++i) text += (i ? ", " : "") + fmt::format(R"({{"doc":"BR{}","value":{}}})", i, i);
  text += "]";
  test::WriteFile(path, text);
  auto document = TAbstractJson::CreateFromFile(path, false);
  bool found = false;
  document->AsArray().GetObject(79999, found)->AddString("log", "written");
  document->SaveToFile(path);
  EXPECT_GT(document->AsText().size(), size_t{2} << 20) << "more than one piece";
  EXPECT_EQ(test::ReadFile(path), document->AsText());
  EXPECT_THAT(test::ReadFile(path), testing::EndsWith(R"({"doc":"BR79999","value":79999,"log":"written"}])"));
}

}  // namespace
}  // namespace zi
