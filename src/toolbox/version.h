#pragma once

namespace zi {

// The version written in the start line, and the one that names the versioned copy of the program.
inline constexpr const char* kVersionText = "20240410-1131";
inline constexpr const char* kCopyVersion = "1131";

}  // namespace zi
