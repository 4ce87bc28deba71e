#pragma once
// Temporary directories and file reading for tests.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zi::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = "/tmp/zitest-XXXXXX";
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Sets an environment variable for the lifetime of the guard; a null value unsets it.
class EnvGuard {
 public:
  EnvGuard(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    hadValue_ = old != nullptr;
    if (old) old_ = old;
    Set(value);
  }
  ~EnvGuard() { Set(hadValue_ ? old_.c_str() : nullptr); }
  EnvGuard(const EnvGuard&) = delete;
  EnvGuard& operator=(const EnvGuard&) = delete;

 private:
  void Set(const char* value) {
    if (value) ::setenv(name_.c_str(), value, 1);
    else ::unsetenv(name_.c_str());
  }
  std::string name_;
  std::string old_;
  bool hadValue_ = false;
};

// The lines of a file written with CR LF endings.
inline std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::string text = ReadFile(path);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// A log line without its stamp ("YYYY/MM/DD-hh:mm:ss PPPPPPPP/TTTTTTTT  0 ").
inline std::string WithoutStamp(const std::string& line) { return line.size() > 41 ? line.substr(41) : ""; }

inline std::vector<std::string> WithoutStamps(const std::vector<std::string>& lines) {
  std::vector<std::string> texts;
  for (const auto& l : lines) texts.push_back(WithoutStamp(l));
  return texts;
}

}  // namespace zi::test
