#pragma once
// The export of a country's compositions: one text file per composition in the current folder,
// named after the company, the country and the reference date.

#include <string>
#include <string_view>

#include "holdings/composition.h"

namespace zi {

// "CompAcionaria-" + company code + "-" + country + "-" + yyyy.mm.dd + ".txt"; a code that holds a
// path separator or ".." has those characters replaced, so the file stays in the folder.
std::string CompositionExportFileName(std::string_view companyCode, int32_t pais, TDayNumber dtref);

// Writes the files of every composition of the companies of the country into folder; 0, or the
// first code of a read or write that failed (the export goes on with the next composition).
int ExportaCompAcionaria(int32_t pais, const std::string& folder = ".");

}  // namespace zi
