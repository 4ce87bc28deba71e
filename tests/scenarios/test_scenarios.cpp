// End-to-end behaviour as scenario files: each *.scenario in this folder names the command line,
// the files the run finds in its working folder, the exit status, and the log lines it must write.
//
//   # what the scenario shows
//   demo: yes   (optional: zi.db starts as "zorinput-server init --demo" makes it)
//   args: /import=in.txt /user=ana /password=pw /database=zi.db
//   status: 2
//   === file in.txt
//   (the file's lines, written with LF)
//   === log
//   (lines the log must hold, in this order, without their stamps; other lines may come between;
//    a line ending in "..." matches every line that begins with the rest)
//   === absent
//   (lines, matched the same way, that the log must not hold)
//   === dump TABLE
//   (every row of TABLE in zi.db, the run's database, after the run, as "zorinput-server dump"
//    prints them: one line per row, sorted, a row ending in "..." matched as the log lines are;
//    a table may have several such sections)
//
// Each scenario runs the built program in a fresh folder with a fresh embedded database (the demo
// one when it asks).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "support/child_process.h"
#include "support/test_files.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

struct TScenario {
  std::string name;
  std::vector<std::string> args;
  int status = -1;
  bool demo = false;
  std::map<std::string, std::string> files;
  std::vector<std::string> log;
  std::vector<std::string> absent;
  std::map<std::string, std::string> dumps;  // the expected rows, by table
};

void PrintTo(const TScenario& scenario, std::ostream* out) { *out << scenario.name; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TScenario Read(const std::filesystem::path& path) {
  TScenario scenario{path.stem().string()};
  std::string* section = nullptr;
  std::string logText;
  std::string absentText;
  for (const std::string& line : Lines(test::ReadFile(path.string()))) {
    if (line.starts_with("=== file ")) {
      section = &scenario.files[line.substr(9)];
    } else if (line == "=== log") {
      section = &logText;
    } else if (line == "=== absent") {
      section = &absentText;
    } else if (line.starts_with("=== dump ")) {
      section = &scenario.dumps[line.substr(9)];
    } else if (section) {
      *section += line + "\n";
    } else if (line.starts_with("args: ")) {
      scenario.args = SplitCommandLine(line.substr(6));
    } else if (line == "demo: yes") {
      scenario.demo = true;
    } else if (line.starts_with("status: ")) {
      scenario.status = std::stoi(line.substr(8));
    }
  }
  scenario.log = Lines(logText);
  scenario.absent = Lines(absentText);
  return scenario;
}

bool Matches(const std::string& expected, const std::string& line) {
  if (expected.ends_with("...")) return line.starts_with(expected.substr(0, expected.size() - 3));
  return line == expected;
}

// The expected lines that the log does not hold in order; empty when it holds them all.
std::vector<std::string> Missing(const std::vector<std::string>& expected, const std::vector<std::string>& log) {
  size_t at = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    while (at < log.size() && !Matches(expected[i], log[at])) ++at;
    if (at == log.size()) return {expected.begin() + static_cast<std::ptrdiff_t>(i), expected.end()};
    ++at;
  }
  return {};
}

// The rows of a table in the text of "zorinput-server dump".
std::string TableRows(const std::string& dump, const std::string& table) {
  std::string rows;
  bool in = false;
  for (const std::string& line : Lines(dump)) {
    if (line.starts_with("[")) in = line == "[" + table + "]";
    else if (in) rows += line + "\n";
  }
  return rows;
}

std::string DumpOf(const test::TempDir& dir) {
  const std::string out = dir.File("dump.out");
  const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const pid_t pid = test::StartProgram(ZI_SERVER_PATH, {"dump", "zi.db"}, dir.Path(), fd);
  ::close(fd);
  EXPECT_EQ(test::WaitWithin(pid, 60), 0) << "zorinput-server dump";
  return test::ReadFile(out);
}

std::vector<TScenario> All() {
  std::vector<TScenario> scenarios;
  for (const auto& entry : std::filesystem::directory_iterator(ZI_SCENARIOS_DIR)) {
    if (entry.path().extension() == ".scenario") scenarios.push_back(Read(entry.path()));
  }
  std::sort(scenarios.begin(), scenarios.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return scenarios;
}

class ScenarioTest : public testing::TestWithParam<TScenario> {
 protected:
  test::TempDir temp_;
  test::EnvGuard tempVar_{"TEMP", temp_.Path().c_str()};
  test::EnvGuard xdg_{"XDG_CONFIG_HOME", temp_.Path().c_str()};
  test::EnvGuard password_{"ZORINPUT_PASSWORD", nullptr};
};

TEST_P(ScenarioTest, RunsAsWritten) {
  const TScenario& scenario = GetParam();
  ASSERT_NE(scenario.status, -1) << scenario.name << ": no status line";
  test::TempDir dir;
  for (const auto& [name, content] : scenario.files) test::WriteFile(dir.File(name), content);
  const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (scenario.demo) {
    ASSERT_EQ(test::WaitWithin(test::StartProgram(ZI_SERVER_PATH, {"init", "--demo", "zi.db"}, dir.Path(), quiet), 60), 0)
        << "zorinput-server init --demo";
  }
  const pid_t pid = test::StartProgram(ZI_ZORINPUT_PATH, scenario.args, dir.Path(), quiet);
  ::close(quiet);
  EXPECT_EQ(test::WaitWithin(pid, 120), scenario.status) << scenario.name;
  const std::vector<std::string> log = test::WithoutStamps(test::ReadLines(dir.File("zorinput.log")));
  EXPECT_THAT(Missing(scenario.log, log), testing::IsEmpty()) << scenario.name << ": the log holds\n"
                                                               << testing::PrintToString(log);
  for (const std::string& unwanted : scenario.absent) {
    EXPECT_THAT(Missing({unwanted}, log), testing::Not(testing::IsEmpty())) << scenario.name << ": " << unwanted;
  }
  if (scenario.dumps.empty()) return;
  const std::string dump = DumpOf(dir);
  for (const auto& [table, rows] : scenario.dumps) {
    const std::vector<std::string> expected = Lines(rows);
    const std::vector<std::string> actual = Lines(TableRows(dump, table));
    bool same = expected.size() == actual.size();
    for (size_t i = 0; same && i < expected.size(); ++i) same = Matches(expected[i], actual[i]);
    EXPECT_TRUE(same) << scenario.name << ": table " << table << " holds\n" << TableRows(dump, table);
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioTest, testing::ValuesIn(All()),
                         [](const testing::TestParamInfo<TScenario>& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace zi
