#pragma once
// The batch portfolio import: keeps importing the "*.pf" files dropped into a list of folders,
// moving each to a backup folder when it imported, or to an error folder beside a ".log" with the
// run's own log lines when it failed, and hands over to the bulletin generator through marker files.

#include <string>

#include "toolbox/codec.h"

namespace zi {

// Markers in the program's folder: "generate the bulletin now" (the generator deletes it) and "the
// batch has ended".
inline constexpr const char* kGenerateBulletinMarker = "gerarboletim.nua";
inline constexpr const char* kBatchEndedMarker = "encerrar.nua";

// folders: separated by "," or ";"; empty means the current folder; every file is read in the
// encoding given. The code of the first failure that ends the batch, else 0.
int PortfolioBatchImport(const std::string& folders, TImportEncoding encoding = TImportEncoding::Unchosen);

}  // namespace zi
