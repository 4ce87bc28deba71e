#include "toolbox/http.h"

#include <arpa/inet.h>
#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "support/child_process.h"
#include "support/local_http_server.h"
#include "support/test_files.h"
#include "toolbox/lifecycle.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/platform.h"

namespace zi {
namespace {

using test::ReadLines;
using test::TClosedPort;
using test::TLocalServer;
using test::TReceived;
using test::WithoutStamps;
using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;

// An https server whose certificate no known authority signed.
std::unique_ptr<httplib::Server> SelfSignedServer() {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* certificate = X509_new();
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
  X509_gmtime_adj(X509_getm_notBefore(certificate), 0);
  X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(certificate, name);
  X509_sign(certificate, key, EVP_sha256());
  auto server = std::make_unique<httplib::SSLServer>(certificate, key);
  X509_free(certificate);
  EVP_PKEY_free(key);
  return server;
}

class HttpTest : public testing::Test {
 protected:
  void SetUp() override {
    logFile_ = dir_.File("zorinput.log");
    SetLogFileName(logFile_);
    Loga("flush anything kept by an earlier test");
    std::filesystem::remove(logFile_);
  }
  void TearDown() override {
    SetMailRelay("");
    SetLogFileName("zorinput.log");
  }

  std::vector<std::string> LogTexts() const { return WithoutStamps(ReadLines(logFile_)); }

