#include "toolbox/http.h"

#include <curl/curl.h>
#include <fmt/format.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <random>
#include <utility>

#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/stkdump.h"
#include "toolbox/text.h"

namespace zi {
namespace {

constexpr long kConnectTimeoutSeconds = 10;
constexpr long kRequestTimeoutSeconds = 30;
constexpr long kMaxRedirects = 5;
constexpr const char* kWebProtocols = "http,https";

struct TEasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct TShareCleanup {
  void operator()(CURLSH* handle) const { curl_share_cleanup(handle); }
};
struct TUrlCleanup {
  void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
struct TListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct TTextCleanup {
  void operator()(char* text) const { curl_free(text); }
};
using TEasy = std::unique_ptr<CURL, TEasyCleanup>;
using TShare = std::unique_ptr<CURLSH, TShareCleanup>;
using TUrl = std::unique_ptr<CURLU, TUrlCleanup>;
using TList = std::unique_ptr<curl_slist, TListCleanup>;
using TCurlText = std::unique_ptr<char, TTextCleanup>;

}  // namespace

struct THttpHandles {
  // Shares resolved names and kept-alive connections between the session's requests.
  TShare session;
  // The host the probe reached; requests resolve their paths against it.
  TUrl connection;
  TEasy request;
  TList requestHeaders;
  THttpSession* owner = nullptr;
  // An exception cannot cross libcurl's C frames: the trace callback keeps it for after the transfer.
  std::exception_ptr callbackFailure;
};

namespace {

CURLcode GlobalInit() {
  static const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
  return code;
}

int RandomSessionTag() {
  static thread_local std::mt19937 engine{std::random_device{}()};
  return std::uniform_int_distribution<int>(0, 64999)(engine);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

std::string BaseUrlOf(std::string_view hostOrUrl) {
  if (hostOrUrl.empty()) return {};
  std::string url(hostOrUrl);
  if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://")) url = "http://" + url;
  if (url.back() != '/') url += '/';
  return url;
}

// Splits what libcurl traces (a text line, one received header, or the whole sent header block)
// into the session's lines, marked like libcurl's own trace: "*" remark, ">" sent, "<" received.
int TraceCallback(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  const char* mark = type == CURLINFO_TEXT         ? "* "
                     : type == CURLINFO_HEADER_OUT ? "> "
                     : type == CURLINFO_HEADER_IN  ? "< "
                                                   : nullptr;
  if (!mark) return 0;
  auto& handles = *static_cast<THttpHandles*>(user);
  try {
    std::string_view text(data, size);
    while (!text.empty()) {
      size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (!line.empty()) handles.owner->LogLine(mark + std::string(line));
    }
  } catch (...) {
    handles.callbackFailure = std::current_exception();
  }
  return 0;
}

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

CURLcode Perform(CURL* easy, THttpHandles& handles) {
  CURLcode code = curl_easy_perform(easy);
  if (handles.callbackFailure) std::rethrow_exception(std::exchange(handles.callbackFailure, nullptr));
  return code;
}

// Options of every transfer of the session, the probe included. 0 or the first failure.
CURLcode SetCommonOptions(CURL* easy, THttpHandles& handles, const THttpSession& session) {
  CURLcode first = CURLE_OK;
  auto keep = [&first](CURLcode code) {
    if (first == CURLE_OK) first = code;
  };
  keep(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
  keep(curl_easy_setopt(easy, CURLOPT_SHARE, handles.session.get()));
  // A direct connection: proxies named by the environment are not used.
  keep(curl_easy_setopt(easy, CURLOPT_PROXY, ""));
  // Redirects too are limited to these.
  keep(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, kWebProtocols));
  keep(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds));
  keep(curl_easy_setopt(easy, CURLOPT_USERAGENT, session.Agent().c_str()));
  if (session.Verbose()) {
    keep(curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, TraceCallback));
    keep(curl_easy_setopt(easy, CURLOPT_DEBUGDATA, &handles));
    keep(curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L));
  }
  return first;
}

CURLcode OpenSession(THttpHandles& handles) {
  if (CURLcode code = GlobalInit(); code != CURLE_OK) return code;
  handles.session.reset(curl_share_init());
  if (!handles.session) return CURLE_FAILED_INIT;
  CURLSH* share = handles.session.get();
  if (curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS) != CURLSHE_OK ||
      curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT) != CURLSHE_OK)
    return CURLE_FAILED_INIT;
  return CURLE_OK;
}

