// Files rewritten whole: what the file keeps (mode, owner, links, the symbolic link that names it),
// and what a rewrite leaves behind when it is killed or fails.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <grp.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

#include "import/json_document.h"
#include "import/regular_file.h"
#include "support/child_process.h"
#include "support/test_files.h"

namespace zi {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::UnorderedElementsAreArray;

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

// A document that writes as text.
std::unique_ptr<TAbstractJson> Document(const std::string& text) {
  auto document = TAbstractJson::CreateFromString(text);
  document->AsArray().Item(0);
  return document;
}

// A folder on a small file system of its own, for a full disk; root only.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::string& folder) : folder_(folder) {
    fs::create_directories(folder_);
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

// Sets or clears the immutable flag, which stops even root; false where the file system has none.
bool SetImmutable(const std::string& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  ::close(fd);
  return done;
}

TEST(FileRewrite, TheFileKeepsItsModeAndWherePossibleItsOwner) {
  test::TempDir dir;
  const std::string path = dir.File("records.json");
  for (const mode_t mode : {0600, 0640, 0604, 0660, 0444}) {
    test::WriteFile(path, "[1]");
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    Document("[2]")->SaveToFile(path);
    EXPECT_EQ(test::ReadFile(path), "[2]");
    EXPECT_EQ(StatOf(path).st_mode & 07777, mode) << std::oct << mode;
  }
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another owner takes root";
  ASSERT_EQ(::chown(path.c_str(), 4321, 8765), 0);
  Document("[3]")->SaveToFile(path);
  EXPECT_EQ(StatOf(path).st_uid, 4321u);
  EXPECT_EQ(StatOf(path).st_gid, 8765u);
  EXPECT_EQ(StatOf(path).st_mode & 07777, 0444u);

  // A user who may not give the file back to its owner and group: the rewrite is that user's, and
  // its new group gets no more than everyone has.
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  const struct {
    mode_t before;
    mode_t after;
  } modes[] = {{0666, 0666}, {0664, 0644}, {0674, 0644}, {02666, 0666}, {0640, 0600}};
  for (const auto& m : modes) {
    ASSERT_EQ(::chmod(path.c_str(), m.before), 0);
    const int status = test::RunInChild([&] {
      if (::setgroups(0, nullptr) != 0 || ::setgid(5000) != 0 || ::setuid(5000) != 0) ::_exit(3);
      Document("[4]")->SaveToFile(path);
      ::_exit(0);
    });
    ASSERT_EQ(status, 0) << std::oct << m.before;
    EXPECT_EQ(StatOf(path).st_uid, 5000u);
    EXPECT_EQ(StatOf(path).st_gid, 5000u);
    EXPECT_EQ(StatOf(path).st_mode & 07777, m.after) << std::oct << m.before;
    ASSERT_EQ(::chown(path.c_str(), 4321, 8765), 0);
  }
}

TEST(FileRewrite, ASymbolicLinkStaysALinkAndItsTargetIsRewrittenBesideItself) {
  test::TempDir dir;
  fs::create_directories(dir.File("data"));
  fs::create_directories(dir.File("links"));
  const std::string target = dir.File("data/real.json");
  const struct {
    std::string link;
    std::string pointsTo;
  } cases[] = {
      {dir.File("links/relative.json"), "../data/real.json"},
      {dir.File("links/absolute.json"), target},
      {dir.File("links/twice.json"), "relative.json"},
  };
  fs::create_symlink("../data/real.json", cases[0].link);
  fs::create_symlink(target, cases[1].link);
  fs::create_symlink("relative.json", cases[2].link);
  int n = 0;
  for (const auto& c : cases) {
    test::WriteFile(target, "[0]");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    const std::string text = "[" + std::to_string(++n) + "]";
    Document(text)->SaveToFile(c.link);
    EXPECT_TRUE(fs::is_symlink(c.link)) << c.link;
    EXPECT_EQ(fs::read_symlink(c.link).string(), c.pointsTo);
    EXPECT_EQ(test::ReadFile(target), text) << c.link;
    EXPECT_EQ(StatOf(target).st_mode & 07777, 0600u);
  }
  EXPECT_THAT(NamesIn(dir.File("data")), UnorderedElementsAreArray({"real.json"}));
  EXPECT_THAT(NamesIn(dir.File("links")), UnorderedElementsAreArray({"relative.json", "absolute.json", "twice.json"}));

  // A relative link named without a folder is taken from the working folder.
  const fs::path working = fs::current_path();
  fs::current_path(dir.File("links"));
  Document("[9]")->SaveToFile("relative.json");
  fs::current_path(working);
  EXPECT_EQ(test::ReadFile(target), "[9]");
  EXPECT_TRUE(fs::is_symlink(cases[0].link));

  fs::create_symlink("loop-b", dir.File("loop-a"));
  fs::create_symlink("loop-a", dir.File("loop-b"));
  EXPECT_THROW(Document("[1]")->SaveToFile(dir.File("loop-a")), std::system_error);
}

TEST(FileRewrite, AFileWithSeveralHardLinksIsNotSplit) {
  test::TempDir dir;
  const std::string path = dir.File("records.json");
  test::WriteFile(path, "[1]");
  fs::create_hard_link(path, dir.File("other-name.json"));
  try {
    Document("[2]")->SaveToFile(path);
    ADD_FAILURE() << "a hard-linked file was rewritten";
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), HasSubstr("records.json has 2 hard links: a rewrite would split them"));
  }
  EXPECT_EQ(test::ReadFile(path), "[1]");
  EXPECT_EQ(StatOf(path).st_ino, StatOf(dir.File("other-name.json")).st_ino);
  EXPECT_THAT(NamesIn(dir.Path()), UnorderedElementsAreArray({"records.json", "other-name.json"}));
}

