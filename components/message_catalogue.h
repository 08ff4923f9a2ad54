// Access to the numbered texts of the program's string table.
#ifndef KWUNINST_COMPONENTS_MESSAGE_CATALOGUE_H_
#define KWUNINST_COMPONENTS_MESSAGE_CATALOGUE_H_

#include <string>

namespace kw {

// Catalogue numbers the program refers to by name.
enum MessageId : unsigned {
  kMsgInstallDirNotFound = 1,
  kMsgDialogNotCreated = 2,
  kMsgStatusClosingPrograms = 3,
  kMsgCloseProgramsFailed = 4,
  kMsgStatusRemovingRegistry = 5,
  kMsgRegistryFailed = 6,
  kMsgStatusRemovingFiles = 7,
  kMsgFilesFailed = 8,
  kMsgUninstallErrorTitle = 13,
  kMsgStatusBatchFile = 14,
  kMsgBatchFileFailed = 15,

  kTitleExecute = 17,
  kTitleTextFile = 18,
  kTitleFileManagement = 20,
  kTitleRegistry = 21,
  kTitleFileManagementPrompt = 23,
  kTitleStringList = 28,

  kErrWindowNotFound = 101,
  kErrWindowNotBroughtForward = 102,
  kErrExecuteFailed = 103,
  kErrFileNotOpened = 104,
  kErrNoFileOpen = 105,
  kErrDelimiterFound = 106,
  kErrEndOfList = 107,
  kErrFileNotDeleted = 113,
  kErrTimeExceeded = 114,
  kErrKeyNotOpened = 115,
  kErrValueNotRead = 116,
  kErrKeyNotDeleted = 117,
  kErrTooDeep = 122,
  kErrDirectoryNotRemoved = 123,
  kErrUserAborted = 124,
  kErrKeyStillPresent = 134,
  kErrUnexpectedValueType = 135,
  kErrTextNotFound = 136,
  kErrNoWindowTitle = 137,
  kErrNoCommandLine = 138,
  kErrSaveFailed = 140,
  kErrNoDirectories = 141,
  kErrNoFiles = 142,
  kErrNoSubkeys = 143,
  kErrNotQueuedForRestart = 144,

  kMsgRemovedAtRestart = 145,
  kTitleUninstall = 146,
  kMsgOutOfMemory = 147,
};

// The text with that number; empty when the catalogue has none.
std::string LoadMessage(unsigned id);

// The display text of a message: its one "%s" replaced by the argument.  A
// message without "%s" is returned unchanged.
std::string FormatMessageText(const std::string& message, const std::string& argument);

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_MESSAGE_CATALOGUE_H_