// The URL of the probe: plain TCP to the host and port of the base URL, so that a certificate
// problem of an https host shows when a request is sent, not as an unreachable host.
CURLcode ProbeUrl(CURLU* base, std::string& url) {
  TUrl probe(curl_url_dup(base));
  if (!probe) return CURLE_OUT_OF_MEMORY;
  char* port = nullptr;
  if (curl_url_get(base, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) != CURLUE_OK) return CURLE_URL_MALFORMAT;
  TCurlText portText(port);
  char* text = nullptr;
  if (curl_url_set(probe.get(), CURLUPART_SCHEME, "http", 0) != CURLUE_OK ||
      curl_url_set(probe.get(), CURLUPART_PORT, portText.get(), 0) != CURLUE_OK ||
      curl_url_set(probe.get(), CURLUPART_PATH, "/", 0) != CURLUE_OK ||
      curl_url_set(probe.get(), CURLUPART_QUERY, nullptr, 0) != CURLUE_OK ||
      curl_url_get(probe.get(), CURLUPART_URL, &text, 0) != CURLUE_OK)
    return CURLE_URL_MALFORMAT;
  url = TCurlText(text).get();
  return CURLE_OK;
}

// Opens and closes a TCP connection to the host: libcurl itself connects only when a request is sent.
CURLcode Connect(THttpHandles& handles, const THttpSession& session) {
  handles.connection.reset(curl_url());
  if (!handles.connection) return CURLE_OUT_OF_MEMORY;
  if (curl_url_set(handles.connection.get(), CURLUPART_URL, session.BaseUrl().c_str(), 0) != CURLUE_OK)
    return CURLE_URL_MALFORMAT;
  std::string probeUrl;
  if (CURLcode code = ProbeUrl(handles.connection.get(), probeUrl); code != CURLE_OK) return code;
  TEasy probe(curl_easy_init());
  if (!probe) return CURLE_FAILED_INIT;
  if (CURLcode code = SetCommonOptions(probe.get(), handles, session); code != CURLE_OK) return code;
  if (CURLcode code = curl_easy_setopt(probe.get(), CURLOPT_URL, probeUrl.c_str()); code != CURLE_OK) return code;
  if (CURLcode code = curl_easy_setopt(probe.get(), CURLOPT_CONNECT_ONLY, 1L); code != CURLE_OK) return code;
  return Perform(probe.get(), handles);
}

void CloseEarlierRequest(THttpHandles& handles, THttpSession& session) {
  if (!handles.request) return;
  session.LogLine(".HTTP.PedePagina com ReqHandl ativo -> fechando");
  // Closing a libcurl handle cannot fail, so this step never ends in 3228.
  handles.request.reset();
  handles.requestHeaders.reset();
}

CURLcode RequestUrl(const THttpHandles& handles, std::string_view pathAndQuery, std::string& url) {
  TUrl resolved(curl_url_dup(handles.connection.get()));
  if (!resolved) return CURLE_OUT_OF_MEMORY;
  char* text = nullptr;
  if (curl_url_set(resolved.get(), CURLUPART_URL, std::string(pathAndQuery).c_str(), 0) != CURLUE_OK ||
      curl_url_get(resolved.get(), CURLUPART_URL, &text, 0) != CURLUE_OK)
    return CURLE_URL_MALFORMAT;
  url = TCurlText(text).get();
  return CURLE_OK;
}

CURLcode AddHeader(TList& list, const std::string& line) {
  curl_slist* longer = curl_slist_append(list.get(), line.c_str());
  if (!longer) return CURLE_OUT_OF_MEMORY;
  // The head stays the same once the list has one: let go of it before owning it again.
  (void)list.release();
  list.reset(longer);
  return CURLE_OK;
}

