#pragma once
// File types for the desktop: opening a file of a registered type, or choosing the program in the
// file's "Open with" list, starts the program with the parameter prefix followed by the file's path.

#include <string_view>

namespace zi {

// Registers the extension as an XDG MIME type (a package under $XDG_DATA_HOME/mime/packages) and
// a desktop entry for the verb (under $XDG_DATA_HOME/applications). With keepExisting, an extension
// that the MIME database already claims keeps its type and its applications: nothing is written.
// Never raises: a failure is logged in one line.
void RegExt(std::string_view extension, std::string_view description, std::string_view contentType, bool keepExisting,
            std::string_view verb, std::string_view parameterPrefix, std::string_view programPath);

}  // namespace zi
