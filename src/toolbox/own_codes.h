#pragma once
// Result codes of our own. They all lie in 99000 to 99999, a range that neither the server's
// procedures nor the message table use, so that a code always means one thing. Each code has one
// text, in the table of own_codes.cpp; the README lists them for support staff.
//
// 99001 to 99099: the program entry, its switches and the session (99090 to 99099: the MsgQQ
//                  messages and their run modes);
// 99100 to 99199: answers of the embedded server's procedures, and its remote-import worker;
// 99200 to 99299: the database layer;
// 99300 to 99399: the import engine;
// 99400 to 99499: prices and the other market data;
// 99500 to 99599: the object and reference-data directives and the indicators;
// 99600 to 99699: financial statements, accounts and formats (the server's answers included);
// 99700 to 99749: shareholder and portfolio-asset registries and shareholding compositions;
// 99750 to 99799: real estate and portfolios;
// 99800 to 99899: corporate actions, news and the share base;
// 99900 to 99949: the desktop.

namespace zi {

inline constexpr int kOwnCodeFirst = 99000;
inline constexpr int kOwnCodeLast = 99999;

inline constexpr int kModeNotAvailable = 99001;
inline constexpr int kProviderNotAvailable = 99002;
inline constexpr int kLogNotARegularFile = 99040;

// The session.
inline constexpr int kDatabaseNamesAFolder = 99010;
inline constexpr int kDefaultDatabaseMissing = 99011;
inline constexpr int kCredentialsNotCp1252 = 99012;
inline constexpr int kServerLacksProcedures = 99013;
inline constexpr int kNotConnected = 99020;
inline constexpr int kHttpReportsWaiting = 99021;

// The MsgQQ messages and their run modes.
inline constexpr int kMsgQQValueNotANumber = 99090;
inline constexpr int kMsgQQUnclosedQuote = 99091;
inline constexpr int kMsgQQFileEmpty = 99092;
inline constexpr int kMsgQQModeValueInvalid = 99093;

// Answers of the embedded server.
inline constexpr int kAnswerValueMissing = 99101;
inline constexpr int kAnswerOutOfRange = 99102;
inline constexpr int kAnswerUnknownReference = 99103;
inline constexpr int kAnswerNotFound = 99104;
inline constexpr int kAnswerAdministratorOnly = 99105;
inline constexpr int kAnswerCodeTaken = 99106;
inline constexpr int kAnswerClassMoveRefused = 99107;
inline constexpr int kAnswerNoSeriesRight = 99108;
inline constexpr int kAnswerNameWithControls = 99109;
// The remote-import worker.
inline constexpr int kRemoteImportNotRun = 99110;
inline constexpr int kRemoteImportNotMailed = 99111;

inline constexpr int kDatabaseBusy = 99201;

// The import engine.
inline constexpr int kImportLineNotText = 99300;
inline constexpr int kDirectiveNotAvailable = 99301;
inline constexpr int kDirectiveRaised = 99302;
inline constexpr int kRemoteImportNotAvailable = 99303;
inline constexpr int kJsonFileNotWrittenBack = 99304;
inline constexpr int kJsonFileHardLinked = 99305;
inline constexpr int kJsonFileNotRewritable = 99306;
inline constexpr int kImportLineTooLong = 99308;
inline constexpr int kImportExtraNotWritable = 99309;
// How an import text file is read.
inline constexpr int kImportFileLooksUtf8 = 99310;
inline constexpr int kImportEncodingUnknown = 99311;
inline constexpr int kImportBomNamedWindows1252 = 99312;
// Check-only runs and dry runs.
inline constexpr int kImportKindOnlyWithImport = 99330;
inline constexpr int kCheckOnlyAndDryRun = 99331;
inline constexpr int kCheckOnlyJsonFile = 99332;
inline constexpr int kDryRunLost = 99333;

// Prices.
inline constexpr int kQuoteExportSelection = 99401;
inline constexpr int kQuoteExportNotWritten = 99402;
inline constexpr int kQuoteExportTickerQuotes = 99403;

// The object and reference-data directives and the indicators.
inline constexpr int kFieldNotYesNo = 99501;
inline constexpr int kIsinTooLong = 99502;
inline constexpr int kTooManyFields = 99503;

// Financial statements, accounts and formats.
inline constexpr int kAnswerStatementIdentityTaken = 99600;
inline constexpr int kStatementValueInfinite = 99601;
inline constexpr int kCpfCnpjEmpty = 99602;
inline constexpr int kFormatDuplicateSeq = 99603;
inline constexpr int kStatementAccountTwice = 99605;

// Holder registries and shareholding compositions.
inline constexpr int kHolderStillUsed = 99700;
inline constexpr int kHolderIdOutOfRange = 99701;
inline constexpr int kHolderWithoutId = 99702;
inline constexpr int kAssetIdUnknown = 99703;
inline constexpr int kCompositionItemKindInvalid = 99704;
inline constexpr int kAnswerCompositionDateTaken = 99705;
inline constexpr int kCompositionExportNotWritten = 99706;

// Real estate and portfolios.
inline constexpr int kHoldingsCallRaised = 99750;

// Corporate actions, news and the share base.
inline constexpr int kShareBaseFileNotWritten = 99801;

// The desktop.
inline constexpr int kDesktopCannotOpen = 99900;
inline constexpr int kScreensStopped = 99901;

// The text of one of our codes; nullptr for a code the table does not hold.
const char* OwnCodeText(int code);

}  // namespace zi