CURLcode OpenRequest(THttpHandles& handles, const THttpSession& session, std::string_view pathAndQuery, bool get,
                     const std::vector<std::string>& headers, std::string_view body) {
  std::string url;
  if (CURLcode code = RequestUrl(handles, pathAndQuery, url); code != CURLE_OK) return code;
  handles.request.reset(curl_easy_init());
  if (!handles.request) return CURLE_FAILED_INIT;
  CURL* easy = handles.request.get();

  // libcurl keeps no local cache; intermediaries are asked not to answer from theirs.
  for (const std::string& line : {std::string("Cache-Control: no-cache"), std::string("Pragma: no-cache")})
    if (CURLcode code = AddHeader(handles.requestHeaders, line); code != CURLE_OK) return code;
  for (const std::string& line : headers)
    if (CURLcode code = AddHeader(handles.requestHeaders, line); code != CURLE_OK) return code;

  CURLcode first = SetCommonOptions(easy, handles, session);
  auto keep = [&first](CURLcode code) {
    if (first == CURLE_OK) first = code;
  };
  keep(curl_easy_setopt(easy, CURLOPT_URL, url.c_str()));
  keep(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, handles.requestHeaders.get()));
  keep(curl_easy_setopt(easy, CURLOPT_TIMEOUT, kRequestTimeoutSeconds));
  keep(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L));
  keep(curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects));
  // Mended fault: certificates and host names are always verified, and a certificate that an
  // unknown authority signed fails the request instead of being accepted on a second attempt.
  keep(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L));
  keep(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L));
  keep(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, DiscardBody));
  if (get) {
    keep(curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L));
  } else {
    keep(curl_easy_setopt(easy, CURLOPT_POST, 1L));
    keep(curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())));
    keep(curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body.data()));
  }
  return first;
}

long ResponseStatus(const THttpHandles& handles) {
  long status = 0;
  curl_easy_getinfo(handles.request.get(), CURLINFO_RESPONSE_CODE, &status);
  return status;
}

std::mutex& MailRelayMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& MailRelayUrl() {
  static std::string url;
  return url;
}

std::string UrlEncoded(std::string_view text) {
  std::string encoded;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9');
    if (plain) encoded += c;
    else encoded += fmt::format("%{:02X}", byte);
  }
  return encoded;
}

}  // namespace

THttpSession::THttpSession() = default;

THttpSession::~THttpSession() { FechaHttp(*this); }

bool THttpSession::IsOpen() const { return handles_ != nullptr; }

void THttpSession::LogLine(std::string_view text) {
  if (!verbose_ || linesLogged_ >= kMaxLoggedLines) return;
  ++linesLogged_;
  Loga(fmt::format("{:04X} {}", tag_, text));
}

int AbreHttp(std::string_view agent, std::string_view host, bool verbose, THttpSession& session) {
  FechaHttp(session);
  session.agent_ = agent;
  session.baseUrl_ = BaseUrlOf(host);
  session.verbose_ = verbose;
  session.tag_ = RandomSessionTag();
  session.linesLogged_ = 0;

  auto handles = std::make_unique<THttpHandles>();
  handles->owner = &session;
  if (CURLcode code = OpenSession(*handles); code != CURLE_OK) {
    Loga(fmt::format("HTTP.InternetOpen Erro:{} {}", static_cast<int>(code), agent));
    return kHttpSessionNotOpened;
  }
  if (CURLcode code = Connect(*handles, session); code != CURLE_OK) {
    Loga(fmt::format("HTTP.InternetConnect Erro:{} {}", static_cast<int>(code), host));
    return kHttpHostUnreachable;
  }
  session.handles_ = std::move(handles);
  return 0;
}

void FechaHttp(THttpSession& session) {
  if (!session.handles_) return;
  THttpHandles& handles = *session.handles_;
  handles.request.reset();
  handles.requestHeaders.reset();
  handles.connection.reset();
  handles.session.reset();
  session.handles_.reset();
}

int PedePagina(THttpSession& session, std::string_view pathAndQuery, bool get,
               const std::vector<std::string>& headers, std::string_view body) {
  if (!session.IsOpen()) return kHttpNoSession;
  try {
    THttpHandles& handles = *session.handles_;
    CloseEarlierRequest(handles, session);
    if (CURLcode code = OpenRequest(handles, session, pathAndQuery, get, headers, body); code != CURLE_OK) {
      Loga(fmt::format("HttpOpenRequest Erro:{} {}", static_cast<int>(code), pathAndQuery));
      return kHttpRequestNotOpened;
    }
    if (CURLcode code = Perform(handles.request.get(), handles); code != CURLE_OK) {
      Loga(fmt::format("HttpSendRequest Erro:{}", static_cast<int>(code)));
      return kHttpRequestNotSent;
    }
    // The server answered with a failure: there is no platform error behind it, hence LastError:0.
    if (long status = ResponseStatus(handles); status >= 400) {
      Loga(fmt::format("HTTP.InternetErrorDlg:{} LastError:0", status));
      return kHttpResponseFailed;
    }
    return 0;
  } catch (const std::exception& e) {
    ReportException("HTTP.PedePagina", e);
    return kHttpException;
  }
}

