// zorinput-server as an administrator runs it.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "server_support.h"

namespace zi::server::test {
namespace {

using testing::HasSubstr;
using testing::MatchesRegex;
using ::zi::test::ReadFile;
using ::zi::test::WriteFile;

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

class ServerToolTest : public testing::Test {
 protected:
  // Runs the built tool with its output and errors caught in files.
  ToolRun Run(const std::vector<std::string>& args) {
    const std::string outPath = dir_.File("out.txt");
    const std::string errPath = dir_.File("err.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      std::vector<char*> argv{const_cast<char*>(ZI_SERVER_TOOL)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(ZI_SERVER_TOOL, argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(outPath), ReadFile(errPath)};
  }

  TempDir dir_;
  std::string path_ = dir_.File("zi.db");
};

TEST_F(ServerToolTest, InitCreatesADatabaseThatDumpShows) {
  const ToolRun init = Run({"init", path_});
  EXPECT_EQ(init.status, 0);
  EXPECT_EQ(init.out, path_ + ": ZorInput database, schema version 1\n");
  EXPECT_EQ(init.err, "");
  EXPECT_EQ(Run({"init", path_}).status, 0);

  Server::Open(path_, TestRegistry())->ExecuteSql("CREATE TABLE notes (text TEXT)");
  Server::Open(path_, TestRegistry())->ExecuteSql("INSERT INTO notes VALUES (?)", {"linha 1\r\nA\xE7\xE3o"});
  const ToolRun dump = Run({"dump", path_});
  EXPECT_EQ(dump.status, 0);
  EXPECT_THAT(dump.out, MatchesRegex("\\[notes\\]\n"
                                     "text=linha 1\\\\r\\\\nA\xC3\xA7\xC3\xA3o\n"
                                     "\\[server_info\\]\n"
                                     "key=created\\|value=[0-9T:Z-]+\n"
                                     "key=schema_version\\|value=1\n"));
  EXPECT_EQ(dump.err, "");
}

TEST_F(ServerToolTest, RefusesAFileThatIsNotOursAndLeavesItAlone) {
  WriteFile(path_, "not a database at all, just some text that someone keeps here\n");
  const std::string before = ReadFile(path_);
  for (const char* command : {"init", "dump"}) {
    const ToolRun run = Run({command, path_});
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.out, "") << command;
    EXPECT_EQ(run.err, "zorinput-server: " + path_ + " is not a ZorInput database\n") << command;
  }
  EXPECT_EQ(ReadFile(path_), before);
}

TEST_F(ServerToolTest, DumpOfAMissingFileCreatesNothing) {
  const ToolRun run = Run({"dump", path_});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "zorinput-server: " + path_ + " does not exist\n");
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(ServerToolTest, InitInAMissingDirectoryFails) {
  const ToolRun run = Run({"init", dir_.File("no/zi.db")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "zorinput-server: Cannot create database file " + dir_.File("no/zi.db") + ": No such file or directory\n");
}

TEST_F(ServerToolTest, CommandsItDoesNotKnowGetTheUsage) {
  const std::vector<std::vector<std::string>> wrong = {
      {}, {"init"}, {"dump"}, {"help"}, {"init", "a", "b"}, {"Init", path_}, {"--dump", path_}};
  for (const auto& args : wrong) {
    const ToolRun run = Run(args);
    EXPECT_EQ(run.status, 2) << args.size();
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, testing::StartsWith("usage: zorinput-server init FILE"));
    EXPECT_THAT(run.err, HasSubstr("zorinput-server dump FILE"));
  }
  EXPECT_FALSE(std::filesystem::exists(path_));
}

}  // namespace
}  // namespace zi::server::test
