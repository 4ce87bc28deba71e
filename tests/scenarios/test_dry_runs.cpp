// Check-only runs and dry runs seen from outside: the built program on a database file, whose rows
// are compared before and after, and a real import of the same file on a copy of the database that
// says what the dry run should have counted.

#include <sqlite3.h>
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "support/child_process.h"
#include "support/test_files.h"

namespace zi {
namespace {

using testing::Contains;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

struct TCounts {
  int64_t added = 0;
  int64_t changed = 0;
  int64_t deleted = 0;
  bool operator==(const TCounts&) const = default;
};

void PrintTo(const TCounts& c, std::ostream* out) {
  *out << "added:" << c.added << " changed:" << c.changed << " deleted:" << c.deleted;
}

using TTableCounts = std::map<std::string, TCounts>;

// A quoted SQL identifier.
std::string Quoted(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

class TSqlite {
 public:
  explicit TSqlite(const std::string& path) { sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr); }
  ~TSqlite() { sqlite3_close_v2(db_); }
  TSqlite(const TSqlite&) = delete;
  TSqlite& operator=(const TSqlite&) = delete;

  // Every row of a query, each value as text (NULL as an empty optional is not needed here).
  std::vector<std::vector<std::string>> Rows(const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql << ": " << sqlite3_errmsg(db_);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const unsigned char* text = sqlite3_column_text(stmt, i);
        row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
      }
      rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    return rows;
  }
  int64_t Count(const std::string& sql) { return std::stoll(Rows(sql).at(0).at(0)); }

 private:
  sqlite3* db_ = nullptr;
};

// The rows each table gained, changed and lost from one file to the other, told apart by their
// primary keys (or rowids): what a dry run is to count.
TTableCounts ChangesBetween(const std::string& before, const std::string& after) {
  TSqlite db(after);
  db.Rows("ATTACH DATABASE '" + before + "' AS b");
  TTableCounts changes;
  for (const auto& table : db.Rows("SELECT name FROM main.sqlite_master WHERE type = 'table' AND name NOT LIKE "
                                   "'sqlite%' ORDER BY name")) {
    const std::string t = Quoted(table[0]);
    std::string key;
    std::string same;
    for (const auto& column : db.Rows("SELECT name, pk FROM pragma_table_info(" + Quoted(table[0]) + ")")) {
      const std::string term = "a." + Quoted(column[0]) + " IS x." + Quoted(column[0]);
      if (column[1] != "0") key += (key.empty() ? "" : " AND ") + term;
      same += (same.empty() ? "" : " AND ") + term;
    }
    // A table without a declared key is told apart by its rowid.
    if (key.empty()) key = "a.rowid IS x.rowid";
    TCounts c;
    c.added = db.Count("SELECT count(*) FROM main." + t + " a WHERE NOT EXISTS (SELECT 1 FROM b." + t + " x WHERE " +
                       key + ")");
    c.deleted = db.Count("SELECT count(*) FROM b." + t + " a WHERE NOT EXISTS (SELECT 1 FROM main." + t +
                         " x WHERE " + key + ")");
    c.changed = db.Count("SELECT count(*) FROM main." + t + " a JOIN b." + t + " x ON " + key + " WHERE NOT (" +
                         same + ")");
    if (c != TCounts{}) changes[table[0]] = c;
  }
  return changes;
}

TTableCounts CountsOfSummary(const nlohmann::json& summary) {
  TTableCounts counts;
  for (const auto& t : summary.at("dryRun").at("tables"))
    counts[t.at("table")] = {t.at("added").get<int64_t>(), t.at("changed").get<int64_t>(), t.at("deleted").get<int64_t>()};
  return counts;
}

// The lines of a log that start with one of the prefixes.
std::vector<std::string> LinesStartingWith(const std::vector<std::string>& log, std::initializer_list<const char*> prefixes) {
  std::vector<std::string> lines;
  for (const std::string& line : log) {
    for (const char* prefix : prefixes)
      if (line.starts_with(prefix)) lines.push_back(line);
  }
  return lines;
}

class DryRunTest : public testing::Test {
 protected:
  void SetUp() override {
    const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ASSERT_EQ(test::WaitWithin(test::StartProgram(ZI_SERVER_PATH, {"init", "--demo", "zi.db"}, dir_.Path(), quiet), 60), 0);
    ::close(quiet);
    // The first login makes its user: a row of its own, before anything is compared.
    test::WriteFile(dir_.File("nothing.txt"), "# nothing\n");
    ASSERT_EQ(Run("login", {"/import=nothing.txt", "/checkonly"}), 0);
  }