void SetMailRelay(std::string hostOrUrl) {
  std::string url = BaseUrlOf(hostOrUrl);
  std::lock_guard lock(MailRelayMutex());
  MailRelayUrl() = std::move(url);
}

std::string MailRelay() {
  std::lock_guard lock(MailRelayMutex());
  return MailRelayUrl();
}

std::string MailQuery(const std::vector<std::string>& pairs) {
  std::string query;
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (i > 0) query += i % 2 == 1 ? "=" : "&";
    query += UrlEncoded(pairs[i]);
  }
  return query;
}

namespace {

struct TBackgroundMail {
  std::mutex mutex;
  std::condition_variable changed;
  bool on = false;
  bool senderStarted = false;
  std::deque<std::vector<std::string>> waiting;
  size_t inHand = 0;  // waiting, or being sent
  size_t bytes = 0;
};

// Never destroyed: the sender thread may still be sending when the process ends.
TBackgroundMail& Background() {
  static auto* background = new TBackgroundMail;
  return *background;
}

size_t BytesOf(const std::vector<std::string>& pairs) {
  size_t bytes = 0;
  for (const std::string& text : pairs) bytes += text.size();
  return bytes;
}

int SendHttpMailNow(const std::vector<std::string>& pairs);

void SendWaitingReports() {
  UseAlternateSignalStack();
  TBackgroundMail& b = Background();
  std::unique_lock lock(b.mutex);
  for (;;) {
    b.changed.wait(lock, [&b] { return !b.waiting.empty(); });
    std::vector<std::string> pairs = std::move(b.waiting.front());
    b.waiting.pop_front();
    lock.unlock();
    SendHttpMailNow(pairs);
    lock.lock();
    b.bytes -= BytesOf(pairs);
    --b.inHand;
    b.changed.notify_all();
  }
}

// 0 once queued, or kHttpReportsWaiting.
int QueueReport(TBackgroundMail& b, const std::vector<std::string>& pairs) {
  const size_t bytes = BytesOf(pairs);
  {
    std::lock_guard lock(b.mutex);
    if (b.inHand < kMaxWaitingReports && b.bytes + bytes <= kMaxWaitingReportBytes) {
      if (!b.senderStarted) {
        std::thread(SendWaitingReports).detach();
        b.senderStarted = true;
      }
      b.waiting.push_back(pairs);
      ++b.inHand;
      b.bytes += bytes;
      b.changed.notify_all();
      return 0;
    }
  }
  Loga(fmt::format("SendHttpMail erro:{}: {} reports are waiting already, this one is not sent", kHttpReportsWaiting,
                   kMaxWaitingReports));
  return kHttpReportsWaiting;
}

int SendHttpMailNow(const std::vector<std::string>& pairs) {
  std::string relay = MailRelay();
  if (relay.empty()) {
    Loga("SendHttpMail: no mail relay configured");
    return kHttpHostUnreachable;
  }
  THttpSession session;
  int code = AbreHttp("SendHttpMail", relay, false, session);
  if (code == 0) code = PedePagina(session, "mailto.cgi?" + MailQuery(pairs), true, {}, {});
  FechaHttp(session);
  return code;
}

}  // namespace

int SendHttpMail(const std::vector<std::string>& pairs) {
  TBackgroundMail& b = Background();
  bool inBackground = false;
  {
    std::lock_guard lock(b.mutex);
    inBackground = b.on;
  }
  return inBackground ? QueueReport(b, pairs) : SendHttpMailNow(pairs);
}

void SetHttpMailInBackground(bool on) {
  TBackgroundMail& b = Background();
  std::lock_guard lock(b.mutex);
  b.on = on;
}

void FinishBackgroundHttpMail(int boundMs) {
  TBackgroundMail& b = Background();
  size_t abandoned = 0;
  {
    std::unique_lock lock(b.mutex);
    if (!b.changed.wait_for(lock, std::chrono::milliseconds(boundMs), [&b] { return b.inHand == 0; })) {
      abandoned = b.inHand;
      b.inHand -= b.waiting.size();
      for (const auto& pairs : b.waiting) b.bytes -= BytesOf(pairs);
      b.waiting.clear();
    }
  }
  if (abandoned)
    Loga(fmt::format("SendHttpMail: {} report(s) not sent after {} ms at the end of the process, abandoned", abandoned,
                     boundMs));
}

}  // namespace zi