TEST(FileRewrite, ATemporaryLeftByAKilledRewriteDoesNotBlockTheNext) {
  test::TempDir dir;
  const std::string path = dir.File("records.json");
  test::WriteFile(path, "[1]");
  // The name earlier builds used for every rewrite.
  test::WriteFile(path + ".zi-new", "[\"half");
  auto big = Document("[\"" + std::string(1 << 20, 'x') + "\"]");
  // Killed in the middle of writing: a file-size limit's signal ends the process as kill -9 would.
  const int status = test::RunInChild([&] {
    std::signal(SIGXFSZ, SIG_DFL);
    const rlimit limit{65536, 65536};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    big->SaveToFile(path);
    ::_exit(0);
  });
  EXPECT_EQ(status, 1000 + SIGXFSZ);
  std::vector<std::string> names = NamesIn(dir.Path());
  ASSERT_EQ(names.size(), 3u) << "the killed rewrite left its temporary";
  EXPECT_EQ(test::ReadFile(path), "[1]");
  // One that a rewrite still writes, which holds its lock, is not the next one's to remove.
  const std::string live = path + ".zi-new-0123456789";
  test::WriteFile(live, "[");
  const int liveFd = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(liveFd, LOCK_EX), 0);

  Document("[2]")->SaveToFile(path);
  EXPECT_EQ(test::ReadFile(path), "[2]");
  Document("[3]")->SaveToFile(path);
  EXPECT_EQ(test::ReadFile(path), "[3]");
  EXPECT_THAT(NamesIn(dir.Path()), UnorderedElementsAreArray({"records.json", "records.json.zi-new",
                                                              "records.json.zi-new-0123456789"}))
      << "the killed rewrite's temporary is removed, and the rewrites left nothing of their own";
  ::close(liveFd);
}

