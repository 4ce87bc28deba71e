#include "server/server_tool.h"

#include <filesystem>

#include "server/server.h"

namespace zi::server {

namespace {

constexpr const char* kUsage =
    "usage: zorinput-server init FILE   create the database FILE, or bring it up to date\n"
    "       zorinput-server dump FILE   print every table of the database FILE\n";

int Init(const std::string& path, std::ostream& out) {
  const std::unique_ptr<Server> server = Server::Open(path, ProductRegistry());
  out << path << ": ZorInput database, schema version " << server->SchemaVersion() << "\n";
  return 0;
}

int Dump(const std::string& path, std::ostream& out, std::ostream& err) {
  // Dumping must not leave a new database behind where there was none.
  if (!std::filesystem::exists(path)) {
    err << "zorinput-server: " << path << " does not exist\n";
    return 1;
  }
  out << Server::Open(path, ProductRegistry())->Dump();
  return 0;
}

}  // namespace

int RunServerTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2 || (args[0] != "init" && args[0] != "dump")) {
    err << kUsage;
    return 2;
  }
  try {
    return args[0] == "init" ? Init(args[1], out) : Dump(args[1], out, err);
  } catch (const std::exception& e) {
    err << "zorinput-server: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace zi::server
