#include "holdings/composition_export.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include <fmt/format.h>

#include "catalogue/catalogue.h"
#include "catalogue/objects.h"
#include "holdings/shareholder.h"
#include "session/reference_data.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/message_window.h"
#include "toolbox/numbers.h"
#include "toolbox/own_codes.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr const char* kCaption = "Exporta CompAcionaria";
constexpr const char* kGettingCompanies = "Getting list of companies";

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The voting, non-voting and total values of a shareholder, 0 for a kind without entry.
std::string ValuesOf(const TCompAcionariaItems& items, int32_t shareholder) {
  std::string text;
  for (const uint8_t vot : {kVoting, kNonVoting, kAllShares}) {
    double value = 0;
    bool unconfirmed = false;
    items.Get(shareholder, vot, value, unconfirmed);
    text += " " + CompNumberText(value);
  }
  return text;
}

int WriteComposition(const tObjEmp& emp, const TCompAcionariaRec& header, const std::string& folder) {
  TCompAcionariaItems items;
  if (const int code = items.Load(header)) return code;
  std::string text = Quoted(emp.nome) + " " + std::to_string(emp.pais) + " " +
                     Listas().EnumPaisCod.TextoDoId(emp.pais, true) + " " + Quoted(emp.cod) + "\r\n";
  int failed = 0;
  for (const int32_t id : items.ShareholdersByTotal()) {
    TShareholderRec holder;
    if (const int code = DbShareholderGet(id, holder)) {
      Loga("ExportaCompAcionaria Shareholder:" + std::to_string(id) + " erro:" + std::to_string(code));
      if (failed == 0) failed = code;
      continue;
    }
    text += Quoted(holder.nome) + " " + std::to_string(holder.pais) + " " + Quoted(holder.doc) + " 0" +
            ValuesOf(items, id) + "\r\n";
  }
  const std::filesystem::path path =
      std::filesystem::path(folder) / CompositionExportFileName(emp.cod, emp.pais, header.dtref);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    Loga("ExportaCompAcionaria " + PathText(path.string()) + " not written erro:" +
         std::to_string(kCompositionExportNotWritten));
    return kCompositionExportNotWritten;
  }
  return failed;
}

}  // namespace

std::string CompositionExportFileName(std::string_view companyCode, int32_t pais, TDayNumber dtref) {
  std::string code(companyCode);
  for (char& c : code)
    if (c == '/' || c == '\\' || c == '\0' || c == ':') c = '_';
  if (code.find("..") != std::string::npos || code.empty()) {
    for (char& c : code)
      if (c == '.') c = '_';
  }
  const TCalendarDate date = DateFromDayNumber(dtref);
  return fmt::format("CompAcionaria-{}-{}-{:04}.{:02}.{:02}.txt", code, pais, date.year, date.month, date.day);
}

int ExportaCompAcionaria(int32_t pais, const std::string& folder) {
  const std::unique_ptr<TMessageWindow> window = CreateMessageWindow(kCaption);
  if (window) window->SetLine(1, kGettingCompanies);
  std::vector<int> ids;
  if (const int code = GetIdsDeTodasAsEmps(ids)) return code;
  int first = 0;
  for (size_t i = 0; i < ids.size(); ++i) {
    tObjEmp emp;
    if (const int code = DbObjEmpGet(ids[i], emp)) {
      if (first == 0) first = code;
      continue;
    }
    if (emp.pais != pais) continue;
    if (window) {
      window->SetLine(1, std::to_string(i) + "/" + std::to_string(ids.size() - 1) + " id:" + std::to_string(emp.id) +
                             " " + emp.nome);
    }
    std::vector<TCompAcionariaRec> headers;
    int code = DbCompAcionariaDaEmp(emp.id, headers);
    for (const TCompAcionariaRec& header : headers) {
      const int written = WriteComposition(emp, header, folder);
      if (code == 0) code = written;
    }
    if (first == 0) first = code;
  }
  return first;
}

}  // namespace zi
