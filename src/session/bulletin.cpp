#include "session/bulletin.h"

#include "db/connection.h"
#include "session/login.h"
#include "toolbox/lifecycle.h"
#include "toolbox/log.h"
#include "toolbox/text.h"

namespace zi {

namespace {

int pendingPriority = 0;
std::string requesterText;

}  // namespace

void PedeBoletim(int priority) {
  if (priority <= 0) return;
  if (pendingPriority == 0 || priority < pendingPriority) pendingPriority = priority;
}

int PendingBulletinPriority() { return pendingPriority; }

void AppendRequester(const std::string& note) { requesterText += note; }

const std::string& RequesterText() { return requesterText; }

int ReqGBol(const std::string& reason) {
  std::string motivo = Trim(reason);
  int code = 3939;
  if (db::TDataSetHolder ds(db::ZiDb(), "ReqGBol"); ds) {
    ds->SetInteger("@Prioridade", pendingPriority);
    ds->SetText("@Motivo", motivo);
    code = db::ZiDb().ExecStProc(*ds, 0);
  }
  Loga("ReqGBol Pri:" + std::to_string(pendingPriority) + " " + (code == 0 ? "ok" : "error:" + std::to_string(code)) +
       " " + motivo);
  if (code == 0) pendingPriority = 0;
  else ReportaFalha("ReqGBol error", {"ReqGBol-Error", std::to_string(code), "Caller", "\"" + motivo + "\""}, "g");
  return code;
}

void SendPendingBulletin() {
  if (ExitCode() != 0 || requesterText.empty()) return;
  int code = 0;
  if (!EstaConectado(false)) {
    code = kBulletinNoConnection;
  } else {
    try {
      code = ReqGBol("[ZiGlobs.fini " + requesterText + "]");
    } catch (const std::exception& e) {
      Loga(std::string("CSFRqGBNS error:") + e.what());
      code = kBulletinSendRaised;
    }
  }
  SetExitCode(code);
  LogaConsole("- ZiGlobs Fini ReqGBol erro:" + std::to_string(ExitCode()) + " requester:" + requesterText);
  requesterText.clear();
}

void ResetBulletinRequest() {
  pendingPriority = 0;
  requesterText.clear();
}

}  // namespace zi
