#include "toolbox/switches.h"

#include <optional>

#include "toolbox/codec.h"
#include "toolbox/platform.h"
#include "toolbox/text.h"

namespace zi {

namespace {

struct ArgumentMemory {
  int argc = 0;
  char** argv = nullptr;
};
ArgumentMemory argumentMemory;

std::vector<std::string>& Parameters() {
  static std::vector<std::string> params{platform::ExecutablePath()};
  return params;
}

// One pair of enclosing quotes, both double or both single, is removed.
std::string_view Unquoted(std::string_view text) {
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
    return text.substr(1, text.size() - 2);
  return text;
}

// When the parameter is the switch: the text after its ":" or "=" (empty for a bare switch).
std::optional<std::string_view> SwitchValue(std::string_view param, std::string_view name) {
  std::string_view p = Unquoted(param);
  if (p.empty() || (p[0] != '-' && p[0] != '/')) return std::nullopt;
  p.remove_prefix(1);
  if (p.size() < name.size() || !SameTextAscii(p.substr(0, name.size()), name)) return std::nullopt;
  std::string_view rest = p.substr(name.size());
  if (rest.empty()) return rest;
  if (rest[0] != ':' && rest[0] != '=') return std::nullopt;
  return rest.substr(1);
}

}  // namespace

void SetCommandLine(int argc, char** argv) {
  argumentMemory = {argc, argv};
  std::vector<std::string> params{platform::ExecutablePath()};
  if (params[0].empty() && argc > 0) params[0] = argv[0];
  for (int i = 1; i < argc; ++i) params.emplace_back(argv[i]);
  Parameters() = std::move(params);
}

void SetParameters(std::vector<std::string> params) {
  if (params.empty()) params.push_back(platform::ExecutablePath());
  Parameters() = std::move(params);
}

int ParamCount() { return static_cast<int>(Parameters().size()) - 1; }

std::string ParamStr(int index) {
  const auto& params = Parameters();
  if (index < 0 || index >= static_cast<int>(params.size())) return {};
  return params[static_cast<size_t>(index)];
}

bool PegaParam(std::string_view name, std::string& value) {
  if (!PegaParamBytes(name, value)) return false;
  // The system hands over UTF-8; inside, text is Windows-1252.
  if (auto text = Utf8ToCp1252(value)) value = std::move(*text);
  return true;
}

bool PegaParamBytes(std::string_view name, std::string& value) {
  value.clear();
  const auto& params = Parameters();
  for (size_t i = 1; i < params.size(); ++i) {
    if (auto rest = SwitchValue(params[i], name)) {
      value = std::string(Unquoted(*rest));
      return true;
    }
  }
  return false;
}

void HideSwitchValue(std::string_view name) {
  for (int i = 1; i < argumentMemory.argc; ++i) {
    char* arg = argumentMemory.argv[i];
    if (auto rest = SwitchValue(arg, name))
      for (char* c = arg + (rest->data() - arg); c < rest->data() + rest->size(); ++c) *c = '*';
  }
}

std::optional<std::string> SwitchWithoutValue(std::string_view param) {
  std::string_view p = Unquoted(param);
  if (p.empty() || (p[0] != '-' && p[0] != '/')) return std::nullopt;
  return std::string(p.substr(0, p.find_first_of(":=", 1)));
}

bool TemParam(std::string_view name) {
  std::string ignored;
  return PegaParam(name, ignored);
}

bool PegaParamCurto(std::string_view name, std::string& destination, size_t maxLength) {
  bool found = PegaParam(name, destination);
  if (destination.size() > 255) destination.resize(255);
  if (destination.size() > maxLength) destination.resize(maxLength);
  return found;
}

// Quoting follows the usual rules of a Windows command line, so that a line built here splits back
// into the same parameters: blanks and quotes force quoting, and backslashes before a quote double.
std::string QuoteParameter(std::string_view param) {
  if (!param.empty() && param.find_first_of(" \t\"") == std::string_view::npos) return std::string(param);
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : param) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') out.append(backslashes * 2 + 1, '\\');
    else out.append(backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> params;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string param;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      size_t backslashes = 0;
      while (i < line.size() && line[i] == '\\') ++backslashes, ++i;
      if (i < line.size() && line[i] == '"') {
        param.append(backslashes / 2, '\\');
        if (backslashes % 2) param += '"';
        else quoted = !quoted;
        ++i;
      } else {
        param.append(backslashes, '\\');
        if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) param += line[i++];
      }
    }
    params.push_back(std::move(param));
  }
  return params;
}

std::string RawCommandLine() {
  std::string line;
  for (const auto& p : Parameters()) {
    if (!line.empty()) line += ' ';
    line += QuoteParameter(p);
  }
  return line;
}

std::string RestoDaLinhaDeComando() {
  std::string line = RawCommandLine();
  size_t first = line.find_first_not_of(' ');
  size_t last = line.find_last_not_of(' ');
  if (first == std::string::npos) return {};
  std::string_view trimmed = std::string_view(line).substr(first, last - first + 1);
  size_t cut = trimmed[0] == '"' ? trimmed.find('"', 1) : trimmed.find(' ');
  if (cut == std::string_view::npos) return {};
  return std::string(trimmed.substr(cut + 1));
}

}  // namespace zi
