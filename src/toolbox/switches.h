#pragma once
// Command-line switches: "-" or "/" followed by a case-insensitive name, then ":" or "=" and a value.
// Parameters are kept as the bytes the system gave. A value that is text (a user name, a number) is
// read with PegaParam, as program text; a value that names a file or a folder, or a secret that is
// hashed as given, is read with PegaParamBytes and stays the system's bytes all the way to its use.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zi {

// Stores the process's parameters. Parameter 0 becomes the program file's full path. The argument
// memory itself is remembered so that secrets can be wiped from it.
void SetCommandLine(int argc, char** argv);
// For tests and for a process that starts another: parameter 0 first, as the system gives them.
void SetParameters(std::vector<std::string> params);

int ParamCount();  // the index of the last parameter
// A parameter as the system gave it (bytes, not program text).
std::string ParamStr(int index);

// The value as program text: UTF-8 converted to Windows-1252; bytes that are not UTF-8 text that
// Windows-1252 can hold pass unchanged.
bool PegaParam(std::string_view name, std::string& value);
// The value as the system gave it, for file and folder names and for secrets.
bool PegaParamBytes(std::string_view name, std::string& value);
bool TemParam(std::string_view name);
// The switch as written, without its value ("-databse" of "-databse=x"), for a log line that must not
// carry the value; nullopt for a parameter that is no switch.
std::optional<std::string> SwitchWithoutValue(std::string_view param);
// PegaParam with the value cut to 255 characters and then to maxLength.
bool PegaParamCurto(std::string_view name, std::string& destination, size_t maxLength);

// Overwrites the values of a switch in the process's argument memory, so that the process list no
// longer shows them; PegaParam still finds them.
void HideSwitchValue(std::string_view name);

// The raw command line without the program name; it may begin with a blank.
std::string RestoDaLinhaDeComando();

// The raw command line rebuilt from the parameters, quoted so that SplitCommandLine gives them back.
std::string RawCommandLine();
std::string QuoteParameter(std::string_view param);
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace zi
