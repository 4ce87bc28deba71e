#include "toolbox/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "toolbox/platform.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"

extern char** environ;

namespace zi {

std::string UserAtMachine() {
  std::string user = Trim(platform::EnvVar("USER"));
  std::string userName = Trim(platform::EnvVar("USERNAME"));
  // Without a user name of either kind the start line would read "@host": the login name, then the
  // account database, say who runs the program.
  if (user.empty() && userName.empty()) user = Trim(platform::EnvVar("LOGNAME"));
  if (user.empty() && userName.empty()) user = Trim(platform::AccountName());
  std::string machine = Trim(platform::EnvVar("COMPUTERNAME"));
  if (machine.empty()) machine = Trim(platform::EnvVar("MACHINE"));
  if (machine.empty()) machine = Trim(platform::ComputerName());
  if (!user.empty() && !userName.empty()) userName = "/" + userName;
  if (!machine.empty()) machine = "@" + machine;
  std::string result = user + userName + machine;
  if (result.size() > 255) result.resize(255);  // the login and the log keep it in a short string
  return result;
}

namespace {

// This program ignores a broken pipe; a program it starts gets the usual behaviour back.
class SpawnAttributes {
 public:
  SpawnAttributes() {
    posix_spawnattr_init(&attributes_);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes_, &defaults);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  posix_spawnattr_t* get() { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
};

class SpawnFileActions {
 public:
  SpawnFileActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnFileActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

// The child's wait status once it ended; false when it cannot be waited for.
bool WaitForEnd(pid_t pid, int& status) {
  pid_t waited;
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  return waited >= 0;
}

// Nothing on Linux corresponds to waiting until the child is idle (ready for input); only its end is awaited.
int WaitForExitCode(pid_t pid) {
  int status = 0;
  if (!WaitForEnd(pid, status) || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace

int WaitForExitStatus(int processId) {
  int status = 0;
  if (!WaitForEnd(processId, status)) return -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ProcessResult RodaProcesso(std::string_view commandLine, const ProcessOptions& options) {
  ProcessResult result;
  std::vector<std::string> params = SplitCommandLine(commandLine);
  if (params.empty()) {
    result.error = platform::ErrorCodeOf(ENOENT);
    return result;
  }
  std::vector<char*> argv;
  for (auto& p : params) argv.push_back(p.data());
  argv.push_back(nullptr);

  SpawnFileActions actions;
  SpawnAttributes attributes;
  int rc = 0;
  if (!options.workingDirectory.empty())
    rc = posix_spawn_file_actions_addchdir_np(actions.get(), options.workingDirectory.c_str());
  if (rc == 0 && !options.inheritHandles) rc = posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);
  pid_t pid = 0;
  if (rc == 0) {
    const bool searchPath = params[0].find('/') == std::string::npos;
    rc = searchPath ? posix_spawnp(&pid, argv[0], actions.get(), attributes.get(), argv.data(), environ)
                    : posix_spawn(&pid, argv[0], actions.get(), attributes.get(), argv.data(), environ);
  }
  if (rc != 0) {
    result.error = platform::ErrorCodeOf(rc);
    return result;
  }
  if (options.wait) {
    result.exitCode = WaitForExitCode(pid);
  } else {
    result.processId = pid;
  }
  return result;
}

std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& set, const std::vector<std::string>& unset) {
  auto named = [](std::string_view pair, const std::vector<std::string>& names) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
      return pair.size() > name.size() && pair.compare(0, name.size(), name) == 0 && pair[name.size()] == '=';
    });
  };
  std::vector<std::string> names(unset);
  for (const std::string& pair : set) names.push_back(pair.substr(0, pair.find('=')));
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry)
    if (!named(*entry, names)) environment.emplace_back(*entry);
  environment.insert(environment.end(), set.begin(), set.end());
  return environment;
}

ProcessResult RunProgramIntoFile(const std::vector<std::string>& args, const std::vector<std::string>& set,
                                 const std::vector<std::string>& unset, const std::string& outputFile) {
  ProcessResult result;
  if (args.empty()) {
    result.error = platform::ErrorCodeOf(ENOENT);
    return result;
  }
  std::vector<std::string> arguments(args);
  std::vector<char*> argv;
  for (auto& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = ChangedEnvironment(set, unset);
  std::vector<char*> envp;
  for (auto& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);

  SpawnFileActions actions;
  SpawnAttributes attributes;
  posix_spawnattr_setpgroup(attributes.get(), 0);
  short flags = 0;
  posix_spawnattr_getflags(attributes.get(), &flags);
  posix_spawnattr_setflags(attributes.get(), static_cast<short>(flags | POSIX_SPAWN_SETPGROUP));
  int rc = posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
  if (rc == 0)
    rc = posix_spawn_file_actions_addopen(actions.get(), 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (rc == 0) rc = posix_spawn_file_actions_adddup2(actions.get(), 1, 2);
  if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);
  pid_t pid = 0;
  if (rc == 0) rc = posix_spawn(&pid, argv[0], actions.get(), attributes.get(), argv.data(), envp.data());
  if (rc != 0) {
    result.error = platform::ErrorCodeOf(rc);
    return result;
  }
  result.processId = pid;
  result.exitCode = WaitForExitCode(pid);
  return result;
}

}  // namespace zi