  // Runs the program on zi.db as ana; its log is kept under the name given.
  int Run(const std::string& name, std::vector<std::string> args, int seconds = 120) {
    args.insert(args.end(), {"/user=ana", "/password=pw", "/database=zi.db"});
    const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const int status = test::WaitWithin(test::StartProgram(ZI_ZORINPUT_PATH, args, dir_.Path(), quiet), seconds);
    ::close(quiet);
    std::filesystem::rename(dir_.File("zorinput.log"), dir_.File(name + ".log"));
    return status;
  }
  std::vector<std::string> Log(const std::string& name) {
    return test::WithoutStamps(test::ReadLines(dir_.File(name + ".log")));
  }
  std::string Dump() {
    const std::string out = dir_.File("dump.out");
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t pid = test::StartProgram(ZI_SERVER_PATH, {"dump", "zi.db"}, dir_.Path(), fd);
    ::close(fd);
    EXPECT_EQ(test::WaitWithin(pid, 60), 0) << "zorinput-server dump";
    return test::ReadFile(out);
  }
  // A copy of the database as it is now (no program has it open).
  void Snapshot(const std::string& name) {
    for (const char* suffix : {"", "-wal"}) {
      std::error_code error;
      std::filesystem::copy_file(dir_.File(std::string("zi.db") + suffix), dir_.File(name + suffix),
                                 std::filesystem::copy_options::overwrite_existing, error);
    }
  }
  nlohmann::json Summary(const std::string& file) { return nlohmann::json::parse(test::ReadFile(dir_.File(file))); }

