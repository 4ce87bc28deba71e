#include "session/settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/platform.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr const char* kSection = "[ZorInput]";

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char next = text[++i];
    out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

std::string ReadAll(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    if (errno == ENOENT) return {};
    throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  }
  std::string data;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) throw std::runtime_error("cannot read " + path);
  return data;
}

// Names are compared without regard to case, as the registry did.
using Settings = std::map<std::string, std::string, decltype([](const std::string& a, const std::string& b) {
                            return LowerAscii(a) < LowerAscii(b);
                          })>;

Settings Load(const std::string& path) {
  std::string bytes = ReadAll(path);
  auto text = Utf8ToCp1252(bytes);
  if (!text) throw std::runtime_error(path + " is not a valid settings file (not UTF-8 text)");
  Settings settings;
  size_t start = 0;
  while (start < text->size()) {
    size_t end = text->find('\n', start);
    if (end == std::string::npos) end = text->size();
    std::string line = Trim(std::string_view(*text).substr(start, end - start));
    start = end + 1;
    size_t eq = line.find('=');
    if (line.empty() || line[0] == '[' || line[0] == ';' || eq == std::string::npos || eq == 0) continue;
    settings[Trim(line.substr(0, eq))] = Unescape(line.substr(eq + 1));
  }
  return settings;
}

void Save(const std::string& path, const Settings& settings) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::string text = std::string(kSection) + "\n";
  for (const auto& [name, value] : settings) text += name + "=" + Escape(value) + "\n";
  std::string data = Cp1252ToUtf8(text);
  std::string temporary = path + ".tmp";
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error("cannot write " + temporary + ": " + std::strerror(errno));
  bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size()) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::string reason = std::strerror(errno);
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot write " + path + ": " + reason);
  }
}

void CheckName(const std::string& name) {
  if (name.empty() || name.find_first_of("=[]\r\n") != std::string::npos || Trim(name) != name)
    throw std::invalid_argument("invalid setting name");
}

}  // namespace

std::string SettingsFilePath() {
  std::string base = platform::EnvVar("XDG_CONFIG_HOME");
  if (base.empty() || base[0] != '/') base = platform::EnvVar("HOME") + "/.config";
  return base + "/Zorvana/ZorInput.ini";
}

std::string LeReg(const std::string& name) {
  try {
    CheckName(name);
    Settings settings = Load(SettingsFilePath());
    auto it = settings.find(name);
    return it == settings.end() ? std::string() : it->second;
  } catch (const std::exception& e) {
    Loga("Error Exception [Cnf.LeReg " + name + "] " + e.what());
    return {};
  }
}

void GravaReg(const std::string& name, const std::string& value) {
  try {
    CheckName(name);
    std::string path = SettingsFilePath();
    Settings settings = Load(path);
    if (value.empty()) settings.erase(name);
    else settings[name] = value;
    Save(path, settings);
  } catch (const std::exception& e) {
    Loga("Error Exception  [Cnf.GravaReg " + name + "=" + value + "] " + e.what());
  }
}

}  // namespace zi
