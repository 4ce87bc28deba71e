#include "catalogue/share_base_files.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>

#include "catalogue/catalogue.h"
#include "session/reference_data.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/message_window.h"
#include "toolbox/numbers.h"
#include "toolbox/own_codes.h"

namespace zi {

namespace {

constexpr int kSources = 8;
constexpr const char* kExportCaption = "ExportaTodosBac";
constexpr const char* kReportCaption = "Test BAc";
constexpr const char* kGettingCompanies = "Getting list of companies";
constexpr const char* kNotWritten = "TBA file not written: ";
constexpr const char* kFilesWritten = "ExportaTodosBac files written: ";

// Written to a temporary file beside it and renamed over it: a failed write leaves no half file.
int WriteLines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  const std::filesystem::path temporary = path.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) out << line << "\r\n";
    out.flush();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      Loga(kNotWritten + PathText(path.string()) + " erro:" + std::to_string(kShareBaseFileNotWritten));
      return kShareBaseFileNotWritten;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (!error) return 0;
  std::filesystem::remove(temporary, error);
  Loga(kNotWritten + PathText(path.string()) + " erro:" + std::to_string(kShareBaseFileNotWritten));
  return kShareBaseFileNotWritten;
}

std::string Slot(double number) { return IsMissing(number) ? "\"-\"" : BacNumber(number); }

void Progress(TMessageWindow* window, int line, const std::string& text) {
  if (window) window->SetLine(line, text);
}

}  // namespace

std::vector<std::string> BacExportLines(const TListaBaseAcionaria& list, bool withStatus) {
  std::vector<std::string> lines;
  for (const auto& base : list.Bases()) {
    for (const TUmaClasseNaBac* node : std::as_const(*base).Nodes(true)) {
      if (!TBaseAcionaria::Written(*node)) continue;
      std::string line = FormatIsoDate(base->Date()) + " " + std::to_string(node->IdClass());
      for (const TBacSlot& slot : node->Slots()) {
        line += " " + Slot(slot.number);
        if (withStatus) line += " " + std::to_string(slot.status);
      }
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

std::string BacExportFileName(int emp, int source) { return std::to_string(emp) + "." + std::to_string(source) + ".bac"; }

// Mended: the name comes from data; it may not lead out of the folder.
std::string BacReportFileName(const std::string& countryName) {
  std::string name;
  for (const char c : countryName) {
    const bool unsafe = c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 32;
    name += unsafe ? '_' : c;
  }
  while (name.find("..") != std::string::npos) name.replace(name.find(".."), 2, "_");
  return "ZorInput-report-bac-" + name + ".txt";
}

int ExportaBac(int emp, int source, bool withStatus, const std::string& folder, bool& written) {
  written = false;
  TListaBaseAcionaria list(emp, source);
  if (const int code = list.Load()) return code;
  if (list.Bases().empty()) return 0;
  const int code = WriteLines(std::filesystem::path(folder) / BacExportFileName(emp, source), BacExportLines(list, withStatus));
  written = code == 0;
  return code;
}

int ExportaTodosBac(bool withStatus) {
  const std::unique_ptr<TMessageWindow> window = CreateMessageWindow(kExportCaption);
  Progress(window.get(), 1, kGettingCompanies);
  std::vector<int> companies;
  int result = GetIdsDeTodasAsEmps(companies);
  const size_t count = companies.size();
  int files = 0;
  for (size_t i = 0; i < count; ++i) {
    Progress(window.get(), 1, std::to_string(i + 1) + "/" + std::to_string(count) + " id:" + std::to_string(companies[i]));
    for (int source = 0; source < kSources; ++source) {
      bool written = false;
      const int code = ExportaBac(companies[i], source, withStatus, ".", written);
      if (result == 0) result = code;
      files += written;
    }
  }
  if (window) window->Close();
  Loga(kFilesWritten + std::to_string(files));
  return result;
}

int RelatorioBacDoPais(int country, const std::string& folder, int& count) {
  count = 0;
  const std::string countryName = ShownText(Listas().EnumPais.TextoDoId(country, true));
  const std::unique_ptr<TMessageWindow> window = CreateMessageWindow(kReportCaption);
  Progress(window.get(), 1, kGettingCompanies);
  std::vector<int> ids;
  if (const int code = GetIdsDeTodasAsEmps(ids)) return code;
  std::vector<tObjEmp> companies;
  for (const int id : ids) {
    tObjEmp emp;
    if (DbObjEmpGet(id, emp) == 0 && emp.pais == country) companies.push_back(emp);
  }
  std::vector<std::string> lines;
  for (size_t i = 0; i < companies.size(); ++i) {
    for (int source = 0; source < kSources; ++source) {
      TListaBaseAcionaria list(companies[i].id, source);
      if (const int code = list.Load()) return code;
      std::string report = list.ConsistencyReport();
      if (report.empty()) continue;
      if (report.ends_with("\r\n")) report.resize(report.size() - 2);
      lines.push_back(std::move(report));
      ++count;
    }
    Progress(window.get(), 1,
             std::to_string(i + 1) + "/" + std::to_string(companies.size()) + " id:" + std::to_string(companies[i].id) +
                 " " + companies[i].nome + " errors:" + std::to_string(count));
  }
  if (window) window->Close();
  return WriteLines(std::filesystem::path(folder) / BacReportFileName(countryName), lines);
}

}  // namespace zi
