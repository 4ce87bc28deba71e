#pragma once
// What the remote import and the worker that runs the uploaded files agree on.

#include "toolbox/codec.h"

namespace zi {

// Where the remote-import worker gives the import it starts the ticket that logs it in as the
// file's uploader.
inline constexpr const char* kImportTicketVariable = "ZORINPUT_IMPORT_TICKET";

// "@Flags" of "ImportFileAdd": the encoding the uploader named for a text file, which the worker
// names again for the import; 0 when none was named.
inline constexpr int kImportFlagsUtf8 = 1;
inline constexpr int kImportFlagsWindows1252 = 2;
inline constexpr int kImportFlagsLast = kImportFlagsWindows1252;

constexpr int ImportFlagsOf(TImportEncoding encoding) {
  switch (encoding) {
    case TImportEncoding::Utf8: return kImportFlagsUtf8;
    case TImportEncoding::Windows1252: return kImportFlagsWindows1252;
    case TImportEncoding::Unchosen: break;
  }
  return 0;
}

constexpr TImportEncoding ImportEncodingOfFlags(int flags) {
  switch (flags) {
    case kImportFlagsUtf8: return TImportEncoding::Utf8;
    case kImportFlagsWindows1252: return TImportEncoding::Windows1252;
    default: break;
  }
  return TImportEncoding::Unchosen;
}

}  // namespace zi
