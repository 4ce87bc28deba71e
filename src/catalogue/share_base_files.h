#pragma once
// The share base's files: the export of a company's share bases of a source (one line per class
// written), the export of every company, and a country's inconsistency report.

#include <string>
#include <vector>

#include "catalogue/share_base.h"

namespace zi {

// date + " " + class id, then for each slot " " + number ("\"-\"" when not a number) and, with
// statuses, " " + status; share bases in date order, classes parents first and by class id.
std::vector<std::string> BacExportLines(const TListaBaseAcionaria& list, bool withStatus);
// company id + "." + source + ".bac"
std::string BacExportFileName(int emp, int source);
// "ZorInput-report-bac-" + the country's name, without path separators or "..", + ".txt"
std::string BacReportFileName(const std::string& countryName);

// Writes the file of a company and source into the folder when it has share bases; 0 or the code
// that stopped it (99801: the file cannot be written).
int ExportaBac(int emp, int source, bool withStatus, const std::string& folder, bool& written);
// Every company's files into the current folder; 0 or the first failure's code, after the rest.
int ExportaTodosBac(bool withStatus);
// The consistency report of every company of the country and source, one line per failing list,
// into the folder; 0 or the code that stopped it.
int RelatorioBacDoPais(int country, const std::string& folder, int& count);

}  // namespace zi
