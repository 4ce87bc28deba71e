// The senders against the embedded server: what reaches the data log, chunk by chunk, and every
// refusal with its code and log lines.
#include "import_client/message_senders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sodium.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "server/server.h"
#include "session/login.h"
#include "session/session.h"
#include "session/zi_globs.h"
#include "support/test_files.h"
#include "toolbox/dates.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/platform.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

using testing::ElementsAre;

// The command-line login of the senders' suite: other suites of this program log in and out
// themselves, so the session belongs to the suite, not to the program.
class SenderSession {
 public:
  SenderSession() {
    SetLogFileName(dir_.File("login.log"));
    SetParameters({"/opt/zorinput", "/user=ana", "/password=pw", "/database=" + dir_.File("zi.db")});
    CliLogin();
  }
  ~SenderSession() { db::DestroyZiDb(); }

 private:
  test::TempDir dir_;
  test::EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
};

struct TDataLogRow {
  int64_t tip;
  int64_t oid;
  int64_t aux;
  TDateTime date;
  std::string txt;
};

std::string FromBase64(const std::string& text) {
  std::string bytes(text.size(), '\0');
  size_t length = 0;
  EXPECT_EQ(sodium_base642bin(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), text.data(), text.size(),
                              nullptr, &length, nullptr, sodium_base64_VARIANT_ORIGINAL),
            0)
      << text;
  bytes.resize(length);
  return bytes;
}

class SenderTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { session_ = std::make_unique<SenderSession>(); }
  static void TearDownTestSuite() { session_.reset(); }
  void SetUp() override {
    ASSERT_EQ(CliLoginCode(), 0);
    SetLogFileName(dir_.File("zorinput.log"));
    Sql("DELETE FROM DataLog");
  }
  void TearDown() override { SetLogFileName("zorinput.log"); }

  static std::unique_ptr<SenderSession> session_;
  static server::Server& Server() { return *static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).Server(); }
  static void Sql(const std::string& sql) { Server().ExecuteSql(sql); }
  static void InjectFaults(const db::EmbeddedDriver::Faults& faults) {
    static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).InjectFaults(faults);
  }

  static std::vector<TDataLogRow> Rows() {
    std::vector<TDataLogRow> rows;
    const auto sets = Server().ExecuteSql("SELECT tip, oid, aux, date, txt FROM DataLog ORDER BY id");
    for (const auto& r : sets.at(0).rows)
      rows.push_back({r[0].AsInteger(), r[1].AsInteger(), r[2].AsInteger(), r[3].AsDateTime(), r[4].AsText()});
    return rows;
  }
  // Each chunk decoded: its marker byte, then its piece.
  static std::vector<std::string> Chunks() {
    std::vector<std::string> chunks;
    for (const auto& row : Rows()) chunks.push_back(FromBase64(row.txt));
    return chunks;
  }
  // The pieces put together again, each checked for its marker.
  static std::string Reassembled() {
    const std::vector<std::string> chunks = Chunks();
    std::string whole;
    for (size_t i = 0; i < chunks.size(); ++i) {
      EXPECT_EQ(chunks[i].substr(0, 1), i + 1 == chunks.size() ? "!" : " ") << i;
      whole += chunks[i].substr(1);
    }
    return whole;
  }

  std::string File(const std::string& name, const std::string& content) {
    test::WriteFile(dir_.File(name), content);
    return dir_.File(name);
  }
  std::vector<std::string> LogTexts() const { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  test::TempDir dir_;
};

std::unique_ptr<SenderSession> SenderTest::session_;

TEST_F(SenderTest, ChunkIsItsMarkerAndPieceInBase64) {
  EXPECT_EQ(MsgQQChunkText("", true), "IQ==");
  EXPECT_EQ(MsgQQChunkText("ab", false), "IGFi");
  EXPECT_EQ(MsgQQChunkText(std::string("\0\xFF", 2), true), "IQD/");
}

TEST_F(SenderTest, MessageFileTravelsWholeIn750ByteChunks) {
  std::string bytes;
  for (int i = 0; i < 1601; ++i) bytes.push_back(static_cast<char>(i * 7));  // NULs and bytes that are no UTF-8
  const std::string file = File("message.bin", bytes);
  EXPECT_EQ(PoeMsgQQNoDataLog(174, 255, file, true), 0);
  EXPECT_THAT(LogTexts(), ElementsAre("PoeMsgQQNoDataLog 174.255 " + file, "end ok TotSize:1601 Blocos:3"));
  const std::vector<std::string> chunks = Chunks();
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].size(), 751u);
  EXPECT_EQ(chunks[2].size(), 102u);
  EXPECT_EQ(Reassembled(), bytes);
  for (const auto& row : Rows()) {
    EXPECT_EQ(row.tip, 84);
    EXPECT_EQ(row.oid, 174);
    EXPECT_EQ(row.aux, 255);
    EXPECT_EQ(row.date, Rows()[0].date) << "one date for the whole message";
  }
}