  test::TempDir dir_;
  std::string logFile_;
  TLocalServer server_;
};

TEST(MailQueryTest, JoinsNamesAndValuesAndEncodesEveryByteButLettersAndDigits) {
  struct Case {
    std::vector<std::string> pairs;
    std::string query;
  } cases[] = {
      {{}, ""},
      {{"TO", "g", "SUBJ", "x"}, "TO=g&SUBJ=x"},
      {{"TO"}, "TO"},
      {{"TO", "g", "SUBJ"}, "TO=g&SUBJ"},
      {{"MSG", "joe smith@host"}, "MSG=joe%20smith%40host"},
      {{"A\xE7\xE3o", "\xFF\x80"}, "A%E7%E3o=%FF%80"},
      {{"k", "a-b_c.d~e+f/g?h=i&j%"}, "k=a%2Db%5Fc%2Ed%7Ee%2Bf%2Fg%3Fh%3Di%26j%25"},
      {{"", "v"}, "=v"},
      {{"n", std::string("\0\r\n", 3)}, "n=%00%0D%0A"},
      {{"AZaz09", ""}, "AZaz09="},
  };
  for (const auto& c : cases) EXPECT_EQ(MailQuery(c.pairs), c.query);
}

TEST(MailRelayTest, HostNamesBecomeHttpUrlsAndBaseUrlsEndWithASlash) {
  struct Case {
    std::string setting;
    std::string relay;
  } cases[] = {
      {"relay.example", "http://relay.example/"},
      {"relay.example:8080", "http://relay.example:8080/"},
      {"http://relay.example", "http://relay.example/"},
      {"https://relay.example/cgi-bin", "https://relay.example/cgi-bin/"},
      {"HTTPS://relay.example/cgi-bin/", "HTTPS://relay.example/cgi-bin/"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SetMailRelay(c.setting);
    EXPECT_EQ(MailRelay(), c.relay) << c.setting;
  }
  SetMailRelay("");
}

TEST_F(HttpTest, SendHttpMailRequestsMailtoCgiWithTheExactQuery) {
  struct Case {
    std::vector<std::string> pairs;
    std::string target;
  } cases[] = {
      {{"TO", "support@zorvana.example", "SUBJ", "Login failed"},
       "/mailto.cgi?TO=support%40zorvana%2Eexample&SUBJ=Login%20failed"},
      {{"TO", "g", "SUBJ", "x", "MSG"}, "/mailto.cgi?TO=g&SUBJ=x&MSG"},
      {{"MSG", "Importa\xE7\xE3o"}, "/mailto.cgi?MSG=Importa%E7%E3o"},
  };
  SetMailRelay(server_.HostAndPort());
  for (const auto& c : cases) EXPECT_EQ(SendHttpMail(c.pairs), 0);

  auto received = server_.Received();
  ASSERT_EQ(received.size(), std::size(cases));
  for (size_t i = 0; i < received.size(); ++i) {
    EXPECT_EQ(received[i].method, "GET");
    EXPECT_EQ(received[i].path, "/mailto.cgi");
    EXPECT_EQ(received[i].target, cases[i].target);
    EXPECT_EQ(received[i].Header("User-Agent"), "SendHttpMail");
    EXPECT_EQ(received[i].Header("Cache-Control"), "no-cache");
    EXPECT_EQ(received[i].Header("Pragma"), "no-cache");
  }
  EXPECT_FALSE(std::filesystem::exists(logFile_)) << "the mail session is not verbose";
}

// In the background a report never holds its caller: this relay never answers, yet each call
// answers at once that its report is queued; one report too many is refused; the process end waits
// a bounded time for them, then abandons them with a log line.
TEST_F(HttpTest, ReportsInTheBackgroundNeverHoldTheCallerAndTheEndWaitsForThemOnlyABoundedTime) {
  test::TSilentPort relay;
  int status = test::RunInChildWithin(60, [&] {
    FoundationStart();
    SetMailRelay(relay.HostAndPort());
    SetHttpMailInBackground(true);
    for (size_t i = 0; i < kMaxWaitingReports; ++i)
      if (SendHttpMail({"TO", "g", "SUBJ", "report " + std::to_string(i)}) != 0) ::_exit(10);
    if (SendHttpMail({"TO", "g", "SUBJ", "one too many"}) != kHttpReportsWaiting) ::_exit(11);
    EndProcess(0);
  });
  EXPECT_EQ(status, 0);
  EXPECT_THAT(LogTexts(),
              ElementsAre("SendHttpMail erro:99021: 16 reports are waiting already, this one is not sent",
                          "SendHttpMail: 16 report(s) not sent after 3000 ms at the end of the process, abandoned"));
}

TEST_F(HttpTest, SendHttpMailResolvesMailtoCgiUnderABaseUrl) {
  SetMailRelay("http://" + server_.HostAndPort() + "/cgi-bin");
  EXPECT_EQ(SendHttpMail({"TO", "g"}), 0);
  auto received = server_.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].target, "/cgi-bin/mailto.cgi?TO=g");
}

TEST_F(HttpTest, SendHttpMailWithoutARelayIs3227AndSendsNothing) {
  EXPECT_EQ(SendHttpMail({"TO", "g"}), 3227);
  EXPECT_THAT(LogTexts(), ElementsAre("SendHttpMail: no mail relay configured"));
  EXPECT_THAT(server_.Received(), IsEmpty());
}

TEST_F(HttpTest, SendHttpMailToAnUnreachableRelayIs3227) {
  TClosedPort closed;
  SetMailRelay(closed.HostAndPort());
  EXPECT_EQ(SendHttpMail({"TO", "g"}), 3227);
  EXPECT_THAT(LogTexts(), ElementsAre("HTTP.InternetConnect Erro:7 http://" + closed.HostAndPort() + "/"));
}

TEST_F(HttpTest, SendHttpMailReportsTheRelaysFailure) {
  SetMailRelay("http://" + server_.HostAndPort() + "/status/500");
  EXPECT_EQ(SendHttpMail({"TO", "g"}), 3231);
  EXPECT_THAT(LogTexts(), ElementsAre("HTTP.InternetErrorDlg:500 LastError:0"));
}

TEST_F(HttpTest, AbreHttpFailuresLeaveTheSessionClosed) {
  TClosedPort closed;
  struct Case {
    std::string host;
    std::string line;
  } cases[] = {
      {closed.HostAndPort(), "HTTP.InternetConnect Erro:7 " + closed.HostAndPort()},
      {"http://" + closed.HostAndPort() + "/base",
       "HTTP.InternetConnect Erro:7 http://" + closed.HostAndPort() + "/base"},
      {"127.0.0.1:99999", "HTTP.InternetConnect Erro:3 127.0.0.1:99999"},
  };
  std::vector<std::string> lines;
  for (const auto& c : cases) {
    THttpSession session;
    EXPECT_EQ(AbreHttp("agent", c.host, true, session), 3227) << c.host;
    EXPECT_FALSE(session.IsOpen());
    EXPECT_EQ(PedePagina(session, "x", true, {}, {}), 4380);
    lines.push_back(c.line);
  }
  auto texts = LogTexts();
  for (const auto& line : lines) EXPECT_THAT(texts, Contains(line));
}

TEST_F(HttpTest, PedePaginaWithoutASessionIs4380) {
  THttpSession never;
  EXPECT_EQ(PedePagina(never, "/x", true, {}, {}), 4380);

  THttpSession closed;
  ASSERT_EQ(AbreHttp("agent", server_.HostAndPort(), false, closed), 0);
  FechaHttp(closed);
  FechaHttp(closed);
  EXPECT_EQ(PedePagina(closed, "/x", true, {}, {}), 4380);
  EXPECT_THAT(server_.Received(), IsEmpty());
  EXPECT_FALSE(std::filesystem::exists(logFile_));
}

TEST_F(HttpTest, StatusFrom400UpIs3231) {
  struct Case {
    int status;
    int code;
  } cases[] = {{200, 0}, {204, 0}, {304, 0}, {400, 3231}, {404, 3231}, {500, 3231}, {503, 3231}};
  THttpSession session;
  ASSERT_EQ(AbreHttp("agent", server_.HostAndPort(), false, session), 0);
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    EXPECT_EQ(PedePagina(session, "/status/" + std::to_string(c.status), true, {}, {}), c.code) << c.status;
    if (c.code) expected.push_back(fmt::format("HTTP.InternetErrorDlg:{} LastError:0", c.status));
  }
  EXPECT_EQ(LogTexts(), expected);
}

