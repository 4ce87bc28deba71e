#include "session/zi_globs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "db/connection.h"
#include "session/bulletin.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "session/session.h"
#include "session/settings.h"
#include "toolbox/codec.h"
#include "toolbox/http.h"
#include "toolbox/lifecycle.h"
#include "toolbox/log.h"
#include "toolbox/platform.h"
#include "toolbox/switches.h"

namespace zi {

namespace {

bool started = false;
bool ended = false;

enum class InitLogStat { NotTried = 0, InProgress = 1, LoggedIn = 2, Failed = 3 };
InitLogStat initLogStat = InitLogStat::NotTried;

std::string WithTrailingSeparator(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

// The relay of failure reports: the "mailrelay" switch, else the "MailRelay" setting.
void ConfigureMailRelay() {
  std::string relay;
  if (!PegaParam("mailrelay", relay)) relay = LeReg("MailRelay");
  SetMailRelay(relay);
}

std::string StateText() { return std::to_string(static_cast<int>(initLogStat)); }

}  // namespace

// The file is opened before standard output is touched, so a file that cannot be opened leaves
// standard output as it was.
void RedirectOutput(const std::string& file) {
  int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd < 0) {
    Loga("output -> \"" + PathText(file) + "\" iores:" + std::to_string(platform::ErrorCodeOf(errno)));
    return;
  }
  std::fflush(stdout);
  ::dup2(fd, STDOUT_FILENO);
  ::close(fd);
}

void ZiGlobsStart() {
  if (started) return;
  started = true;
  LogaDebug("ZiGlobs");
  std::string output;
  if (PegaParamBytes("output", output) && !output.empty()) RedirectOutput(output);
  std::string path;
  if (PegaParamBytes("PathReqGBol", path)) ZiGlobs().PathReqGBol = WithTrailingSeparator(path);
  ConfigureMailRelay();
  // There is no component-object library to initialise; the connection is made by the login,
  // which knows the driver the switches ask for.
  LogaDebug("ZiGlobs 1");
  LogaDebug("ZiGlobs 2");
  SetReferenceDataLoader(CarregaDadosIniciais);
  LogaDebug("ZiGlobs 3");
  PreencheListasFixas();
  LogaDebug("ZiGlobs 4");
  LogaDebug("ZiGlobs 5");
  ZiGlobs().DbgDifChecagemBal = TemParam("DbgDifChecagemBal");
  LogaDebug("ZiGlobs end");
  SetExitProc(ZiGlobsEnd);
  RoubaOChainDeExitProcs();
}

void ZiGlobsEnd() {
  if (!started || ended) return;
  ended = true;
  LogaDebug("*ZiGlobs 0");
  SendPendingBulletin();
  LogaDebug("*ZiGlobs 0.1");
  LogaDebug("*ZiGlobs 0.2");
  LogaDebug("*ZiGlobs 0.2.1");
  LogaDebug("*ZiGlobs 0.3");
  LogaDebug("*ZiGlobs 2");
  LogaDebug("*ZiGlobs 3.1 Appl=nil?Y");
  db::DestroyZiDb();
  LogaDebug("*ZiGlobs 3.2");
  ZiGlobs().ServerClock.reset();
  LogaDebug("*ZiGlobs 3.3");
  LogaDebug("*ZiGlobs 4");
  LogaDebug("*ZiGlobs end");
}

void CliLogin() {
  if (initLogStat == InitLogStat::InProgress) {
    LogaConsole("CliLogin error: Invalid InitLogStat:" + StateText());
    return;
  }
  if (initLogStat != InitLogStat::NotTried) {
    LogaConsole("CliBasic error Invalid InitLogStat: " + StateText());
    return;
  }
  initLogStat = InitLogStat::InProgress;
  int code = InitDbConnection("", "", false, nullptr);
  initLogStat = code == 0 ? InitLogStat::LoggedIn : InitLogStat::Failed;
  if (code != 0) LogaConsole("CliBasic error:" + std::to_string(code) + " in login");
}

int CliLoginCode() { return initLogStat == InitLogStat::LoggedIn ? 0 : kCliLoginFailed; }

}  // namespace zi