TEST_F(SenderTest, MessageIsDatedByTheServersClock) {
  auto localNow = [] {
    const platform::LocalTime t = platform::Now();
    return DateTimeFromCalendar({t.year, t.month, t.day, t.hour, t.minute, t.second}).days;
  };
  const int64_t offset = 400 * 86400;  // the server's clock 400 days behind ours
  const std::optional<int64_t> measured = ZiGlobs().ServerClock;
  ZiGlobs().ServerClock = offset;
  const double before = localNow();
  const int code = PoeMsgQQNoDataLog(171, 0, File("m.txt", "x"), true);
  const double after = localNow();
  ZiGlobs().ServerClock = measured;
  ASSERT_EQ(code, 0);
  ASSERT_EQ(Rows().size(), 1u);
  EXPECT_GE(Rows()[0].date.days, before - 400);
  EXPECT_LE(Rows()[0].date.days, after - 400);
}

TEST_F(SenderTest, MessageFileRefusals) {
  const std::string folder = dir_.File("folder");
  std::filesystem::create_directory(folder);
  const std::string one = File("one.txt", "1");
  const struct {
    int object;
    int auxiliary;
    std::string file;
    int code;
    std::string size;
  } cases[] = {
      {171, 0, dir_.File("missing.txt"), kMsgQQFileUnreadable, "0"},
      {171, 0, folder, kMsgQQFileUnreadable, "0"},
      {171, 32001, one, kMsgQQBadPair, "1"},
      {171, -1, one, kMsgQQBadPair, "1"},
      {174, 256, one, kMsgQQBadPair, "1"},
      {172, 0, one, kMsgQQBadPair, "1"},
      {171, 32000, File("empty.txt", ""), kMsgQQFileEmpty, "0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PoeMsgQQNoDataLog(c.object, c.auxiliary, c.file, true), c.code) << c.file;
    EXPECT_EQ(LogTexts().back(), "end erro:" + std::to_string(c.code) + " TotSize:" + c.size + " Blocos:0") << c.file;
  }
  EXPECT_THAT(LogTexts(), testing::Contains("PoeMsgQQNoDataLog cannot read " + folder + ": Is a directory"));
  EXPECT_EQ(PoeMsgQQNoDataLog(171, 32000, one, true), 0);
  EXPECT_EQ(Rows().size(), 1u);
}

// Files under /sys state a size of a page and hold less: the read comes up short.
TEST_F(SenderTest, FileThatHoldsLessThanItsSizeIsAShortRead) {
  const std::string file = "/sys/devices/system/cpu/online";
  std::error_code error;
  if (std::filesystem::file_size(file, error) <= 750 || error) GTEST_SKIP() << "no such file here";
  EXPECT_EQ(PoeMsgQQNoDataLog(171, 1, file, true), kMsgQQShortRead);
  EXPECT_THAT(LogTexts().back(), testing::MatchesRegex("end erro:4323 TotSize:[0-9]+ Blocos:0"));
  EXPECT_TRUE(Rows().empty());
}

TEST_F(SenderTest, FailureHalfwayLeavesNoPieceInTheDataLog) {
  const std::string file = File("m.bin", std::string(1600, 'm'));
  ASSERT_EQ(PoeMsgQQNoDataLog(171, 1, file, true), 0);  // the command is cached from here on
  Sql("DELETE FROM DataLog");
  InjectFaults({.failCall = 3});  // the transaction's begin, the first chunk, then the second chunk
  EXPECT_NE(PoeMsgQQNoDataLog(171, 1, file, true), 0);
  EXPECT_THAT(LogTexts().back(), testing::MatchesRegex("end erro:[0-9]+ TotSize:1600 Blocos:1"));
  EXPECT_TRUE(Rows().empty());
}

TEST_F(SenderTest, NoDataLogCommandIsItsOwnCode) {
  const std::string message = File("m.txt", "x");
  const std::string coded = File("c.txt", "B:1\n");
  for (bool codedFile : {false, true}) {
    db::ZiDb().FlushCache();
    InjectFaults({.failCall = 1});  // learning the procedure's parameters
    if (codedFile) {
      EXPECT_EQ(MandaMsgQQCodeDumArquivo('a', 5, 0, coded), kCodedNoCommand);
    } else {
      EXPECT_EQ(PoeMsgQQNoDataLog(171, 1, message, true), kMsgQQNoCommand);
    }
  }
  EXPECT_TRUE(Rows().empty());
}

TEST_F(SenderTest, CodedMessageOf1500BytesTravelsIn749ByteChunks) {
  const std::string text(1500, 'q');
  const std::string file = File("coded.txt", "# a comment\n\nT:'" + text + "'\n");
  EXPECT_EQ(MandaMsgQQCodeDumArquivo('T', 171, 7, file), 0);
  const std::vector<std::string> chunks = Chunks();
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0], " " + text.substr(0, 749));
  EXPECT_EQ(chunks[1], " " + text.substr(0, 749));
  EXPECT_EQ(chunks[2], "!qq");
  for (const auto& row : Rows()) {
    EXPECT_EQ(row.tip, 'T');
    EXPECT_EQ(row.oid, 171);
    EXPECT_EQ(row.aux, 7);
  }
  const std::string received = "zimsgQQ.ParseMsgQQText Mensagem Recebida: T:'" + text + "'";
  std::string made = "zimsgQQ.ParseMsgQQText Mensagem Gerada: ";
  for (size_t i = 0; i < text.size(); ++i) made += "71";
  EXPECT_THAT(LogTexts(), ElementsAre("MandaMsgQQCodeDumArquivo 171.7 " + file, received, made, received, made,
                                      "end ok"));
}