TEST_F(HttpTest, RedirectsAreFollowedOnlyToHttpAndOnlyFiveTimes) {
  TLocalServer secure(SelfSignedServer());
  TClosedPort closed;
  server_.Redirect("/moved", "/landing");
  server_.Redirect("/again", "/moved");
  server_.Redirect("/loop", "/loop");
  server_.Redirect("/to-ftp", "ftp://" + closed.HostAndPort() + "/report");
  server_.Redirect("/to-https", "https://" + secure.HostAndPort() + "/secure");
  struct Case {
    std::string path;
    int code;
    std::vector<std::string> lines;
    std::string last;
  } cases[] = {
      {"/moved", 0, {}, "/landing"},
      {"/again", 0, {}, "/landing"},
      {"/loop", 3230, {"HttpSendRequest Erro:47"}, "/loop"},
      {"/to-ftp", 3230, {"HttpSendRequest Erro:1"}, "/to-ftp"},
      {"/to-https", 3230, {"HttpSendRequest Erro:60"}, "/to-https"},
  };
  for (const auto& c : cases) {
    THttpSession session;
    ASSERT_EQ(AbreHttp("agent", server_.HostAndPort(), false, session), 0);
    std::filesystem::remove(logFile_);
    size_t before = server_.Received().size();
    EXPECT_EQ(PedePagina(session, c.path, true, {}, {}), c.code) << c.path;
    EXPECT_EQ(LogTexts(), c.lines) << c.path;
    auto received = server_.Received();
    EXPECT_EQ(received.back().path, c.last) << c.path;
    if (c.path == "/loop") {
      EXPECT_EQ(received.size() - before, 6u) << "the request and five redirects";
    }
  }
  EXPECT_THAT(secure.Received(), IsEmpty());
}

TEST_F(HttpTest, CertificateOfAnUnknownAuthorityIs3230WithoutASecondAttempt) {
  TLocalServer secure(SelfSignedServer());
  THttpSession session;
  ASSERT_EQ(AbreHttp("agent", "https://" + secure.HostAndPort(), false, session), 0)
      << "the host is reachable; its certificate is checked when a request is sent";
  EXPECT_EQ(PedePagina(session, "/report", true, {}, {}), 3230);
  EXPECT_THAT(LogTexts(), ElementsAre("HttpSendRequest Erro:60"));
  EXPECT_THAT(secure.Received(), IsEmpty());
}

