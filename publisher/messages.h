#pragma once

// What the tool says in the publisher's language: English, or Chinese when
// the user's language is Chinese. Each message has both texts, with {1},
// {2}, ... where its values go.

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "publisher/tools.h"

namespace publisher {

enum class Message : int {
  kHelpIntro,
  kExitStatus,
  kUsage,
  kUnknownCommand,
  kFailed,
  kWarning,
  kHelpKeygen,
  kHelpPubkey,
  kHelpStamp,
  kHelpShow,
  kHelpPack,
  kHelpVerify,
  kHelpServe,
  kPageNotUploaded,
  kPackageNotUploaded,
  kWrongKey,
  kKeyFileNote,
  kBackupKeyNote,
  kNotAfterLauncher,
  kNotAfterLastPacked,
  kVersionsThatWould,
  kStranded,
  kStrandedWould,
  kAddressReused,
  kPackageFileTaken,
  kBlankAroundAddress,
  kConfigUtf8WithMark,
  kConfigUtf16,
  kConfigUtf8,
  kConfigNotGbk,
  kRecorded,
  kPlayersHave,
  kReleaseLauncher,
  kShippedLauncher,
  kEntryNameNot936,
  // the command line
  kOptionRequired,
  kOptionOnce,
  kOptionTooOften,
  kUnknownOption,
  kUnexpectedArgument,
  kTakesNoValue,
  kNeedsValue,
  kForOption,
  kInFile,
  kFileNotFolder,
  // files
  kCannotRead,
  kCannotBeRead,
  kCannotWrite,
  kActWrite,
  kActReplace,
  kActCreateFolder,
  kActCreateBeside,
  kFolderBlockedByFile,
  kCauseNotFound,
  kCauseAccessDenied,
  kCauseInUse,
  kCauseNoSpace,
  kCauseNoReason,
  kCauseFolderNotFile,
  kCauseEmptyFile,
  kCauseNoFolder,
  kCauseParentIsFile,
  kCauseIsFolder,
  // keygen and the secret key
  kKeyFileExists,
  kNoKeyPair,
  kKeyWritten,
  kNoSecretKeyFile,
  kSecretKeyDamaged,
  // stamp and show
  kStampTooLarge,
  kStampWrote,
  kStampReplaced,
  kNoLauncher,
  kNotAProgram,
  kNoSettingsBlock,
  kEarlierLauncher,
  kTwoSettingsBlocks,
  kSettingsCutShort,
  kProgramCutShort,
  kSettingsDamaged,
  kNotAPublicKey,
  kKeyNeverVerifies,
  kPageNotWeb,
  kPageTooLong,
  kPageControl,
  kPageUnreadable,
  kNoBackupInEarlier,
  kBackupAlone,
  kBackupIsMain,
  kVersionEmpty,
  kVersionTooLong,
  kExamplePage,
  kNoKeyUnsigned,
  kFieldPage,
  kFieldKey,
  kFieldBackupKey,
  kFieldVersion,
  kFieldOrder,
  kEarlierOrder,
  kNone,
  kNothingChanged,
  // serve
  kBadPort,
  kCannotListen,
  kServing,
  // verify
  kPageNoAnswer,
  kPageEmptyAnswer,
  kPageNoText,
  kKeyNotAKey,
  kNoPageSignature,
  kNoSignature,
  kSignatureNotASignature,
  kSizeNotANumber,
  kDigestNotADigest,
  kSizeDiffers,
  kDigestDiffers,
  kPageNamesNoPackage,
  kOtherPackageName,
  kLauncherNotInPackage,
  kLauncherVersionDiffers,
  kLedgerEmpty,
  kLauncherTakesAny,
  kKeyNotCarried,
  kLauncherReadsOtherPage,
  kLocalPageNeedsPackage,
  kPageUnchecked,
  kNotOffered,
  kPackageAddressBad,
  kThePackageAt,
  kPackageLonger,
  kOtherNameUnsigned,
  kSignedForOtherPage,
  kSignatureMismatch,
  kVerifyOk,
  kVerifyOffered,
  kListPlaceMalformed,
  kListPastEnd,
  kListDigestDiffers,
  kListNotAList,
  kListNotAsPacked,
  kNoListForFolder,
  kEntryBytes,
  kFolderFetches,
  kOneRequest,
  kRequests,
  kNothingDiffers,
  // pack
  kUrlNotWeb,
  kUrlNotDownloadable,
  kUrlNoFileName,
  kUrlIsPageName,
  kLauncherInFolder,
  kPageNotReadable,
  kNewLauncherReadsOtherPage,
  kSignedBesidePackage,
  kPacking,
  kSecretInsideFrom,
  kOutInsideFrom,
  kCannotReadBack,
  kKeyFileSignsWrong,
  kOneFile,
  kFiles,
  kPacked,
  kPageWritten,
  kHoldsNo936,
  kHoldsLessThan,
  kHoldsMarker,
  // the new launcher
  kCannotReadWhole,
  kCarriesKey,
  kCarriesNoKey,
  kLauncherLacksKey,
  kStillExamplePage,
  kNotAfterCarried,
  kNoLauncherFile,
  kNotThisLauncherKind,
  kFileNotRead,
  kFileNotReadAgain,
  kFileEndedEarly,
  // the folder to pack
  kCannotListBecause,
  kCannotList,
  kNameWithBackslash,
  kNameNot936,
  kNeitherFileNorFolder,
  kSymbolicLinks,
  kWindowsRefusesName,
  kNameEndsInDotOrSpace,
  kPathTooLong,
  kFolderAndFileOneName,
  kDifferInCase,
  kNameOfJournal,
  kNameOfUnreadableJournal,
  kNameOfKeptPackage,
  kNameOfFreshRecord,
  kNameOfPackage,
  kNameOfPartialPackage,
  kNameOfResumeNote,
  kNameOfEntryList,
  kNameOfFetchedEntries,
  kNameOfStaging,
  kNameOfBackup,
  kNameOfLauncherFile,
  kJournalTooSmall,
  kCannotOpen,
  kOneSecretKey,
  kSecretKeys,
  // writing the package
  kCannotWritePackage,
  kCannotAdd,
  kCannotAddNoMemory,
  kUnreadableNoMemory,
  kChangedSize,
  kPackageReadsBackWrong,
  kNamesNotKept,
  // the release ledger
  kLedgerLineNoRecord,
  kLedgerDamaged,
  kLedgerCopyDamaged,
  kLauncherCopyAt,
  // fetching the package
  kNoTemporaryName,
  kCannotDownloadPackage,
  kPackageNoAnswer,
  kTransferBrokeOff,
  kServerAnswers,
  // lists
  kListComma,
  kListOr,
  kCount,
};

struct MessageTexts {
  const char* english;
  const char* chinese;  // code page 936
};

// Both texts of `message`.
const MessageTexts& textsOf(Message message);

// The language for a POSIX locale name ("zh_CN.UTF-8"): Chinese for "zh...".
Language languageOfLocale(std::string_view locale);
// The language for a Windows language identifier (LANGID): Chinese when its
// primary language is.
Language languageOfLangId(std::uint16_t langId);

// `message` in the user's language, in local text, with {n} replaced by
// the n-th of `values` (local text).
std::string say(Tools& tools, Message message, std::initializer_list<std::string> values = {});
std::string say(Tools& tools, Message message, std::span<const std::string> values);

// `text` with {n} replaced by the n-th of `values`; `local` turns the
// text's own parts into local text.
std::string filledIn(std::string_view text, std::span<const std::string> values,
                     const std::function<std::string(std::string_view)>& local);

}  // namespace publisher