  test::TempDir dir_;
  test::EnvGuard tempVar_{"TEMP", dir_.Path().c_str()};
  test::EnvGuard xdg_{"XDG_CONFIG_HOME", dir_.Path().c_str()};
  test::EnvGuard password_{"ZORINPUT_PASSWORD", nullptr};
};

struct TCase {
  std::string name;
  std::string file;     // its name in the run's folder
  std::string content;  // empty: the example of that name
  std::string before;   // an example imported for real first, when the file needs it
};

void PrintTo(const TCase& c, std::ostream* out) { *out << c.name; }

std::string Example(const std::string& name) { return test::ReadFile(std::string(ZI_EXAMPLES_DIR) + "/" + name); }

// The check of the import pass, lines whose series are unknown, fail alone; the others are imported.
constexpr const char* kSomeLinesFail =
    "*QT \"PETR4\" 1 2024-04-08 37.10 36.85 37.62 37.31 37.45 41230 38512300 1436921100\n"
    "*ISIN NOSUCH3 1 BRNOSUACNOR1\n"
    "*ISIN PETR4 1 BRPETRACNPR6\n"
    "*SERIESTATUS NOSUCH3 1 5\n"
    "*SERIESTATUS VALE3 1 5\n"
    "*QT \"VALE3\" 1 2024-04-08 61.20 60.75 61.98 61.42 61.80 35220 21877400 1343717100\n";

class DryRunOfFileTest : public DryRunTest, public testing::WithParamInterface<TCase> {};

TEST_P(DryRunOfFileTest, ShowsWhatTheImportWouldDoAndLeavesTheDatabaseAsItWas) {
  const TCase& c = GetParam();
  if (!c.before.empty()) {
    test::WriteFile(dir_.File(c.before), Example(c.before));
    ASSERT_EQ(Run("before", {"/import=" + c.before}), 0);
  }
  const std::string content = c.content.empty() ? Example(c.file) : c.content;
  test::WriteFile(dir_.File(c.file), content);
  const bool json = c.file.ends_with(".json");
  if (!json) {
    EXPECT_EQ(Run("check", {"/import=" + c.file, "/checkonly", "/summary=check.json"}), 0);
    EXPECT_THAT(Log("check"), Contains("check ok"));
    EXPECT_THAT(Log("check"), Not(Contains("check ok, starting import")));
    EXPECT_EQ(Summary("check.json").at("kind"), "checkonly");
  }
  const std::string dump = Dump();
  Snapshot("before.db");

  const int dryStatus = Run("dry", {"/import=" + c.file, "/dryrun", "/summary=dry.json", "/rejects=dry.rej"});
  EXPECT_EQ(Dump(), dump) << "the dry run wrote nothing";
  EXPECT_EQ(test::ReadFile(dir_.File(c.file)), content) << "nor wrote the file back";
  const nlohmann::json dry = Summary("dry.json");
  EXPECT_EQ(dry.at("kind"), "dryrun");
  EXPECT_TRUE(dry.at("nothingWritten"));
  EXPECT_TRUE(dry.at("dryRun").at("complete"));
  EXPECT_THAT(Log("dry"), Contains("- dry run rolled back: nothing written"));

  const int realStatus = Run("real", {"/import=" + c.file, "/summary=real.json", "/rejects=real.rej"});
  EXPECT_EQ(dryStatus, realStatus);
  const nlohmann::json real = Summary("real.json");
  for (const char* field : {"resultCode", "ok", "lines", "records", "messages", "failedLines", "failedRecords",
                            "firstMessage", "lastMessage"})
    EXPECT_EQ(dry.at(field), real.at(field)) << field;
  EXPECT_EQ(test::ReadFile(dir_.File("dry.rej")), test::ReadFile(dir_.File("real.rej")));
  // Line by line, the same messages.
  EXPECT_EQ(LinesStartingWith(Log("dry"), {"line:", "check ok"}), LinesStartingWith(Log("real"), {"line:", "check ok"}));

  TTableCounts expected = ChangesBetween(dir_.File("before.db"), dir_.File("zi.db"));
  // The real run registers the bulletins of its prices, one data-log row each; the dry run names them
  // and registers none.
  const auto bulletins = LinesStartingWith(Log("real"), {"- BolCot: "});
  EXPECT_EQ(LinesStartingWith(Log("dry"), {"- BolCot: "}).size(), bulletins.size());
  for (const std::string& line : LinesStartingWith(Log("dry"), {"- BolCot: "}))
    EXPECT_THAT(line, HasSubstr("(dry run: not registered)"));
  TCounts expectedLog = expected["DataLog"];
  expected.erase("DataLog");
  expectedLog.added -= static_cast<int64_t>(bulletins.size());
  TTableCounts counted = CountsOfSummary(dry);
  const TCounts countedLog = counted["DataLog"];
  counted.erase("DataLog");
  EXPECT_EQ(countedLog, expectedLog);
  EXPECT_THAT(counted, Not(IsEmpty())) << "each of these files changes something";
  EXPECT_EQ(counted, expected);
  if (json) {
    EXPECT_THAT(dry.at("dryRun").at("jsonEntries"), Not(IsEmpty()));
    EXPECT_NE(test::ReadFile(dir_.File(c.file)), content) << "the real run wrote the file back";
  }
}

INSTANTIATE_TEST_SUITE_P(Files, DryRunOfFileTest,
                         testing::Values(TCase{"prices", "prices.txt", "", ""},
                                         TCase{"catalogue", "catalogue.txt", "", ""},
                                         TCase{"corporate", "corporate.txt", "", ""},
                                         TCase{"statements", "statements.txt", "", ""},
                                         TCase{"holdings", "holdings.txt", "", ""},
                                         TCase{"portfolio", "portfolio.txt", "", ""},
                                         TCase{"holdings_json", "holdings.json", "", ""},
                                         TCase{"some_lines_fail", "in.txt", kSomeLinesFail, ""}),
                         [](const testing::TestParamInfo<TCase>& info) { return info.param.name; });

// Prices of the demo's four series on many days: a file whose import pass lasts long enough to be
// killed in the middle.
std::string ManyPrices() {
  std::string text;
  for (const char* ticker : {"PETR3", "PETR4", "VALE3", "ITUB4"}) {
    for (int day = 0; day < 30000; ++day) {
      const int year = 1940 + day / 365;
      const int dayOfYear = day % 365;
      text += fmt::format("*QT \"{}\" 1 {:04}-{:02}-{:02} 37.10 36.85 37.62 37.31 37.45 41230 38512300 1436921100\n", ticker,
                          year, 1 + dayOfYear / 28 % 12, 1 + dayOfYear % 28);
    }
  }
  return text;
}

TEST_F(DryRunTest, ADryRunKilledInItsImportPassLeavesTheDatabaseAsItWas) {
  test::WriteFile(dir_.File("in.txt"), ManyPrices());
  const std::string dump = Dump();
  const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t pid = test::StartProgram(
      ZI_ZORINPUT_PATH, {"/import=in.txt", "/dryrun", "/user=ana", "/password=pw", "/database=zi.db"}, dir_.Path(), quiet);
  ::close(quiet);
  // Killed once groups of lines are kept in its transaction: written to the file's log, never committed.
  bool kept = false;
  for (int i = 0; i < 6000 && !kept; ++i) {
    kept = test::ReadFile(dir_.File("zorinput.log")).find("dry run kept up to line") != std::string::npos;
    if (!kept) ::usleep(10000);
  }
  ::kill(pid, SIGKILL);
  EXPECT_EQ(test::WaitWithin(pid, 60), 1000 + SIGKILL) << "killed before its end";
  EXPECT_TRUE(kept);
  std::filesystem::rename(dir_.File("zorinput.log"), dir_.File("killed.log"));
  EXPECT_EQ(Dump(), dump);
  // The file is whole: an import after it runs.
  test::WriteFile(dir_.File("one.txt"), "*QT \"PETR4\" 1 2024-04-08 37.10 36.85 37.62 37.31 37.45 41230 38512300 1436921100\n");
  EXPECT_EQ(Run("after", {"/import=one.txt"}), 0);
  EXPECT_NE(Dump(), dump);
}

// SQLite writes a transaction's changes into the file's journal before any rollback, so a file
// the program may not write takes no dry run: the login refuses it, and it stays as it was.
TEST_F(DryRunTest, ADatabaseThatMayNotBeWrittenTakesNoDryRun) {
  test::WriteFile(dir_.File("in.txt"), "*QT \"PETR4\" 1 2024-04-08 37.10 36.85 37.62 37.31 37.45 41230 38512300 1436921100\n");
  const std::string dump = Dump();
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms::all);
  std::filesystem::permissions(dir_.File("zi.db"), std::filesystem::perms(0444));
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Whoever runs the tests, the program runs as a user the permissions bind.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(126);
    if (::chdir(dir_.Path().c_str()) != 0) ::_exit(127);
    const int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, STDOUT_FILENO);
    std::vector<std::string> args{ZI_ZORINPUT_PATH, "/import=in.txt", "/dryrun", "/user=ana", "/password=pw",
                                  "/database=zi.db"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execve(argv[0], argv.data(), environ);
    ::_exit(127);
  }
  EXPECT_EQ(test::WaitWithin(pid, 60), 3) << "a login that fails";
  const std::vector<std::string> log = test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log")));
  EXPECT_THAT(log, Contains("InitDbConnection erro:3714 EDriverError:Cannot open database file zi.db for writing: "
                            "Permission denied"));
  EXPECT_THAT(log, Contains("- end import erro:3775 login"));
  std::filesystem::permissions(dir_.File("zi.db"), std::filesystem::perms(0600));
  EXPECT_EQ(Dump(), dump);
}

}  // namespace
}  // namespace zi