TEST(FileRewrite, AFileChangedOrReplacedSinceItWasReadIsLeftAsItIs) {
  test::TempDir dir;
  const std::string path = dir.File("records.json");
  auto readNow = [&] { return TRegularFile(path).Identity(); };
  const struct {
    const char* what;
    std::function<void()> change;
    std::string after;
  } cases[] = {
      {"appended to", [&] { std::ofstream(path, std::ios::app) << " "; }, "[1] "},
      {"replaced", [&] {
         test::WriteFile(dir.File("new.json"), "[7]");
         fs::rename(dir.File("new.json"), path);
       }, "[7]"},
      {"removed", [&] { fs::remove(path); }, ""},
  };
  for (const auto& c : cases) {
    test::WriteFile(path, "[1]");
    const TFileIdentity identity = readNow();
    c.change();
    try {
      Document("[2]")->SaveToFile(path, &identity);
      ADD_FAILURE() << c.what;
    } catch (const std::runtime_error& e) {
      EXPECT_THAT(e.what(), HasSubstr("records.json was replaced or changed while it was imported: it is left as it is"))
          << c.what;
    }
    EXPECT_EQ(test::ReadFile(path), c.after) << c.what;
    EXPECT_THAT(NamesIn(dir.Path()), testing::Each(testing::Not(HasSubstr(".zi-new")))) << c.what;
  }
  test::WriteFile(path, "[1]");
  const TFileIdentity identity = readNow();
  Document("[2]")->SaveToFile(path, &identity);
  EXPECT_EQ(test::ReadFile(path), "[2]") << "an unchanged file is rewritten";
}

TEST(FileRewrite, NamesAreTheSystemsBytesAndALongNameStillGetsItsTemporary) {
  test::TempDir dir;
  for (const std::string& name : {std::string("caf\xE9-\xFF\xFE.json"), std::string(250, 'n') + ".json"}) {
    const std::string path = dir.File(name);
    test::WriteFile(path, "[1]");
    Document("[2]")->SaveToFile(path);
    EXPECT_EQ(test::ReadFile(path), "[2]");
    EXPECT_THAT(NamesIn(dir.Path()), UnorderedElementsAreArray({name}));
    fs::remove(path);
  }
  const std::string fresh = dir.File("fresh.json");
  const mode_t mask = ::umask(022);
  Document("[3]")->SaveToFile(fresh);
  ::umask(mask);
  EXPECT_EQ(test::ReadFile(fresh), "[3]");
  EXPECT_EQ(StatOf(fresh).st_mode & 07777, 0644u) << "a new file as the process's mask makes it";
}

TEST(FileRewrite, EveryFailedStepLeavesTheFileAsItWasAndNoTemporary) {
  test::TempDir dir;
  const std::string folder = dir.File("small");
  SmallFileSystem small(folder);
  if (!small.Mounted()) GTEST_SKIP() << "a full disk takes a file system of its own (root)";
  const std::string path = folder + "/records.json";
  const std::string original = "[\"" + std::string(20000, 'a') + "\"]";
  auto failsAndLeavesOriginal = [&](const char* what, const std::string& message, size_t size) {
    try {
      Document("[\"" + std::string(size, 'b') + "\"]")->SaveToFile(path);
      ADD_FAILURE() << what;
    } catch (const std::system_error& e) {
      EXPECT_THAT(e.what(), HasSubstr(message)) << what;
    }
    EXPECT_EQ(test::ReadFile(path), original) << what;
    EXPECT_THAT(NamesIn(folder), testing::Each(testing::Not(HasSubstr(".zi-new")))) << what;
  };
  test::WriteFile(path, original);
  test::WriteFile(folder + "/filler", std::string(30000, 'f'));
  failsAndLeavesOriginal("a full disk", "No space left on device", 50000);
  fs::remove(folder + "/filler");

  if (SetImmutable(path, true)) {
    failsAndLeavesOriginal("a file that may not be replaced", "cannot rename", 100);
    SetImmutable(path, false);
  }
  ASSERT_EQ(::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
  failsAndLeavesOriginal("a read-only folder", "Read-only file system", 100);
  ASSERT_EQ(::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT, "size=64k"), 0);

  Document("[\"" + std::string(30000, 'c') + "\"]")->SaveToFile(path);
  EXPECT_EQ(test::ReadFile(path).size(), 30004u);
  EXPECT_THAT(NamesIn(folder), UnorderedElementsAreArray({"records.json"}));
}

}  // namespace
}  // namespace zi
