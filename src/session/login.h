#pragma once
// The database session: InitDbConnection and its steps, the user's questions to the server, and
// the failure reports.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolbox/own_codes.h"

namespace zi {

class TMessageWindow;

inline constexpr int kLoginCancelled = 4272;
inline constexpr int kLoginSettingEmpty = 4217;
inline constexpr int kLoginException = 3714;
inline constexpr int kLoginNotConnected = 3715;
inline constexpr int kVersionCheckNotPrepared = 4462;

// Asks for a user name (program text) and a password (the UTF-8 bytes typed); false when the user
// cancels. Unattended runs have no dialog.
class TLoginDialog {
 public:
  virtual ~TLoginDialog() = default;
  virtual bool Ask(std::string& user, std::string& password) = 0;
};
void SetLoginDialog(std::unique_ptr<TLoginDialog> dialog);

// The whole session sequence; 0 when the session is open. The password is the UTF-8 bytes typed.
int InitDbConnection(std::string user, std::string password, bool exclusive, TMessageWindow* window);
// What the driver or the server said when the last InitDbConnection failed (a refused login's
// message, say); empty when the failure came with its code alone.
const std::string& LoginFailureReason();
int CheckClientVersionV2();
int GetInfoDoUsuario();

// Whether the connection exists and is open; with warn, says so in a box when it is not.
bool EstaConectado(bool warn);

// May the user change this company (this series)? A refusal is shown in a box. The last question
// of each kind is remembered with its answer.
bool ChkEmpDoUsr(int companyId);
bool ChkAnbDoUsr(int id);

// Sends a failure report to the support staff through the mail relay; returns the relay's code,
// which callers may ignore: a failed report never changes a run's result.
int ReportaFalha(const std::string& subject, const std::vector<std::string>& pairs, const std::string& recipient);

// The reference data loaded at the end of a login (installed by the reference-data subsystem).
using ReferenceDataLoader = std::function<int(TMessageWindow* window)>;
void SetReferenceDataLoader(ReferenceDataLoader loader);

}  // namespace zi
