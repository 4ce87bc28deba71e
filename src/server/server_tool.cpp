#include "server/server_tool.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "server/demo_catalogue.h"
#include "server/demo_holdings.h"
#include "server/demo_portfolios.h"
#include "server/demo_corporate.h"
#include "server/demo_statements.h"
#include "server/import_worker.h"
#include "server/server.h"
#include "server/sqlite_db.h"
#include "toolbox/codec.h"
#include "toolbox/platform.h"

namespace zi::server {

namespace {

constexpr const char* kUsage =
    "usage: zorinput-server init FILE   create the database FILE, or bring it up to date\n"
    "       zorinput-server init --demo FILE\n"
    "                                   the same, then add a few demo companies with their classes,\n"
    "                                   series and three years of prices to a database that holds\n"
    "                                   no company\n"
    "       zorinput-server dump FILE   print every table of the database FILE\n"
    "       zorinput-server useradd FILE NAME [--email E] [--admin] [--flags N] [--source N] [--language N]\n"
    "                                   add the user NAME to the database FILE with the password\n"
    "                                   held in ZORINPUT_PASSWORD; flags 0 to 2147483647, source\n"
    "                                   0 to 255, language 0 to 2\n"
    "       zorinput-server import-worker FILE [--until-empty] [--mail-relay HOST] [--program PATH]\n"
    "                                   import the files queued by remote imports into FILE, each as\n"
    "                                   its uploader with the zorinput program beside this one (or\n"
    "                                   PATH), and mail each outcome through the relay HOST; stops\n"
    "                                   on SIGTERM or SIGINT after the file in hand, or with\n"
    "                                   --until-empty when the queue is empty\n";

// The password never comes from the command line, which every user of the machine can list.
constexpr const char* kPasswordVariable = "ZORINPUT_PASSWORD";

struct UserAddRequest {
  std::string path;
  std::string shownName;  // as given, for the messages
  UserRecord user;
  std::string password;
};

struct IntegerOption {
  std::string_view name;
  int64_t max;
  void (*set)(UserRecord&, int64_t);
};

constexpr IntegerOption kIntegerOptions[] = {
    {"--flags", kMaxUserFlag, [](UserRecord& user, int64_t value) { user.userFlag = value; }},
    {"--source", kMaxSourceDoBal, [](UserRecord& user, int64_t value) { user.sourceDoBal = static_cast<int>(value); }},
    {"--language", kMaxLingua, [](UserRecord& user, int64_t value) { user.lingua = static_cast<int>(value); }},
};

std::optional<int64_t> ParseInteger(std::string_view text, int64_t max) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || value < 0 || value > max) return std::nullopt;
  return value;
}

// Arguments and the environment are UTF-8; the server takes program text (Windows-1252).
bool ToProgramText(std::string_view utf8, std::string& text) {
  std::optional<std::string> converted = Utf8ToCp1252(utf8);
  if (converted) text = std::move(*converted);
  return converted.has_value();
}

std::string NotProgramText(std::string_view what) {
  return std::string(what) + " is not UTF-8 text that Windows-1252 can hold";
}

// Fills request from "useradd FILE NAME options...": "" when it can, else why it cannot.
std::string ParseUserAdd(const std::vector<std::string>& args, UserAddRequest& request) {
  request.path = args[1];
  request.shownName = args[2];
  if (args[2].empty()) return "the user name is empty";
  if (!ToProgramText(args[2], request.user.name)) return NotProgramText("the user name");
  for (size_t i = 3; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--admin") {
      request.user.isAdmin = true;
      continue;
    }
    const IntegerOption* integer = nullptr;
    for (const IntegerOption& o : kIntegerOptions) {
      if (o.name == option) integer = &o;
    }
    if (!integer && option != "--email") return "unknown option " + option;
    if (i + 1 == args.size()) return option + " needs a value";
    const std::string& value = args[++i];
    if (!integer) {
      if (!ToProgramText(value, request.user.email)) return NotProgramText("the e-mail");
      continue;
    }
    const std::optional<int64_t> number = ParseInteger(value, integer->max);
    if (!number) return option + " takes an integer from 0 to " + std::to_string(integer->max) + ", not " + value;
    integer->set(request.user, *number);
  }
  // The password is hashed as the UTF-8 bytes typed, as every login hashes it.
  request.password = platform::EnvVar(kPasswordVariable);
  if (request.password.empty()) return std::string("set ") + kPasswordVariable + " to the new user's password";
  if (!IsValidUtf8(request.password)) return std::string(kPasswordVariable) + " is not UTF-8 text";
  return "";
}

