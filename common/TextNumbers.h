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
inline constexpr int kTransferFailed = 790;
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

// What the firmware file's refusal, a garbled identity and a stale port lock say.
inline constexpr int kFirmwareFolder = 880;       // %1 the path
inline constexpr int kFirmwareUnreadable = 881;   // %1 the file, %2 the system's reason
inline constexpr int kFirmwareTooShort = 882;     // %1 the file, %2 its size in bytes
inline constexpr int kFirmwareNotFirmware = 883;  // %1 the file
inline constexpr int kFirmwareCheckValue = 884;   // %1 the file
inline constexpr int kIdentityGarbled = 885;
inline constexpr int kPortStaleLock = 886;        // %1 device, %2 the lock file

inline constexpr std::array kAll{
    kClose, kInstructions, kTimeHeading, kStatusHeading, kBack, kNext, kEventHeading, kProductTitle,
    kFailed, kDone,
    kCableNotFound, kCableTitle, kPlugInCable, kPortOpenFailed, kPortNoPermission, kPortMissing, kPortInUse,
    kPortNoPermissionRule, kPortNotSerial,
    kReadingFirmwareFile, kCheckingFirmware, kFirmwareFileError, kVersionWord, kDemoFirmware, kFirmwareMissing,
    kWhereFirmwareGoes,
    kDcNotAnswering, kUpdateStart, kNotModel, kDcSilentAtNext, kBelowRequired, kNoUpdateNeeded, kUpdateDone, kUploadOnly,
    kUploadArea1, kUploadArea2, kTransferFailed, kVerifyStart, kVerifyWrongModel, kVerifyNewCode, kWaitForReset,
    kUpdateFailed, kUpdateFailedHint, kVersionMismatch, kVersionUnchecked, kClockNotSet,
    kPageOne[0], kPageOne[1], kPageOne[2], kPageOne[3], kPageOne[4], kPageOne[5], kPageOne[6],
    kBackupRow, kRestoreRow, kBackupFailed, kHeaderMismatch, kBackupNotWritten, kBackupUnusable,
    kRecoveryTitle, kRecoveryQuestion, kRecoveryStep1, kRecoveryStep2, kRecoveryStep3, kRecoveryStep3a,
    kRecoveryStep3b, kRecoveryStep3c, kRecoveryStep4, kRecoveryStep5, kRecoveryStep6, kProfileKept,
    kFirmwareFolder, kFirmwareUnreadable, kFirmwareTooShort, kFirmwareNotFirmware, kFirmwareCheckValue,
    kIdentityGarbled, kPortStaleLock,
};

}  // namespace verno::text