TEST_F(HttpTest, PostSendsHeadersAndBody) {
  THttpSession session;
  ASSERT_EQ(AbreHttp("ZorInput", server_.HostAndPort(), false, session), 0);
  EXPECT_EQ(PedePagina(session, "/form?x=1", false, {"X-Zor-Run: 12", "X-Zor-User: ana"}, "a=1&b=%E7"), 0);
  auto received = server_.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].method, "POST");
  EXPECT_EQ(received[0].target, "/form?x=1");
  EXPECT_EQ(received[0].body, "a=1&b=%E7");
  EXPECT_EQ(received[0].Header("X-Zor-Run"), "12");
  EXPECT_EQ(received[0].Header("X-Zor-User"), "ana");
  EXPECT_EQ(received[0].Header("User-Agent"), "ZorInput");
}

TEST_F(HttpTest, ProxiesNamedByTheEnvironmentAreNotUsed) {
  TClosedPort proxy;
  std::string proxyUrl = "http://" + proxy.HostAndPort();
  test::EnvGuard lower("http_proxy", proxyUrl.c_str());
  test::EnvGuard upper("HTTP_PROXY", proxyUrl.c_str());
  test::EnvGuard all("ALL_PROXY", proxyUrl.c_str());
  test::EnvGuard noProxy("no_proxy", nullptr);
  test::EnvGuard noProxyUpper("NO_PROXY", nullptr);
  SetMailRelay(server_.HostAndPort());
  EXPECT_EQ(SendHttpMail({"TO", "g"}), 0);
  EXPECT_EQ(server_.Received().size(), 1u);
}

TEST_F(HttpTest, RequestsOfASessionShareOneKeptAliveConnection) {
  THttpSession session;
  ASSERT_EQ(AbreHttp("agent", server_.HostAndPort(), false, session), 0);
  EXPECT_EQ(PedePagina(session, "/one", true, {}, {}), 0);
  EXPECT_EQ(PedePagina(session, "/two", true, {}, {}), 0);
  auto received = server_.Received();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].remotePort, received[1].remotePort);
}

TEST_F(HttpTest, PathWithAControlCharacterIs3229) {
  THttpSession session;
  ASSERT_EQ(AbreHttp("agent", server_.HostAndPort(), false, session), 0);
  EXPECT_EQ(PedePagina(session, "/a\tb", true, {}, {}), 3229);
  EXPECT_THAT(LogTexts(), ElementsAre("HttpOpenRequest Erro:3 /a\tb"));
  EXPECT_THAT(server_.Received(), IsEmpty());
}

TEST_F(HttpTest, VerboseSessionLogsAtMost80TaggedLines) {
  THttpSession session;
  ASSERT_EQ(AbreHttp("agent", server_.HostAndPort(), true, session), 0);
  ASSERT_GE(session.Tag(), 0);
  ASSERT_LE(session.Tag(), 64999);
  std::string tag = fmt::format("{:04X} ", session.Tag());
  EXPECT_EQ(PedePagina(session, "/first", true, {}, {}), 0);
  EXPECT_EQ(PedePagina(session, "/second", true, {}, {}), 0);
  auto texts = LogTexts();
  EXPECT_THAT(texts, Contains(tag + "> GET /first HTTP/1.1"));
  EXPECT_THAT(texts, Contains(tag + "< HTTP/1.1 200 OK"));
  EXPECT_THAT(texts, Contains(tag + ".HTTP.PedePagina com ReqHandl ativo -> fechando"));

  for (int i = 0; i < 40; ++i) EXPECT_EQ(PedePagina(session, "/more", true, {}, {}), 0);
  texts = LogTexts();
  EXPECT_EQ(texts.size(), 80u);
  EXPECT_EQ(session.LinesLogged(), 80);
  for (const auto& text : texts) EXPECT_TRUE(text.starts_with(tag)) << text;
}

}  // namespace
}  // namespace zi
