#pragma once
// The remote import: the file is uploaded whole into the server's import queue; an import worker
// imports it later as the uploader and mails the outcome to the uploader's address.

#include <functional>
#include <string>

#include "toolbox/codec.h"

namespace zi {

inline constexpr int kReadImportFileFailed = 4065;
inline constexpr int kReadImportFileShort = 4066;
inline constexpr int kNoUploadCommand = 4067;
inline constexpr int kEmptyRemoteFileName = 4071;
inline constexpr int kNoEmailForRemoteImport = 4079;

// The "IFpriority" switch: 3 when absent or not a number; 1 is the most urgent, and below 1 is 1.
int PrioridadeDoIF();

// Receives the texts that say how far the upload got, for a window.
using TProgressText = std::function<void(const std::string& text)>;

// Uploads file (the system's bytes) with the priority and the encoding its import reads it in: 0
// when the server queued it, else the code.
int EnviaArquivoParaImportacao(const std::string& file, int priority, bool logIn, TImportEncoding encoding,
                               const TProgressText& progress = {});

}  // namespace zi
