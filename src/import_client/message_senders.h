#pragma once
// The MsgQQ senders: a message file, or a file of one coded message line, into the server's data
// log, in Base64 chunks through "DataLogAdd".

#include <cstddef>
#include <string>
#include <string_view>

#include "toolbox/codec.h"

namespace zi {

inline constexpr int kMsgQQFileUnreadable = 4321;
inline constexpr int kMsgQQBadPair = 4322;
inline constexpr int kMsgQQShortRead = 4323;
inline constexpr int kMsgQQNoCommand = 4327;
inline constexpr int kCodedFileManyMessages = 20173;
inline constexpr int kCodedFileEmpty = 25894;
inline constexpr int kCodedLineUnparsed = 25896;
inline constexpr int kCodedBadPair = 25897;
inline constexpr int kCodedNoCommand = 25898;

// A piece of a file, or of a coded message, that one "DataLogAdd" call carries.
inline constexpr size_t kFileChunkBytes = 750;
inline constexpr size_t kMessageChunkBytes = 749;

// The data-log type of a message file.
inline constexpr int kMsgQQFileType = 'T';

// The "@txt" of one chunk: the marker byte ("!" on the last piece, a blank on the others) followed
// by the piece, the two together in Base64 (RFC 4648 alphabet, "=" padding).
std::string MsgQQChunkText(std::string_view piece, bool last);

// The file's bytes as they are, 750 to a chunk, with type 84 for object 171 (auxiliary 0 to 32000)
// or 174 (auxiliary 0 to 255). logIn: CliLogin first. Returns 0 or the code.
int PoeMsgQQNoDataLog(int objectId, int auxiliaryId, const std::string& file, bool logIn);

// The one message that the file's lines describe (ParseMsgQQText; empty lines and lines starting
// with "#" are passed over), 749 bytes to a chunk, with the kind letter's code as the type: "T"
// for the pairs of PoeMsgQQNoDataLog, "a" for auxiliary 0. Logs in first. The file is read as an
// import text file is, in the encoding given. Returns 0 or the code.
int MandaMsgQQCodeDumArquivo(char kind, int objectId, int auxiliaryId, const std::string& file,
                             TImportEncoding encoding = TImportEncoding::Unchosen);

}  // namespace zi
