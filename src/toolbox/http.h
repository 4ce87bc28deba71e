#pragma once
// The small HTTP client that sends failure reports to the mail relay, and SendHttpMail on top of it.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zi {

// The libcurl handles behind a session; only http.cpp knows them.
struct THttpHandles;

inline constexpr int kHttpSessionNotOpened = 3226;
inline constexpr int kHttpHostUnreachable = 3227;
inline constexpr int kHttpRequestNotOpened = 3229;
inline constexpr int kHttpRequestNotSent = 3230;
inline constexpr int kHttpResponseFailed = 3231;
inline constexpr int kHttpException = 3372;
inline constexpr int kHttpNoSession = 4380;

// One user agent talking to one host, with at most one open request. Closed when destroyed.
class THttpSession {
 public:
  // Verbose sessions log at most this many lines of their own.
  static constexpr int kMaxLoggedLines = 80;

  THttpSession();
  ~THttpSession();
  THttpSession(const THttpSession&) = delete;
  THttpSession& operator=(const THttpSession&) = delete;

  bool IsOpen() const;
  const std::string& Agent() const { return agent_; }
  // "http://host/" or the base URL the session was opened with, ending with "/".
  const std::string& BaseUrl() const { return baseUrl_; }
  bool Verbose() const { return verbose_; }
  // Random, 0..64999; its four upper-case hexadecimal digits start each of the session's lines.
  int Tag() const { return tag_; }
  int LinesLogged() const { return linesLogged_; }

  // Logs "TAG text" when verbose, up to kMaxLoggedLines.
  void LogLine(std::string_view text);

 private:
  friend int AbreHttp(std::string_view agent, std::string_view host, bool verbose, THttpSession& session);
  friend void FechaHttp(THttpSession& session);
  friend int PedePagina(THttpSession& session, std::string_view pathAndQuery, bool get,
                        const std::vector<std::string>& headers, std::string_view body);

  std::unique_ptr<THttpHandles> handles_;
  std::string agent_;
  std::string baseUrl_;
  bool verbose_ = false;
  int tag_ = 0;
  int linesLogged_ = 0;
};

// host: a host name (with an optional ":port") or a base URL starting with http:// or https://.
// 0, 3226 (session not opened) or 3227 (host not reached); a failure leaves the session closed.
int AbreHttp(std::string_view agent, std::string_view host, bool verbose, THttpSession& session);
// Closes the request, the connection and the session, in that order; closing twice is harmless.
void FechaHttp(THttpSession& session);
// Sends one request to pathAndQuery, resolved against the session's base URL. Header lines come
// without their CR LF. The body goes with POST only. The response body is not read; a status from
// 400 up is a failure. 0, 4380, 3229, 3230, 3231 or 3372.
int PedePagina(THttpSession& session, std::string_view pathAndQuery, bool get,
               const std::vector<std::string>& headers, std::string_view body);

// The mail relay for the whole process: a host name (with an optional ":port") becomes "http://HOST/";
// a base URL (http:// or https://) gets a trailing "/" when it has none. Empty, the default, is none.
void SetMailRelay(std::string hostOrUrl);
std::string MailRelay();

// The texts taken two by two as name and value: "N1=V1&N2=V2"; an odd count ends with a bare name.
// Every byte other than A-Z, a-z and 0-9 is sent as "%" and two upper-case hexadecimal digits.
std::string MailQuery(const std::vector<std::string>& pairs);
// Requests "mailto.cgi?" + MailQuery(pairs) from the mail relay. 0 or the first failure's code.
// In the background (below) it answers 0 once the report is queued, or kHttpReportsWaiting.
int SendHttpMail(const std::vector<std::string>& pairs);

// Reports in the background, for a caller that must not wait (the desktop's event loop): a report
// is queued and one thread of its own sends the reports in turn, logging their failures. At most
// kMaxWaitingReports, of kMaxWaitingReportBytes in all, wait or are being sent; one more is refused
// with a log line. Off by default: the unattended modes send each report before they go on.
inline constexpr size_t kMaxWaitingReports = 16;
inline constexpr size_t kMaxWaitingReportBytes = 1 << 20;
void SetHttpMailInBackground(bool on);
// The process end: waits at most boundMs for the reports still waiting, then abandons them with
// one log line.
inline constexpr int kBackgroundReportsEndMs = 3000;
void FinishBackgroundHttpMail(int boundMs = kBackgroundReportsEndMs);

}  // namespace zi
