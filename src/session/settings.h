#pragma once
// The program's few settings: named text values in one file under the user's configuration
// directory ($XDG_CONFIG_HOME/Zorvana/ZorInput.ini, else ~/.config/Zorvana/ZorInput.ini).

#include <string>

namespace zi {

// The file that holds the settings.
std::string SettingsFilePath();

// A missing value reads as empty; an error is logged and reads as empty.
std::string LeReg(const std::string& name);
// An empty value deletes the setting; an error is logged, never raised. The file is replaced
// atomically, so a failed write leaves the previous settings whole.
void GravaReg(const std::string& name, const std::string& value);

}  // namespace zi
