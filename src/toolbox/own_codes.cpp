#include "toolbox/own_codes.h"

#include <map>

namespace zi {

const char* OwnCodeText(int code) {
  static const std::map<int, const char*> table = {
      {kModeNotAvailable, "This run mode is not available in this build"},
      {kProviderNotAvailable, "This database provider is not available in this build"},
      {kDatabaseNamesAFolder, "The database name ends in a path separator: it names a folder"},
      {kDefaultDatabaseMissing, "The default database does not exist: name it with -database to create it"},
      {kServerLacksProcedures, "The database server lacks procedures or parameters this program calls"},
      {kCredentialsNotCp1252, "The password holds a character that a database server's Windows-1252 text cannot hold"},
      {kNotConnected, "Not connected to the database: no login yet, or the login failed"},
      {kHttpReportsWaiting, "Too many failure reports are waiting to be sent: this one is dropped"},
      {kMsgQQValueNotANumber, "A message value is not a number that its field's type holds"},
      {kMsgQQUnclosedQuote, "A quoted message value has no closing quote"},
      {kMsgQQFileEmpty, "The message file is empty: there is nothing to send"},
      {kMsgQQModeValueInvalid, "The run mode's value is not the list of ids and file that the mode takes"},
      {kLogNotARegularFile, "The log file is not a regular file (a FIFO or a device)"},
      {kAnswerValueMissing, "A required value is missing or blank"},
      {kAnswerOutOfRange, "A value is outside the range its field accepts"},
      {kAnswerUnknownReference, "A value names an item that does not exist"},
      {kAnswerNotFound, "Could not find the item"},
      {kAnswerAdministratorOnly, "Only an administrator may do this"},
      {kAnswerCodeTaken, "The code is already taken by another item"},
      {kAnswerClassMoveRefused, "Moving a class to another company is not allowed"},
      {kAnswerNoSeriesRight, "You don't have authority over series"},
      {kAnswerNameWithControls, "A user name may not hold control characters"},
      {kRemoteImportNotRun, "The remote import could not be run to its end"},
      {kRemoteImportNotMailed, "The outcome of the remote import was not mailed: no mail relay or no e-mail address"},
      {kDatabaseBusy, "Another process is writing to the database; try again later"},
      {kImportLineNotText, "The line is not text this program can hold"},
      {kDirectiveNotAvailable, "This directive is not available in this build"},
      {kDirectiveRaised, "A directive failed with an unexpected error"},
      {kRemoteImportNotAvailable, "Remote import is not available in this build"},
      {kJsonFileNotWrittenBack, "The JSON import file could not be written back; it was left as it was"},
      {kJsonFileHardLinked, "A JSON import file with several hard links is refused: writing its log back would split them"},
      {kJsonFileNotRewritable, "A JSON import file that cannot be written back (the file or its folder) is refused"},
      {kImportLineTooLong, "The import line is longer than a line may be"},
      {kImportExtraNotWritable, "The rejects or summary file cannot be written; nothing was imported"},
      {kImportFileLooksUtf8,
       "The import file looks like UTF-8 (a byte-order mark, or non-ASCII characters that form UTF-8): name its "
       "encoding with -encoding=utf-8, or -encoding=windows-1252 if it is Windows-1252 text"},
      {kImportEncodingUnknown, "The encoding named is neither utf-8 nor windows-1252"},
      {kImportBomNamedWindows1252,
       "The import file starts with a UTF-8 byte-order mark but was named Windows-1252: read it with -encoding=utf-8"},
      {kQuoteExportSelection, "The quote export's selection is not country;type;first date;last date;file"},
      {kQuoteExportNotWritten, "The quote export's file cannot be written"},
      {kQuoteExportTickerQuotes, "A ticker holds both a double quote and an apostrophe: it cannot be exported"},
      {kFieldNotYesNo, "A yes/no field holds neither yes nor no"},
      {kIsinTooLong, "An ISIN has at most 12 characters"},
      {kTooManyFields, "The line has more fields than its directive takes"},
      {kAnswerStatementIdentityTaken, "Another statement has this company, date, scope, document type and source"},
      {kStatementValueInfinite, "A statement value is infinite"},
      {kCpfCnpjEmpty, "The CPF/CNPJ document is empty"},
      {kFormatDuplicateSeq, "The format has two lines with one sequence number"},
      {kStatementAccountTwice, "The statement gives one account twice for one period"},
      {kHolderStillUsed, "The holder is still used by shareholding compositions"},
      {kHolderIdOutOfRange, "The holder id that the line computes lies outside 1 to 2147483647"},
      {kHolderWithoutId, "The holder was found, but the server gave no id for it"},
      {kAssetIdUnknown, "No portfolio asset has this id: an asset is created from a document only"},
      {kCompositionItemKindInvalid, "A stored composition item has a share kind other than 0, 1 or 2"},
      {kAnswerCompositionDateTaken, "The company already has a composition at this reference date"},
      {kCompositionExportNotWritten, "A composition export file could not be written"},
      {kHoldingsCallRaised, "A database call of the property register or of a portfolio raised an error"},
      {kShareBaseFileNotWritten, "A share base export or report file cannot be written"},
      {kDesktopCannotOpen, "The desktop cannot open: no display can be reached (set DISPLAY, or give a run mode)"},
      {kScreensStopped, "The screenshot run ended before its last step"},
  };
  const auto it = table.find(code);
  return it == table.end() ? nullptr : it->second;
}

}  // namespace zi