TEST_F(SenderTest, CodedFileTextIsProgramText) {
  const struct {
    std::string line;
    TImportEncoding encoding;
    std::string message;
  } cases[] = {
      // Windows-1252 as it is
      {"T:caf\xE9 S:\"a b\"", TImportEncoding::Unchosen, std::string("caf\xE9\x03" "a b")},
      // UTF-8 with its mark, converted
      {"\xEF\xBB\xBFT:'caf\xC3\xA9'", TImportEncoding::Utf8, "caf\xE9"},
      // Windows-1252 named, whatever its bytes look like
      {"T:'caf\xC3\xA9'", TImportEncoding::Windows1252, "caf\xC3\xA9"},
  };
  for (const auto& c : cases) {
    Sql("DELETE FROM DataLog");
    EXPECT_EQ(MandaMsgQQCodeDumArquivo('a', 9, 0, File("coded.txt", c.line), c.encoding), 0) << c.line;
    EXPECT_EQ(Reassembled(), c.message) << c.line;
    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Rows()[0].tip, 'a');
  }
}

TEST_F(SenderTest, CodedFileRefusals) {
  const struct {
    char kind;
    int object;
    int auxiliary;
    std::string content;
    int code;
    const char* line;  // the line logged before "end", when the refusal has one of its own
  } cases[] = {
      {'a', 1, 0, "", kCodedFileEmpty, "MandaMsgQQCodeDumArquivo: no line of the file describes a message"},
      {'a', 1, 0, "# only\n\n#comments\n", kCodedFileEmpty, nullptr},
      {'a', 1, 0, "B:1\nX:1\n", kCodedLineUnparsed, "Erro:25896 em ParseMsgQQText, NumLinha:2, nao conseguiu parsear X:1"},
      {'a', 1, 0, "B:1\n\nW:2\n", kCodedFileManyMessages,
       "impcli.ParseMsgQQText nao pode gerar mais de uma MsgQQ, ver bug ZI-2269, erro:20173"},
      {'T', 171, 32001, "B:1", kCodedBadPair, "zimsgQQ.ParseMsgQQText Mensagem Gerada: 01"},
      {'T', 172, 0, "B:1", kCodedBadPair, nullptr},
      {'a', 171, 5, "B:1", kCodedBadPair, nullptr},
      {'x', 171, 0, "B:1", kCodedBadPair, nullptr},
      {'a', 1, 0, std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), kCodedLineUnparsed, nullptr},
  };
  for (const auto& c : cases) {
    const std::string file = File("coded.txt", c.content);
    EXPECT_EQ(MandaMsgQQCodeDumArquivo(c.kind, c.object, c.auxiliary, file), c.code) << c.content;
    const std::vector<std::string> texts = LogTexts();
    EXPECT_EQ(texts.back(), "end erro:" + std::to_string(c.code)) << c.content;
    if (c.line) {
      EXPECT_EQ(texts.at(texts.size() - 2), c.line) << c.content;
    }
  }
  EXPECT_EQ(MandaMsgQQCodeDumArquivo('a', 1, 0, dir_.File("missing.txt")), kMsgQQFileUnreadable);
  EXPECT_TRUE(Rows().empty());
}

TEST_F(SenderTest, ACodedFileThatLooksUtf8IsRefusedUnlessItsEncodingIsNamed) {
  const struct {
    std::string content;
    TImportEncoding encoding;
    int code;
    std::string line;
  } cases[] = {
      {"# x\nT:'caf\xC3\xA9'", TImportEncoding::Unchosen, kImportFileLooksUtf8,
       "MandaMsgQQCodeDumArquivo line:2 Error:99310 the file looks like UTF-8: its non-ASCII characters (the first "
       "at byte offset 6 of this line) form UTF-8, and read as Windows-1252 they would be stored as other "
       "characters. Name its encoding: -encoding=utf-8, or -encoding=windows-1252 if it is Windows-1252 text"},
      {"\xEF\xBB\xBFT:x", TImportEncoding::Windows1252, kImportBomNamedWindows1252,
       "MandaMsgQQCodeDumArquivo line:1 Error:99312 the file starts with a UTF-8 byte-order mark, but its encoding "
       "was named windows-1252: read it with -encoding=utf-8"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MandaMsgQQCodeDumArquivo('a', 1, 0, File("coded.txt", c.content), c.encoding), c.code) << c.content;
    const std::vector<std::string> texts = LogTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts.at(texts.size() - 2), c.line);
  }
  EXPECT_TRUE(Rows().empty());
}

}  // namespace
}  // namespace zi
