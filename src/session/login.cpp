#include "session/login.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string_view>

#include "db/connection.h"
#include "db/driver_registry.h"
#include "db/sql_errors.h"
#include "session/session.h"
#include "session/settings.h"
#include "toolbox/codec.h"
#include "toolbox/dates.h"
#include "toolbox/http.h"
#include "toolbox/import_ticket.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/message_window.h"
#include "toolbox/own_codes.h"
#include "toolbox/platform.h"
#include "toolbox/process.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"
#include "toolbox/version.h"

namespace zi {

namespace {

constexpr const char* kEmbeddedProvider = "embedded";
constexpr const char* kDefaultProvider = "SQLOLEDB.1";
constexpr const char* kDefaultDatabase = "ZorInput";
constexpr const char* kEmbeddedHost = "(local)";
constexpr int64_t kClockJumpSeconds = 300;
constexpr int kAdminVersion = 999999;
constexpr const char* kNamesAFolder = "the name ends in a path separator, so it names a folder and not a database file";
constexpr const char* kDefaultMissing = "it does not exist; name it with -database to create it";

std::unique_ptr<TLoginDialog>& Dialog() {
  static std::unique_ptr<TLoginDialog> dialog;
  return dialog;
}

ReferenceDataLoader& Loader() {
  static ReferenceDataLoader loader;
  return loader;
}

void Show(TMessageWindow* window, const std::string& text) {
  if (window) window->SetLine(1, text);
}

std::string SwitchOr(const char* name, std::string fallback) {
  std::string value;
  return PegaParam(name, value) ? value : fallback;
}

// The embedded database is a file: the database name, with ".db" when it names no extension.
std::string EmbeddedDatabaseFile(const std::string& database) {
  size_t slash = database.find_last_of('/');
  size_t dot = database.find_last_of('.');
  bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return hasExtension ? database : database + ".db";
}

int64_t SecondsSince1980(TDateTime value) {
  return static_cast<int64_t>(std::llround((value.days - kDay1980) * 86400));
}

void SetServerClock(TDateTime serverTime) {
  platform::LocalTime now = platform::Now();
  int64_t local = SecondsSince1980(DateTimeFromCalendar({now.year, now.month, now.day, now.hour, now.minute, now.second}));
  int64_t offset = local - SecondsSince1980(serverTime);
  auto& clock = ZiGlobs().ServerClock;
  if (clock && std::llabs(*clock - offset) > kClockJumpSeconds)
    Loga("SetGMT2Local : " + FormatDuration(*clock) + " -> " + FormatDuration(offset));
  clock = offset;
  Loga("ServerTime: " + FormatStampDateTime(CalendarFromDateTime(serverTime)) + " diff:" + FormatDuration(offset));
}

int RefuseDatabase(const std::string& shownName, int code, const char* why) {
  Loga("InitDbConnection database " + shownName + " erro:" + std::to_string(code) + ": " + why);
  return code;
}

// The database file the switches name (the system's bytes), or the code that refuses it. Only a
// name given by the switch may create a file: a mistyped or forgotten switch must not leave a new,
// empty database behind whose first user becomes its administrator.
int DatabaseFile(std::string& file, bool& mayCreate) {
  std::string database;
  mayCreate = PegaParamBytes("database", database);
  if (!mayCreate) database = kDefaultDatabase;
  if (database.empty()) return kLoginSettingEmpty;
  if (database.back() == '/') return RefuseDatabase(PathText(database), kDatabaseNamesAFolder, kNamesAFolder);
  file = EmbeddedDatabaseFile(database);
  std::error_code error;
  if (!mayCreate && !std::filesystem::exists(file, error)) {
    return RefuseDatabase(PathText(file), kDefaultDatabaseMissing, kDefaultMissing);
  }
  return 0;
}

// A setting of the ODBC connection: the switch, else the setting of that name.
std::string OdbcSetting(const char* switchName, const char* settingName) {
  std::string value;
  return PegaParam(switchName, value) ? value : LeReg(settingName);
}

int RefuseProvider(const std::string& provider) {
  Loga("InitDbConnection provider " + provider + " erro:" + std::to_string(kProviderNotAvailable) +
       ": this build has no driver for it (providers: " + db::RegisteredProviders() + ")");
  return kProviderNotAvailable;
}

// Makes the connection object over the provider's driver and opens it; 99002 when this build has
// no driver for the provider.
int OpenDriver(const db::ConnectionSettings& settings, TMessageWindow* window) {
  std::unique_ptr<db::Driver> driver = db::MakeDriver(settings);
  if (!driver) return RefuseProvider(settings.provider);
  Show(window, "Logging in");
  db::DestroyZiDb();
  db::CreateZiDb(std::move(driver));
  db::ZiDb().GetDriver().Open();
  return 0;
}

// A connection to a database server.
int ConnectToServer(const std::string& provider, const std::string& host, const std::string& user,
                    const std::string& password, TMessageWindow* window) {
  if (host.empty()) return kLoginSettingEmpty;
  db::ConnectionSettings settings{provider, host, SwitchOr("database", kDefaultDatabase), user, password,
                                  OdbcSetting("odbcdriver", "OdbcDriver"), OdbcSetting("odbcoptions", "OdbcOptions")};
  if (settings.database.empty()) return kLoginSettingEmpty;
  // The password is the bytes typed; the server's text, like the program's, is Windows-1252.
  if (IsValidUtf8(password)) {
    const std::optional<std::string> converted = Utf8ToCp1252(password);
    if (!converted) {
      Loga("InitDbConnection erro:" + std::to_string(kCredentialsNotCp1252) + ": " + OwnCodeText(kCredentialsNotCp1252));
      return kCredentialsNotCp1252;
    }
    settings.password = *converted;
  }
  if (const int code = OpenDriver(settings, window)) return code;
  ZiGlobs().serverHost = host;
  ZiGlobs().database = settings.database;
  return 0;
}

// Opens the connection named by the switches: the embedded database, or a server through the
// driver of the provider.
int Connect(const std::string& user, const std::string& password, const std::string& importTicket,
            TMessageWindow* window) {
  std::string host;
  const bool hostGiven = PegaParam("sqlserver", host);
  std::string provider = SwitchOr("provider", host.empty() ? kEmbeddedProvider : kDefaultProvider);
  if (provider.empty()) return kLoginSettingEmpty;
  // Before the settings that only a provider of this build would read: a provider it lacks is
  // refused as such, whatever else is missing.
  if (!db::HasDriver(provider)) return RefuseProvider(provider);
  if (!SameTextAscii(provider, kEmbeddedProvider)) return ConnectToServer(provider, host, user, password, window);
  if (hostGiven && host.empty()) return kLoginSettingEmpty;
  db::ConnectionSettings settings{kEmbeddedProvider, "", "", user, password};
  settings.importTicket = importTicket;
  if (int code = DatabaseFile(settings.database, settings.mayCreate)) return code;
  if (const int code = OpenDriver(settings, window)) return code;
  if (db::ZiDb().GetDriver().CreatedAdministrator()) {
    std::string line = "InitDbConnection new database " + PathText(settings.database) + ": user " + user +
                       " created as administrator";
    Loga(line);
    std::printf("%s\n", Cp1252ToUtf8(line).c_str());
    std::fflush(stdout);
  }
  ZiGlobs().serverHost = hostGiven ? host : kEmbeddedHost;
  ZiGlobs().database = PathText(settings.database);
  return 0;
}

// Codes that say a call did not reach the server's verdict; such an answer is not remembered.
bool IsCallFailure(int code) {
  static const std::set<int> failures = {3542, 3939, 3940, 3998, 4089, 4090, 4091, 4097, 4370};
  return failures.contains(code);
}

struct RememberedAnswer {
  int id = 0;
  bool known = false;
  bool allowed = false;
};

// The last answers of ChkEmpDoUsr and ChkAnbDoUsr; they belong to the user logged in, so every
// login forgets them.
struct RememberedAnswers {
  RememberedAnswer company;
  RememberedAnswer item;
};

RememberedAnswers& Remembered() {
  static RememberedAnswers answers;
  return answers;
}

std::string& FailureReason() {
  static std::string reason;
  return reason;
}

bool AskPermission(const char* procedure, int id, RememberedAnswer& remembered) {
  if (remembered.known && remembered.id == id) return remembered.allowed;
  int code = 3939;
  if (db::TDataSetHolder ds(db::ZiDb(), procedure); ds) code = db::ZiDb().ExecStProcId(*ds, id, 0);
  if (code != 0) ShowErrorBox("Warning", db::SqlErrorText(code));
  if (!IsCallFailure(code)) remembered = {id, true, code == 0};
  return code == 0;
}

}  // namespace

void SetLoginDialog(std::unique_ptr<TLoginDialog> dialog) { Dialog() = std::move(dialog); }

void SetReferenceDataLoader(ReferenceDataLoader loader) { Loader() = std::move(loader); }

const std::string& LoginFailureReason() { return FailureReason(); }

int InitDbConnection(std::string user, std::string password, bool exclusive, TMessageWindow* window) {
  // The embedded database is a file of this process: there is nobody to exclude.
  (void)exclusive;
  int code = 0;
  std::string failureText;
  FailureReason().clear();
  Remembered() = {};
  try {
    ZiGlobs().email.clear();
    Show(window, "Setting up");
    RotateLogFile(LogFileName(), 20000, 1000000);
    if (user.empty()) PegaParam("user", user);
    // An import started by the remote-import worker logs in as its uploader with the worker's ticket.
    const std::string importTicket = platform::EnvVar(kImportTicketVariable);
    // A password is the bytes typed, whichever way it comes: the switch and the variable alike.
    if (password.empty() && !PegaParamBytes("password", password)) password = platform::EnvVar("ZORINPUT_PASSWORD");
    if (user.empty() || (password.empty() && importTicket.empty())) {
      if (!Dialog() || !Dialog()->Ask(user, password)) code = kLoginCancelled;
    }
    if (code == 0) code = Connect(user, password, importTicket, window);
    if (code == 0) {
      Show(window, "Checking server version");
      db::ZiDb().DetectaVersaoDoServidor();
      Show(window, "Checking version");
      code = CheckClientVersionV2();
    }
    if (code == 0) {
      Show(window, "Getting user info");
      code = GetInfoDoUsuario();
    }
    if (code == 0 && Loader()) code = Loader()(window);
  } catch (const std::exception& e) {
    ReportExceptionWithCode("InitDbConnection", code, e, kLoginException);
    failureText = std::string("exception:") + e.what();
    // A bare code's exception says nothing the code's text does not.
    if (std::string_view(e.what()).rfind("EDBException:", 0) != 0) FailureReason() = e.what();
  }
  if (code == 0 && !EstaConectado(false)) code = kLoginNotConnected;
  // A failed login leaves the connection unconnected: a later call answers kNotConnected instead of
  // reconnecting to a database that nobody logged in to.
  if (code != 0) db::DestroyZiDb();
  if (code != 0) {
    if (failureText.empty()) failureText = db::SqlErrorText(code);
    Show(window, "Error " + std::to_string(code));
    Loga("InitDbConnection error:" + std::to_string(code));
    ClearUserInfo();
    ReportaFalha("login error:" + user,
                 {"usr", user, "error", std::to_string(code), "msgerro", failureText, "program", ParamStr(0)}, "gor");
  }
  return code;
}

int CheckClientVersionV2() {
  db::TDataSetHolder ds(db::ZiDb(), "CheckClientVersionV2");
  if (!ds) return ds.Failure(kVersionCheckNotPrepared);
  bool adminVersion = TemParam("AdminVersion");
  ds->SetInteger("@ClientVersion", adminVersion ? kAdminVersion : kClientVersion);
  ds->SetInteger("@PatchNum", adminVersion ? kAdminVersion : kPatchNum);
  int code = db::ZiDb().ExecStProc(*ds, 0);
  if (adminVersion && code == 7125) code = 0;
  if (code == 0) SetServerClock(ds->ParamAsDateTime("@ServerTime"));
  else Loga("CheckClientVersion error:" + std::to_string(code));
  return code;
}

int GetInfoDoUsuario() {
  ClearUserInfo();
  db::TDataSetHolder ds(db::ZiDb(), "GetInfoDoUsuario");
  if (!ds) return ds.Failure(3939);
  int code = db::ZiDb().ExecStProc(*ds, 0);
  if (code != 0) return code;
  TZiGlobs& g = ZiGlobs();
  g.SourceDoBal = ds->ParamAsByte("@SourceDoBal");
  g.UserFlag = static_cast<uint32_t>(ds->ParamAsInteger("@UserFlag"));
  g.email = ds->ParamAsText("@email");
  g.name = ds->ParamAsText("@name");
  g.uid = ds->ParamAsInteger("@uid");
  g.IsAdmin = ds->ParamAsBoolean("@IsAdmin");
  g.lingua = ds->ParamAsInteger("@lingua");
  return 0;
}

bool EstaConectado(bool warn) {
  bool connected = db::HaveZiDb() && db::ZiDb().Connected();
  if (!connected && warn) ShowErrorBox("Warn", "Not logged!");
  return connected;
}

bool ChkEmpDoUsr(int companyId) {
  return AskPermission("ChkEmpDoUsr", companyId, Remembered().company);
}

bool ChkAnbDoUsr(int id) {
  return AskPermission("ChkAnbDoUsr", id, Remembered().item);
}

int ReportaFalha(const std::string& subject, const std::vector<std::string>& pairs, const std::string& recipient) {
  std::vector<std::string> message = {"TO",
                                      recipient.empty() ? "g" : recipient,
                                      "SUBJ",
                                      "ZorInput " + subject,
                                      "useratmachine",
                                      "\"" + UserAtMachine() + "\"",
                                      "ZorInput-version",
                                      kVersionText,
                                      "ZiDbUser",
                                      ZiGlobs().name,
                                      "executable-file",
                                      ParamStr(0)};
  message.insert(message.end(), pairs.begin(), pairs.end());
  return SendHttpMail(message);
}

}  // namespace zi
