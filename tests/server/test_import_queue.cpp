// The queue of remote imports: what an upload is refused for, the order in which workers take the
// files, the ticket with which an import logs in as its uploader, and files left by a killed worker.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "server/import_queue.h"
#include "server/server.h"
#include "server/sqlite_db.h"
#include "server_support.h"

namespace zi::server::test {
namespace {

constexpr const char* kHost = "desk7";

class ImportQueueTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(server_->Login("Ana", "s3cret").code, 0);
    bia_ = server_->AddUser({.name = "Bia", .email = "bia@example.com"}, "pw");
    ASSERT_EQ(server_->Login("Bia", "pw").code, 0);
  }

  int Upload(const DbValue& priority, const DbValue& name, const DbValue& content, const DbValue& flags = 0) {
    return server_->Execute("ImportFileAdd",
                            {{"@Prioridade", priority}, {"@Filename", name}, {"@Flags", flags}, {"@Conteudo", content}})
        .returnValue;
  }
  int64_t Queued() { return db_->QueryValue("SELECT count(*) FROM ImportQueue").AsInteger(); }
  TDateTime Now() { return TDateTime{45000.5}; }

  TempDir dir_;
  std::string file_ = dir_.File("zi.db");
  std::unique_ptr<Server> server_ = Server::Open(file_, ProductRegistry());
  std::unique_ptr<SqliteDb> db_ = SqliteDb::Open(file_);
  int bia_ = 0;
};

TEST_F(ImportQueueTest, AnUploadIsQueuedAsItsUploadersAndBadOnesAreRefusedWithoutARow) {
  struct Case {
    DbValue priority, name, content, flags;
    int code;
  };
  const Case refused[] = {
      {0, "a.txt", TBlob{"x"}, 0, 99102},          // priorities start at 1
      {3, "a.txt", TBlob{"x"}, 3, 99102},          // flags name the encoding: 1 or 2
      {3, "a.txt", TBlob{"x"}, -1, 99102},
      {3, "  ", TBlob{"x"}, 0, 99101},             // no name
      {3, "a\nb.txt", TBlob{"x"}, 0, 99102},       // a name that would forge a log line
      {3, "a.txt", DbValue(), 0, 99101},           // nothing to import
  };
  for (const Case& c : refused) EXPECT_EQ(Upload(c.priority, c.name, c.content, c.flags), c.code);
  EXPECT_EQ(Queued(), 0);

  const std::string binary("\0\xFF\r\n*QT", 7);
  ASSERT_EQ(Upload(2, "C:\\dados\\pre\xE7os.txt", TBlob{binary}), 0);
  const ResultSet row = db_->Query("SELECT priority, file_name, content, uploader, state FROM ImportQueue");
  ASSERT_EQ(row.rows.size(), 1u);
  EXPECT_EQ(row.rows[0][0], DbValue(2));
  EXPECT_EQ(row.rows[0][1], DbValue("C:\\dados\\pre\xE7os.txt"));
  EXPECT_EQ(row.rows[0][2], DbValue(TBlob{binary}));
  EXPECT_EQ(row.rows[0][3], DbValue(bia_));
  EXPECT_EQ(row.rows[0][4], DbValue("queued"));

  ASSERT_EQ(Upload(3, "b.txt", TBlob{"x"}, 2), 0);
  EXPECT_EQ(db_->QueryValue("SELECT group_concat(flags, ' ') FROM (SELECT flags FROM ImportQueue ORDER BY id)"),
            DbValue("0 2"));
  const std::optional<QueuedImport> first = ClaimNextImport(*db_, "h", 1, Now());
  const std::optional<QueuedImport> second = ClaimNextImport(*db_, "h", 1, Now());
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->flags, 0);
  EXPECT_EQ(second->flags, 2);

  auto anonymous = Server::Open(file_, ProductRegistry());
  EXPECT_EQ(anonymous->Execute("ImportFileAdd", {{"@Prioridade", 3}, {"@Filename", "b.txt"}, {"@Flags", 0},
                                                 {"@Conteudo", TBlob{"x"}}})
                .returnValue,
            kLoginFailed);
}

TEST_F(ImportQueueTest, WorkersTakeTheMostUrgentThenTheOldestFileOnce) {
  for (auto [priority, name] : {std::pair{3, "c1"}, {1, "a1"}, {3, "c2"}, {1, "a2"}}) {
    ASSERT_EQ(Upload(priority, name, TBlob{name}), 0);
  }
  std::string order;
  while (auto file = ClaimNextImport(*db_, kHost, 11, Now())) {
    EXPECT_EQ(file->content, file->fileName);
    EXPECT_EQ(file->uploaderName, "Bia");
    EXPECT_EQ(file->uploaderEmail, "bia@example.com");
    order += file->fileName + " ";
  }
  EXPECT_EQ(order, "a1 a2 c1 c2 ");
}

TEST_F(ImportQueueTest, AnImportLogsInAsItsUploaderWithItsTicketOnlyWhileItRuns) {
  ASSERT_EQ(Upload(3, "a.txt", TBlob{"x"}), 0);
  const QueuedImport file = *ClaimNextImport(*db_, kHost, 11, Now());
  auto client = Server::Open(file_, ProductRegistry());
  const std::string forged = file.ticket.substr(0, file.ticket.size() - 1) + (file.ticket.back() == '0' ? "1" : "0");
  for (const auto& [user, ticket] : std::map<std::string, std::string>{
           {"Ana", file.ticket}, {"Bia", forged}, {"Bia", ""}, {"Bia", "x:y"}, {"bia\n", file.ticket}}) {
    EXPECT_EQ(client->LoginWithImportTicket(user, ticket), kLoginFailed) << user << " " << ticket;
  }
  EXPECT_EQ(client->LoginWithImportTicket("Bia", file.ticket), 0);
  EXPECT_EQ(client->SessionUserId(), bia_);

  RecordImportOutcome(*db_, file.id, 0, "- end import ok", 0, Now());
  EXPECT_EQ(client->LoginWithImportTicket("Bia", file.ticket), kLoginFailed);
  EXPECT_EQ(db_->QueryValue("SELECT state || ' ' || result_code FROM ImportQueue"), DbValue("done 0"));
}

TEST_F(ImportQueueTest, FilesOfAWorkerThatIsGoneAreQueuedAgainAndOthersAreLeftAlone) {
  for (const char* name : {"a", "b", "c"}) ASSERT_EQ(Upload(3, name, TBlob{name}), 0);
  ClaimNextImport(*db_, kHost, 11, Now());
  ClaimNextImport(*db_, kHost, 12, Now());
  ClaimNextImport(*db_, "other-host", 11, Now());
  EXPECT_EQ(RequeueAbandonedImports(*db_, kHost, [](int pid) { return pid == 12; }), 1);
  EXPECT_EQ(db_->QueryValue("SELECT group_concat(file_name || ':' || state, ' ') FROM "
                            "(SELECT * FROM ImportQueue ORDER BY id)"),
            DbValue("a:queued b:running c:running"));
  EXPECT_EQ(ClaimNextImport(*db_, kHost, 13, Now())->fileName, "a");
}

}  // namespace
}  // namespace zi::server::test
