// The JSON document model: building from text, lazy values, typed and tolerant reads, writing back.
#include "import/json_document.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <random>

#include <nlohmann/json.hpp>

#include "support/child_process.h"
#include "support/test_files.h"
#include "toolbox/codec.h"

namespace zi {
namespace {

using testing::HasSubstr;
using testing::StartsWith;

std::unique_ptr<TAbstractJson> Parse(std::string text) { return TAbstractJson::CreateFromString(std::move(text)); }

TEST(JsonDocument, WhatATextBuilds) {
  struct Case {
    std::string text;
    std::string kind;  // "object", "array" or the invalid document's message
  } cases[] = {
      {"  [1]", "array"},
      {"{}", "object"},
      {"[]", "array"},
      {"", "Empty string"},
      {"    ", "Empty string"},
      {"\r[1]", "Invalid character #13 at position:1"},
      {"\t{}", "Invalid character #9 at position:1"},
      {"\xEF\xBB\xBF[]", "Invalid character #239 at position:1"},
      {"  x", "Invalid character #120 at position:3"},
      {"[1,2", "EInvalidJsonArray [1,2"},
      {"{\"a\":1", "EInvalidJsonObject {\"a\":1"},
      {"[\"open]", "EInvalidJsonArray [\"open]"},
      {"{a:1}", "EInvalidJsonObject {a:1}"},
      {"[1,,2]", "EInvalidJsonArray [1,,2]"},
      {"[1}", "EInvalidJsonArray [1}"},
      {"[1] trailing text", "array"},
  };
  for (const auto& c : cases) {
    const auto document = Parse(c.text);
    const std::string kind = document->IsObject() ? "object" : document->IsArray() ? "array" : document->InvalidMessage();
    EXPECT_EQ(kind, c.kind) << c.text;
  }
  EXPECT_EQ(Parse("[" + std::string(60, '1'))->InvalidMessage(), "EInvalidJsonArray [" + std::string(49, '1'))
      << "a text that does not split is shown by its first 50 characters";
}

TEST(JsonDocument, MembersAreFoundByExactNameAndAddingReplacesEveryOneOfThatName) {
  auto document = Parse(R"({"Type":"a","n":1,"Type":"b"})");
  TJsonObject& object = document->AsObject();
  EXPECT_EQ(object.Find("Type")->AsString(), "a");
  EXPECT_FALSE(object.Find("type").has_value());
  EXPECT_EQ(object.IndexOf("n"), 1);
  EXPECT_EQ(object.AddString("Type", "c"), 1);
  EXPECT_EQ(object.Count(), 2);
  EXPECT_EQ(object.AsText(), R"({"n":1,"Type":"c"})");
  EXPECT_EQ(object.AddNull(""), -1);
  object.AddNumber("missing", std::nanl(""));
  object.AddBoolean("b", true);
  EXPECT_EQ(object.AsText(), R"({"n":1,"Type":"c","missing":null,"b":true})");
  EXPECT_TRUE(object.Delete("Type"));
  EXPECT_FALSE(object.Delete("Type"));
  EXPECT_EQ(object.NameAt(0), "n");
  EXPECT_EQ(object.NameAt(9), "");
}

TEST(JsonDocument, TypedReadsRaiseAndTolerantReadsReportNotFound) {
  auto document = Parse(R"({"s":"12.5","t":"abc","half":2.5,"odd":3.5,"big":1e12,"neg":-2.5,"arr":[1],"w":70000})");
  TJsonObject& object = document->AsObject();
  try {
    (void)object.Find("s")->AsNumber();
    FAIL() << "a string is no number";
  } catch (const EInvalidJsonAttributeType& e) {
    EXPECT_STREQ(e.what(), "Invalid JSON attribute type. Expected type:atNumber. AttributeType:atStringInBuffer");
  }
  EXPECT_THROW((void)TJsonAttribute().AsString(), EInvalidJsonAttributeType);
  EXPECT_FALSE(HasKind(object, "s", jatNumber));
  long double number = 0;
  EXPECT_TRUE(object.TryGetNumber("s", number));
  EXPECT_EQ(number, 12.5L);
  EXPECT_FALSE(object.TryGetNumber("t", number));
  bool found = true;
  EXPECT_EQ(object.GetInteger("half", found), 2);
  EXPECT_EQ(object.GetInteger("odd", found), 4);
  EXPECT_EQ(object.GetInteger("neg", found), -2);
  EXPECT_EQ(object.GetInteger("big", found), 0);
  EXPECT_FALSE(found) << "beyond 32 bits";
  EXPECT_EQ(object.GetWord("w", found), 70000 % 65536);
  EXPECT_EQ(object.GetString("arr", found), "");
  EXPECT_FALSE(found);
  EXPECT_NE(object.GetArray("arr", found), nullptr);
  EXPECT_TRUE(found);
}

TEST(JsonDocument, AValueThatDoesNotDecodeSpoilsOnlyItselfAndIsWrittenBackAsItCame) {
  auto document = Parse("[1, x, 3, \"\xE6\x97\xA5\", 1e5000]");
  TJsonArray& array = document->AsArray();
  ASSERT_EQ(array.Count(), 5);
  EXPECT_TRUE(array.Item(0).IsNumber());
  EXPECT_TRUE(array.Item(1).IsInvalidValue());
  EXPECT_EQ(array.Item(1).InvalidReason(), "Invalid value:x");
  EXPECT_TRUE(array.Item(2).IsNumber());
  EXPECT_TRUE(array.Item(3).IsInvalidValue()) << "a character that Windows-1252 cannot hold";
  EXPECT_EQ(array.Item(4).InvalidReason(), "Invalid value:1e5000") << "an overflow is no number";
  EXPECT_TRUE(array.IsInvalid());
  EXPECT_EQ(array.AsText(), "[1,x,3,\"\xE6\x97\xA5\",1e5000]");
}

TEST(JsonDocument, ValuesStayWhereTheyAreWhileTheirDocumentChanges) {
  auto document = Parse(R"({"keep":"caf\u00e9 \"x\"","n":1.5,"child":{"items":[1,"two",{"three":3}]},"gone":"soon"})");
  TJsonObject& object = document->AsObject();
  const TJsonAttribute keep = object.Item(object.IndexOf("keep"));
  const TJsonAttribute number = *object.Find("n");
  const TJsonAttribute gone = *object.Find("gone");
  TJsonObject& child = object.Find("child")->AsObject();
  TJsonArray& items = child.Find("items")->AsArray();
  const TJsonAttribute second = items.Item(1);
  const TJsonAttribute third = items.Item(2);
  const TJsonAttribute added = object.Item(object.AddString("added", "first"));
  ASSERT_TRUE(object.Delete("gone"));
  for (int i = 0; i < 2000; ++i) {
    const std::string name = "m" + std::to_string(i);
    object.AddString(name, std::string(40, static_cast<char>('a' + i % 26)));
    object.AddNumber(name + "n", i);
    object.AddObject(name + "o", TJsonObject::CreateEmpty(true));
    if (i % 3 == 0) object.Delete("m" + std::to_string(i / 2));
    if (i % 5 == 0) object.DeleteAt(object.IndexOf(name + "o"));
    items.AddObject(TJsonObject::CreateEmpty(true));
    if (i % 2 == 0) items.DeleteAt(items.Count() - 1);
    child.AddBoolean("flag", i % 2 == 0);
  }
  EXPECT_EQ(keep.AsString(), "caf\xE9 \"x\"");
  EXPECT_EQ(number.AsNumber(), 1.5L);
  EXPECT_EQ(second.AsString(), "two");
  EXPECT_EQ(third.AsObject().Find("three")->AsNumber(), 3);
  EXPECT_EQ(added.AsString(), "first");
  EXPECT_TRUE(gone.IsNull()) << "a removed value reads as null, not as freed memory";
  EXPECT_EQ(items.Count(), 1003);
  EXPECT_EQ(child.Find("flag")->AsBoolean(), false);
  const std::string text = document->AsText();
  EXPECT_THAT(text, StartsWith(R"({"keep":"café \"x\"","n":1.5,"child":{"items":[1,"two",{"three":3},{},)"));
  EXPECT_EQ(Parse(text)->AsObject().Count(), object.Count());
}

TEST(JsonDocument, AnExtractedValueOutlivesTheDocumentItCameFrom) {
  std::unique_ptr<TAbstractJson> kept;
  {
    auto document = Parse(R"({"a":{"name":"x\u00e9","list":[1,2]},"b":2})");
    TJsonObject& object = document->AsObject();
    ASSERT_TRUE(object.Find("a")->IsObject());
    ASSERT_TRUE(object.Extract("a", &kept));
    EXPECT_EQ(object.AsText(), R"({"b":2})");
  }
  TJsonObject& extracted = kept->AsObject();
  EXPECT_EQ(extracted.Find("name")->AsString(), "x\xE9");
  EXPECT_EQ(kept->AsText(), "{\"name\":\"x\xC3\xA9\",\"list\":[1,2]}");
}

TEST(JsonDocument, UnchangedMembersAreWrittenAsTheyCameAndChangedOnesCompact) {
  const std::string text = R"({"a":"x","b":1.25,"c":null,"d" : true,"e":"caf\u00e9","f":[1, 2],"g":false,"":"empty"})";
  auto document = Parse(text);
  TJsonObject& object = document->AsObject();
  for (int i = 0; i < object.Count(); ++i) (void)object.Item(i);
  EXPECT_EQ(object.AsText(), "{\"a\":\"x\",\"b\":1.25,\"c\":null,\"d\":true,\"e\":\"caf\xC3\xA9\",\"f\":[1, 2],\"g\":false,\"\":\"empty\"}");
  object.AddNumber("b", 2);
  object.Delete("g");
  EXPECT_EQ(object.AsText(), "{\"a\":\"x\",\"c\":null,\"d\":true,\"e\":\"caf\xC3\xA9\",\"f\":[1, 2],\"\":\"empty\",\"b\":2}");
}

TEST(JsonDocument, NumbersReadExactlyOnBothSidesOfEighteenDigits) {
  auto document = Parse("[0, -0, -42, 999999999999999999, 1234567890123456789, -12345678901234567890, 2.5, 1e3, 01]");
  TJsonArray& array = document->AsArray();
  ASSERT_EQ(array.Count(), 9);
  EXPECT_EQ(array.Item(0).AsNumber(), 0.0L);
  EXPECT_TRUE(std::signbit(array.Item(1).AsNumber()));
  EXPECT_EQ(array.Item(2).AsNumber(), -42.0L);
  EXPECT_EQ(array.Item(3).AsNumber(), 999999999999999999.0L);
  EXPECT_EQ(array.Item(4).AsNumber(), 1234567890123456789.0L);
  EXPECT_EQ(array.Item(5).AsNumber(), -12345678901234567890.0L);
  EXPECT_EQ(array.Item(6).AsNumber(), 2.5L);
  EXPECT_EQ(array.Item(7).AsNumber(), 1000.0L);
  EXPECT_TRUE(array.Item(8).IsInvalidValue()) << "a leading zero";
}

TEST(JsonDocument, AStringEndingInAMultiByteLeadIsInvalidNotAnOverrun) {
  // Longer than a string kept inside its own object, so that a read past its end leaves its block.
  auto document = Parse("[\"a long name\\twith a tab\xF3\", \"\\n\xC3\"]");
  TJsonArray& array = document->AsArray();
  ASSERT_EQ(array.Count(), 2);
  EXPECT_TRUE(array.Item(0).IsInvalidValue());
  EXPECT_TRUE(array.Item(1).IsInvalidValue());
}

TEST(JsonDocument, AnArrayNeverVisitedIsWrittenAsItCame) {
  const std::string text = "{\"a\": [ 1 ,  2 ], \"b\" : [3,\n4]}";
  auto document = Parse(text);
  TJsonObject& object = document->AsObject();
  (void)object.Find("b")->AsArray().Item(0);
  EXPECT_EQ(object.AsText(), "{\"a\":[ 1 ,  2 ],\"b\":[3,4]}") << "only the array that was visited is rewritten";
}

TEST(JsonDocument, StringsAreWindows1252InsideAndUtf8InTheText) {
  auto document = Parse(R"(["Jo\u00e3o \"q\" \\ \n", "S\u00c3O", "caf)" "\xC3\xA9" R"("])");
  TJsonArray& array = document->AsArray();
  EXPECT_EQ(array.Item(0).AsString(), "Jo\xE3o \"q\" \\ \n");
  EXPECT_EQ(array.Item(2).AsString(), "caf\xE9");
  auto object = TJsonObject::CreateEmpty(true);
  object->AddString("na\"me", "a\x01\xE9");
  EXPECT_EQ(object->AsText(), "{\"na\\\"me\":\"a\\u0001\xC3\xA9\"}");
  EXPECT_EQ(Parse(object->AsText())->AsObject().Find("na\"me")->AsString(), "a\x01\xE9");
  EXPECT_THROW(TJsonObject::CreateEmpty(false), EInvalidJsonObject);
}

TEST(JsonDocument, NumbersAreWrittenWithEighteenDigitsAndAnExponentOnlyFarFromOne) {
  const std::pair<std::string, std::string> cases[] = {
      {"0", "0"},           {"-0.0", "0"},        {"12.5", "12.5"},          {"-3", "-3"},
      {"0.001", "0.001"},   {"1e-10", "0.0000000001"},  {"1e20", "1e+20"},         {"1.5e-20", "1.5e-20"},
      {"123456789012345678", "1.23456789012345678e+17"}, {"37.45", "37.45"},
      {"99999999999999999", "99999999999999999"}, {"0.1", "0.1"},
  };
  for (const auto& [in, out] : cases) {
    auto document = Parse("[" + in + "]");
    document->AsArray().Item(0);
    EXPECT_EQ(document->AsText(), "[" + out + "]") << in;
  }
}

TEST(JsonDocument, DatesForHasKind) {
  auto document = Parse(R"({"a":"2024-03-31","b":"2024.03.31","c":"2024/03/31","d":"2024-02-30","e":"2024a03a31",
                            "f":"1919-12-31","g":"24-03-31","h":20240331})");
  TJsonObject& object = document->AsObject();
  for (const char* yes : {"a", "b", "c"}) EXPECT_TRUE(HasKind(object, yes, jatDate)) << yes;
  for (const char* no : {"d", "e", "f", "g", "h", "missing"}) EXPECT_FALSE(HasKind(object, no, jatDate)) << no;
}

TEST(JsonDocument, DeepNestingIsAnInvalidValueNotACrash) {
  const std::string text = std::string(100000, '[') + std::string(100000, ']');
  auto document = Parse(text);
  ASSERT_TRUE(document->IsArray());
  EXPECT_TRUE(document->IsInvalid());
  const std::string limit = std::string(kMaxJsonDepth + 1, '[') + std::string(kMaxJsonDepth + 1, ']');
  EXPECT_FALSE(Parse(limit)->IsInvalid()) << "the outermost array and 512 levels within it";
  EXPECT_TRUE(Parse("[" + limit + "]")->IsInvalid());
}

// Values generated with a reference library, written out, read and written back by ours, must come
// back as the same values.
nlohmann::json Generate(std::mt19937& random, int depth) {
  const int kind = static_cast<int>(random() % (depth > 4 ? 5 : 7));
  switch (kind) {
    case 0: return nullptr;
    case 1: return random() % 2 == 0;
    case 2: return static_cast<double>(static_cast<int32_t>(random())) / (1 + random() % 1000);
    case 3: return static_cast<int64_t>(random()) - (1LL << 31);
    case 4: {
      std::string utf8;
      for (size_t n = random() % 12; n > 0; --n) {
        const unsigned c = random() % 4 == 0 ? 0xA0 + random() % 0x60 : random() % 0x80;
        utf8 += Cp1252ToUtf8(std::string(1, static_cast<char>(c)));
      }
      return utf8;
    }
    case 5: {
      nlohmann::json array = nlohmann::json::array();
      for (size_t n = random() % 5; n > 0; --n) array.push_back(Generate(random, depth + 1));
      return array;
    }
    default: {
      nlohmann::json object = nlohmann::json::object();
      for (size_t n = random() % 5; n > 0; --n) object["k" + std::to_string(random() % 8)] = Generate(random, depth + 1);
      return object;
    }
  }
}

bool SameValue(const nlohmann::json& a, const nlohmann::json& b) {
  if (a.is_number() && b.is_number()) {
    const double x = a.get<double>();
    const double y = b.get<double>();
    return x == y || std::fabs(x - y) <= 1e-15 * std::max(std::fabs(x), std::fabs(y));
  }
  if (a.type() != b.type() || a.size() != b.size()) return false;
  if (a.is_array()) {
    for (size_t i = 0; i < a.size(); ++i)
      if (!SameValue(a[i], b[i])) return false;
    return true;
  }
  if (a.is_object()) {
    for (const auto& [key, value] : a.items())
      if (!b.contains(key) || !SameValue(value, b[key])) return false;
    return true;
  }
  return a == b;
}

TEST(JsonDocument, WellFormedDocumentsComeBackWithTheSameValues) {
  std::mt19937 random(12092026);
  for (int round = 0; round < 300; ++round) {
    nlohmann::json value = nlohmann::json::array({Generate(random, 0), Generate(random, 0)});
    const std::string text = value.dump(round % 3 == 0 ? 2 : -1);
    auto document = Parse(text);
    ASSERT_FALSE(document->IsInvalid()) << text;
    const std::string written = document->AsText();
    ASSERT_TRUE(SameValue(value, nlohmann::json::parse(written))) << text << "\n" << written;
    ASSERT_EQ(Parse(written)->AsText(), written) << "writing is stable";
  }
}

TEST(JsonDocument, SavingReplacesTheFileWholeOrLeavesItAsItWas) {
  test::TempDir dir;
  const std::string path = dir.File("records.json");
  test::WriteFile(path, "[ 1 ]");
  auto document = Parse("[" + std::string(1 << 20, ' ') + "\"" + std::string(1 << 20, 'x') + "\"]");
  document->AsArray().Item(0);
  // A file-size limit below the new text makes the write fail midway.
  const int status = test::RunInChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{65536, 65536};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      document->SaveToFile(path);
    } catch (const std::system_error&) {
      ::_exit(7);
    }
  });
  EXPECT_EQ(status, 7);
  EXPECT_EQ(test::ReadFile(path), "[ 1 ]");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "no temporary file is left";
  document->SaveToFile(path);
  EXPECT_EQ(test::ReadFile(path), "[\"" + std::string(1 << 20, 'x') + "\"]");
}

TEST(JsonDocument, FilesAreReadByTheirBytes) {
  test::TempDir dir;
  const std::string path = dir.File("\xE6\x97\xA5-caf\xE9.json");
  test::WriteFile(path, "[true]");
  EXPECT_TRUE(TAbstractJson::CreateFromFile(path, false)->IsArray());
  EXPECT_EQ(TAbstractJson::CreateFromFile(dir.File("missing.json"), false)->InvalidMessage(), "Empty string");
  EXPECT_THAT(TAbstractJson::CreateFromFile(dir.File("missing.json"), true)->InvalidMessage(),
              StartsWith("[TAbstractJson.CreateFromFile] WinError:2 WinErrorMessage:["));
  EXPECT_EQ(TAbstractJson::CreateFromFile(dir.Path(), false)->InvalidMessage(), "Empty string") << "a folder";
}

}  // namespace
}  // namespace zi
