#pragma once
// Requests to the bulletin generator: the most urgent priority asked for during the run, sent once
// at the end of the process (or at once by ReqGBol).

#include <string>

namespace zi {

inline constexpr int kBulletinSendRaised = 3796;
inline constexpr int kBulletinNoConnection = 3797;

// Keeps the smallest positive priority asked for; 0 or less is ignored.
void PedeBoletim(int priority);
int PendingBulletinPriority();

// The bracketed notes of the parts that want a bulletin ("[/reqgbol]").
void AppendRequester(const std::string& note);
const std::string& RequesterText();

// Sends the request now; 0 or the code (a failure is reported to the support staff).
int ReqGBol(const std::string& reason);

// At the end of the process: sends the pending request when the run succeeded and something asked
// for one; the result becomes the process's exit code.
void SendPendingBulletin();

// Clears the pending request and the requester text (a new session, or tests).
void ResetBulletinRequest();

}  // namespace zi
