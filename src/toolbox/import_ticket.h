#pragma once

namespace zi {

// Where the remote-import worker gives the import it starts the ticket that logs it in as the
// file's uploader.
inline constexpr const char* kImportTicketVariable = "ZORINPUT_IMPORT_TICKET";

}  // namespace zi