// Fills options from "import-worker FILE options...": "" when it can, else why it cannot.
std::string ParseImportWorker(const std::vector<std::string>& args, ImportWorkerOptions& options) {
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--until-empty") {
      options.untilEmpty = true;
      continue;
    }
    if (option != "--mail-relay" && option != "--program") return "unknown option " + option;
    if (i + 1 == args.size()) return option + " needs a value";
    (option == "--program" ? options.program : options.mailRelay) = args[++i];
  }
  return "";
}

// Only init creates a database, and only init brings one up to date after checking it is whole;
// dump reads the file as it is.
int Init(const std::string& path, bool demo, std::ostream& out) {
  const int version =
      Server::Open(path, ProductRegistry(), {.mayCreate = true, .checkIntegrity = true})->SchemaVersion();
  out << path << ": ZorInput database, schema version " << version << "\n";
  if (!demo) return 0;
  {
    const std::unique_ptr<SqliteDb> db = SqliteDb::Open(path);
    AddDemoCatalogue(*db);
    AddDemoStatements(*db);
    AddDemoHoldings(*db);
    AddDemoPortfolios(*db);
    AddDemoCorporateEvents(*db);
  }
  out << path << ": demo catalogue added\n";
  return 0;
}

int Dump(const std::string& path, std::ostream& out) {
  out << Server::OpenToRead(path, ProductRegistry())->Dump();
  return 0;
}

int UserAdd(const UserAddRequest& request, std::ostream& out, std::ostream& err) {
  const auto server = Server::Open(request.path, ProductRegistry(), {.mayCreate = false});
  if (server->AddUser(request.user, request.password) == 0) {
    err << "zorinput-server: user " << request.shownName << " already exists\n";
    return 1;
  }
  out << request.path << ": user " << request.shownName << " added\n";
  return 0;
}

bool KnownCommand(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  if (args[0] == "init" && args.size() == 3) return args[1] == "--demo";
  if (args[0] == "init" && args.size() == 2) return args[1] != "--demo";
  if (args[0] == "init" || args[0] == "dump") return args.size() == 2;
  return (args[0] == "useradd" || args[0] == "import-worker") && args.size() >= (args[0] == "useradd" ? 3u : 2u);
}

}  // namespace

int RunServerTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!KnownCommand(args)) {
    err << kUsage;
    return 2;
  }
  UserAddRequest request;
  ImportWorkerOptions worker;
  if (args[0] == "useradd" || args[0] == "import-worker") {
    const std::string wrong = args[0] == "useradd" ? ParseUserAdd(args, request) : ParseImportWorker(args, worker);
    if (!wrong.empty()) {
      err << "zorinput-server: " << wrong << "\n" << kUsage;
      return 2;
    }
  }
  try {
    if (args[0] == "init") return Init(args.back(), args.size() == 3, out);
    if (args[0] == "dump") return Dump(args[1], out);
    if (args[0] == "import-worker") return RunImportWorker(args[1], worker, out, err);
    return UserAdd(request, out, err);
  } catch (const std::exception& e) {
    err << "zorinput-server: " << Cp1252ToUtf8(e.what()) << "\n";
    return 1;
  }
}

}  // namespace zi::server
