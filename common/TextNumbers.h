#pragma once
// Every catalogue text the program shows, by number. Code looks texts up only through these
// names, so kAll is the whole set: the catalogue build refuses a source that lacks one, and a
// test checks each in every language of the built catalogue.

#include <array>

namespace verno::text {

// The window, and its page 1 of instructions: a line each.
inline constexpr int kClose = 141;
inline constexpr std::array kPageOne{835, 836, 837, 838, 839, 840, 841};
inline constexpr int kInstructions = 352;  // the instruction frame's caption, upper-cased
inline constexpr int kTimeHeading = 664;
inline constexpr int kStatusHeading = 683;
inline constexpr int kBack = 799;
inline constexpr int kNext = 800;
inline constexpr int kEventHeading = 801;
inline constexpr int kProductTitle = 820;

// Failures in general: title and status word.
inline constexpr int kFailed = 280;
inline constexpr int kDone = 777;

// Finding the cable.
inline constexpr int kCableNotFound = 593;
inline constexpr int kCableTitle = 605;
inline constexpr int kPlugInCable = 802;
inline constexpr int kPortOpenFailed = 825;  // %1 device, %2 the system's reason
inline constexpr int kPortNoPermission = 826;  // %1 device, %2 group
inline constexpr int kPortMissing = 831;        // %1 device
inline constexpr int kPortInUse = 832;          // %1 device
inline constexpr int kPortNoPermissionRule = 833;  // %1 device
inline constexpr int kPortNotSerial = 834;      // %1 device

// The firmware file.
inline constexpr int kReadingFirmwareFile = 776;
inline constexpr int kCheckingFirmware = 778;
inline constexpr int kFirmwareFileError = 779;  // followed by " ", the error code and "!"
inline constexpr int kVersionWord = 781;
inline constexpr int kDemoFirmware = 828;
inline constexpr int kFirmwareMissing = 843;   // %1 the file
inline constexpr int kWhereFirmwareGoes = 844;  // %1 the file's name, %2 the folder

// The update.
inline constexpr int kDcNotAnswering = 150;
inline constexpr int kUpdateStart = 782;
inline constexpr int kNotModel = 783;  // followed by " " and the model name
inline constexpr int kDcSilentAtNext = 829;
inline constexpr int kBelowRequired = 784;
inline constexpr int kNoUpdateNeeded = 785;
inline constexpr int kUpdateDone = 786;
inline constexpr int kUploadOnly = 787;
inline constexpr int kUploadArea1 = 788;
inline constexpr int kUploadArea2 = 789;
inline constexpr int kDataNotAccepted = 790;
inline constexpr int kVerifyStart = 792;
inline constexpr int kVerifyWrongModel = 793;
inline constexpr int kVerifyNewCode = 794;
inline constexpr int kWaitForReset = 803;
inline constexpr int kUpdateFailed = 814;
inline constexpr int kUpdateFailedHint = 815;
inline constexpr int kVersionMismatch = 821;   // %1 reported, %2 expected
inline constexpr int kVersionUnchecked = 822;
inline constexpr int kClockNotSet = 827;

// The profile.
inline constexpr int kBackupRow = 842;
inline constexpr int kRestoreRow = 796;
inline constexpr int kBackupFailed = 797;
inline constexpr int kHeaderMismatch = 816;
inline constexpr int kBackupNotWritten = 823;  // %1 file, %2 the system's reason
inline constexpr int kBackupUnusable = 824;    // %1 file

// The recovery at Close: its boxes and numbered instructions.
inline constexpr int kRecoveryTitle = 817;
inline constexpr int kRecoveryQuestion = 818;
inline constexpr int kRecoveryStep1 = 640;
inline constexpr int kRecoveryStep2 = 654;
inline constexpr int kRecoveryStep3 = 804;
inline constexpr int kRecoveryStep3a = 805;
inline constexpr int kRecoveryStep3b = 806;
inline constexpr int kRecoveryStep3c = 807;
inline constexpr int kRecoveryStep4 = 808;
inline constexpr int kRecoveryStep5 = 809;
inline constexpr int kRecoveryStep6 = 819;
inline constexpr int kProfileKept = 830;  // %1 the backup file

// The profile across runs: what was found, two profiles, the choices, the history, --restore.
inline constexpr int kFoundSaved = 850;          // %1 date, %2 file
inline constexpr int kBackupOtherSize = 851;     // %1 file, %2 where it went
inline constexpr int kBackupOtherSerial = 852;   // %1 file, %2 serial inside, %3 where it went
inline constexpr int kProfileChanged = 853;      // %1 saved on, %2 present blocks, %3 saved blocks
inline constexpr int kChoicePresent = 854;
inline constexpr int kChoiceSaved = 855;
inline constexpr int kWritesBackPresent = 856;   // %1 blocks, %2 the other file
inline constexpr int kWritesBackSaved = 857;     // %1 blocks, %2 the other file
inline constexpr int kChoiceWriteBack = 858;
inline constexpr int kChoiceKeep = 859;
inline constexpr int kChoiceDiscard = 860;
inline constexpr int kChoiceDelete = 861;
inline constexpr int kConfirmDiscard = 862;      // %1 file
inline constexpr int kHistoryNotWritten = 863;   // %1 file, %2 the system's reason
inline constexpr int kRestoreConfirm = 864;      // %1 file, %2 blocks, %3 date, %4 serial
inline constexpr int kChoiceWrite = 865;
inline constexpr int kChoiceDoNotWrite = 866;
inline constexpr int kRestoreOtherSerial = 867;  // %1 file, %2 serial inside, %3 the DC's
inline constexpr int kRestoreOtherSize = 868;    // %1 file
inline constexpr int kRestoredFromFile = 869;    // %1 file
inline constexpr int kProfilesKept = 870;        // followed by the files, a line each
// The console's own prompts for those questions.
inline constexpr int kAskRecover = 871;
inline constexpr int kAskDiscard = 872;
inline constexpr int kAskWhich = 873;
inline constexpr int kAskRestore = 874;
// The restore's fixed waits, in its row's status.
inline constexpr int kWritingHeader = 875;
inline constexpr int kCheckingHeader = 876;
inline constexpr int kCallingDc = 877;  // %1 the call, %2 how many there can be
inline constexpr int kCallStatus = 878;  // the same, short, for a row's status

// Custody of the profile: reads that disagree, copies that cannot be kept, files that are not
// profiles, what each kept file is, and the verdict after a recovery.
inline constexpr int kProfileUnreliable = 887;       // %1 the block
inline constexpr int kCopyNotKept = 888;             // %1 the file, %2 the system's reason
inline constexpr int kRestoreMissing = 889;          // %1 the path
inline constexpr int kRestoreNotAFile = 890;         // %1 the path
inline constexpr int kRestoreUnreadable = 891;       // %1 the file, %2 the system's reason
inline constexpr int kRestoreNotProfile = 892;       // %1 the file
inline constexpr int kBackupEmpty = 893;             // %1 file, %2 where it went
inline constexpr int kClosedAtQuestion = 894;
inline constexpr int kRecoveryQuestionChosen = 895;  // %1 the chosen file
inline constexpr int kDiscardNoCopy = 896;           // %1 file, %2 the system's reason
// What each file kept at the end is: %1 the file.
inline constexpr int kKeptWaits = 897;
inline constexpr int kKeptChosen = 898;
inline constexpr int kKeptPresent = 899;
inline constexpr int kKeptSaved = 900;
inline constexpr int kKeptPrevious = 901;
inline constexpr int kKeptAside = 902;
inline constexpr int kVerdictFirmware = 903;     // %1 the version
inline constexpr int kVerdictNewFirmware = 904;  // %1 the version
inline constexpr int kVerdictOldFirmware = 905;  // %1 the version
inline constexpr int kVerdictNoAnswer = 906;
inline constexpr int kVerdictProfileBack = 907;
inline constexpr int kVerdictProfileOnDisk = 908;
inline constexpr int kHistoryPruned = 910;       // %1 files removed, %2 kept of each
inline constexpr int kRestoreButton = 911;
inline constexpr int kChooseProfileTitle = 912;
inline constexpr int kProfileFilesFilter = 913;
inline constexpr int kBackupKeptNoCopy = 914;    // %1 file, %2 the system's reason
inline constexpr int kOutcomeRestored = 915;
// The cable dropped off the computer: the running step's status while it is awaited, when it is
// back, and the failure when it did not come back.
inline constexpr int kCableGone = 916;     // %1 the system's words, %2 seconds left
inline constexpr int kCableBack = 917;     // %1 the device
inline constexpr int kCableNotBack = 918;
// A profile written back is read back block by block.
inline constexpr int kCheckingBlocks = 919;  // %1 percent
// Why the system may not sleep or shut down now, as the system shows it.
inline constexpr int kWritingDcMemory = 937;

// The console's own words where the window's speak of buttons: at a keyboard, and with nobody
// at the terminal. The controller picks them by the view's wording.
inline constexpr int kPlugInCableKeyboard = 920;
inline constexpr int kPlugInCableUnattended = 921;
inline constexpr int kDcSilentRunAgain = 922;
inline constexpr int kUpdateFailedHintRunAgain = 923;
inline constexpr int kBackupNotWrittenRunAgain = 924;  // %1 file, %2 the system's reason
inline constexpr int kBackupUnusableRunAgain = 925;    // %1 file
inline constexpr int kRecoveryStep4Keyboard = 926;
inline constexpr int kRecoveryStep4Unattended = 927;
inline constexpr int kRecoveryStep6Keyboard = 928;
inline constexpr int kRecoveryStep6Unattended = 929;
inline constexpr int kAskSearchAgain = 930;
inline constexpr int kAskReady = 931;
inline constexpr int kCableOn = 932;                   // %1 the port
inline constexpr int kStartUpConfiguration = 933;
inline constexpr int kStartUpCatalogue = 934;
inline constexpr int kStartUpFirmwareFile = 935;
inline constexpr int kStartUpPort = 936;

// How a front end speaks of what the user does.
enum class Wording {
    Buttons,     // the window: click OK, Next, Back
    Keyboard,    // a console with somebody at it: press Enter, type q
    Unattended,  // a console with nobody to answer: run it again
};

// The text to show for text n in that wording.
constexpr int Worded(int n, Wording wording) {
    if (wording == Wording::Buttons) return n;
    const bool keyboard = wording == Wording::Keyboard;
    switch (n) {
        case kPlugInCable: return keyboard ? kPlugInCableKeyboard : kPlugInCableUnattended;
        case kDcSilentAtNext: return kDcSilentRunAgain;
        case kUpdateFailedHint: return kUpdateFailedHintRunAgain;
        case kBackupNotWritten: return kBackupNotWrittenRunAgain;
        case kBackupUnusable: return kBackupUnusableRunAgain;
        case kRecoveryStep4: return keyboard ? kRecoveryStep4Keyboard : kRecoveryStep4Unattended;
        case kRecoveryStep6: return keyboard ? kRecoveryStep6Keyboard : kRecoveryStep6Unattended;
        default: return n;
    }
}

// What the firmware file's refusal, a garbled identity and a stale port lock say.
inline constexpr int kFirmwareFolder = 880;       // %1 the path
inline constexpr int kFirmwareUnreadable = 881;   // %1 the file, %2 the system's reason
inline constexpr int kFirmwareTooShort = 882;     // %1 the file, %2 its size in bytes
inline constexpr int kFirmwareNotFirmware = 883;  // %1 the file
inline constexpr int kFirmwareCheckValue = 884;   // %1 the file
inline constexpr int kIdentityGarbled = 885;
inline constexpr int kPortStaleLock = 886;        // %1 device, %2 the lock file

// verno-update's own words: the reset countdown (for both front ends), the --check block, the
// bench's summary and messages, the --history listing.
inline constexpr int kSecondsLeft = 940;         // %1 whole seconds
inline constexpr int kCheckHeading = 941;        // %1 the port
inline constexpr int kCheckIdentity = 942;
inline constexpr int kCheckVersion = 943;
inline constexpr int kCheckVersionRevision = 944;  // %1 version, %2 revision
inline constexpr int kCheckSerial = 945;
inline constexpr int kCheckProfile = 946;
inline constexpr int kCheckProfileBlocks = 947;  // %1 blocks
inline constexpr int kCheckFirmware = 948;
inline constexpr int kCheckWouldUpdate = 949;
inline constexpr int kCheckNotForIt = 950;
inline constexpr int kCheckProfileWaits = 951;   // %1 the backup file
inline constexpr int kSummaryPort = 952;
inline constexpr int kSummarySerial = 953;
inline constexpr int kSummaryCable = 938;  // the converter's serial number
inline constexpr int kSummaryBefore = 954;
inline constexpr int kSummaryAfter = 955;
inline constexpr int kSummaryTime = 956;
inline constexpr int kSummaryOutcome = 957;
inline constexpr int kOutcomeUpdated = 958;
inline constexpr int kOutcomeNoUpdateNeeded = 959;
inline constexpr int kOutcomeChecked = 960;
inline constexpr int kOutcomeFailed = 961;
inline constexpr int kOutcomeBecause = 962;      // %1 outcome, %2 reason
inline constexpr int kSummaryWouldUpdate = 963;
inline constexpr int kSummaryWouldNotUpdate = 964;
inline constexpr int kSummaryKeptSentence = 965;  // %1 files; after a reason that ends a sentence
inline constexpr int kSummaryKept = 966;          // %1 files
inline constexpr int kStoppedEarly = 967;
inline constexpr int kSeeRowsAbove = 968;
inline constexpr int kBenchNoCable = 969;
inline constexpr int kBenchNotStarted = 970;     // %1 port, %2 the system's reason
inline constexpr int kBenchNotStartedReason = 971;
inline constexpr int kBenchKilled = 972;         // %1 signal
inline constexpr int kBenchNoResult = 973;       // %1 exit status
inline constexpr int kHistoryDate = 974;
inline constexpr int kHistoryBlocks = 975;
inline constexpr int kHistoryVersion = 976;
inline constexpr int kHistoryFile = 977;
inline constexpr int kHistoryEmpty = 978;        // %1 the folder

// The cable's port on Windows, where COM ports have their own causes and words.
inline constexpr int kComPortMissing = 980;    // %1 port
inline constexpr int kComPortInUse = 981;      // %1 port
inline constexpr int kComPortNotSerial = 982;  // %1 port
inline constexpr int kCableNoDriver = 983;

inline constexpr std::array kAll{
    kClose, kInstructions, kTimeHeading, kStatusHeading, kBack, kNext, kEventHeading, kProductTitle,
    kFailed, kDone,
    kCableNotFound, kCableTitle, kPlugInCable, kPortOpenFailed, kPortNoPermission, kPortMissing, kPortInUse,
    kPortNoPermissionRule, kPortNotSerial,
    kReadingFirmwareFile, kCheckingFirmware, kFirmwareFileError, kVersionWord, kDemoFirmware, kFirmwareMissing,
    kWhereFirmwareGoes,
    kDcNotAnswering, kUpdateStart, kNotModel, kDcSilentAtNext, kBelowRequired, kNoUpdateNeeded, kUpdateDone, kUploadOnly,
    kUploadArea1, kUploadArea2, kDataNotAccepted, kVerifyStart, kVerifyWrongModel, kVerifyNewCode, kWaitForReset,
    kUpdateFailed, kUpdateFailedHint, kVersionMismatch, kVersionUnchecked, kClockNotSet,
    kPageOne[0], kPageOne[1], kPageOne[2], kPageOne[3], kPageOne[4], kPageOne[5], kPageOne[6],
    kBackupRow, kRestoreRow, kBackupFailed, kHeaderMismatch, kBackupNotWritten, kBackupUnusable,
    kRecoveryTitle, kRecoveryQuestion, kRecoveryStep1, kRecoveryStep2, kRecoveryStep3, kRecoveryStep3a,
    kRecoveryStep3b, kRecoveryStep3c, kRecoveryStep4, kRecoveryStep5, kRecoveryStep6, kProfileKept,
    kFoundSaved, kBackupOtherSize, kBackupOtherSerial, kProfileChanged, kChoicePresent, kChoiceSaved,
    kWritesBackPresent, kWritesBackSaved, kChoiceWriteBack, kChoiceKeep, kChoiceDiscard, kChoiceDelete,
    kConfirmDiscard, kHistoryNotWritten, kRestoreConfirm, kChoiceWrite, kChoiceDoNotWrite, kRestoreOtherSerial,
    kRestoreOtherSize, kRestoredFromFile, kProfilesKept, kAskRecover, kAskDiscard, kAskWhich, kAskRestore,
    kWritingHeader, kCheckingHeader, kCallingDc, kCallStatus,
    kProfileUnreliable, kCopyNotKept, kRestoreMissing, kRestoreNotAFile, kRestoreUnreadable, kRestoreNotProfile,
    kBackupEmpty, kClosedAtQuestion, kRecoveryQuestionChosen, kDiscardNoCopy, kKeptWaits, kKeptChosen, kKeptPresent,
    kKeptSaved, kKeptPrevious, kKeptAside, kVerdictFirmware, kVerdictNewFirmware, kVerdictOldFirmware, kVerdictNoAnswer,
    kVerdictProfileBack, kVerdictProfileOnDisk, kHistoryPruned, kRestoreButton, kChooseProfileTitle,
    kProfileFilesFilter, kBackupKeptNoCopy, kOutcomeRestored, kCableGone, kCableBack, kCableNotBack, kCheckingBlocks,
    kWritingDcMemory,
    kPlugInCableKeyboard, kPlugInCableUnattended, kDcSilentRunAgain, kUpdateFailedHintRunAgain,
    kBackupNotWrittenRunAgain, kBackupUnusableRunAgain, kRecoveryStep4Keyboard, kRecoveryStep4Unattended,
    kRecoveryStep6Keyboard, kRecoveryStep6Unattended, kAskSearchAgain, kAskReady, kCableOn,
    kStartUpConfiguration, kStartUpCatalogue, kStartUpFirmwareFile, kStartUpPort,
    kFirmwareFolder, kFirmwareUnreadable, kFirmwareTooShort, kFirmwareNotFirmware, kFirmwareCheckValue,
    kIdentityGarbled, kPortStaleLock,
    kSecondsLeft, kCheckHeading, kCheckIdentity, kCheckVersion, kCheckVersionRevision, kCheckSerial, kCheckProfile,
    kCheckProfileBlocks, kCheckFirmware, kCheckWouldUpdate, kCheckNotForIt, kCheckProfileWaits, kSummaryPort,
    kSummarySerial, kSummaryCable, kSummaryBefore, kSummaryAfter, kSummaryTime, kSummaryOutcome, kOutcomeUpdated,
    kOutcomeNoUpdateNeeded, kOutcomeChecked, kOutcomeFailed, kOutcomeBecause, kSummaryWouldUpdate,
    kSummaryWouldNotUpdate, kSummaryKeptSentence, kSummaryKept, kStoppedEarly, kSeeRowsAbove, kBenchNoCable,
    kBenchNotStarted, kBenchNotStartedReason, kBenchKilled, kBenchNoResult, kHistoryDate, kHistoryBlocks,
    kHistoryVersion, kHistoryFile, kHistoryEmpty, kComPortMissing, kComPortInUse, kComPortNotSerial, kCableNoDriver,
};

}  // namespace verno::text
