#pragma once
// Stable names of the task-log rows, for machines (verno-update --json's "id"): they never change
// with the language, and a name once given is kept.

#include <string_view>

namespace verno::row {

inline constexpr std::string_view kReadingFirmware = "firmware.read";
inline constexpr std::string_view kCheckingFirmware = "firmware.check";
inline constexpr std::string_view kFirmwareVersion = "firmware.version";
inline constexpr std::string_view kDemoFirmware = "firmware.demo";
inline constexpr std::string_view kUpdateStart = "update.start";
inline constexpr std::string_view kDcAccepted = "dc.accepted";
inline constexpr std::string_view kNoUpdateNeeded = "update.not-needed";
inline constexpr std::string_view kBackup = "profile.backup";
inline constexpr std::string_view kFoundSaved = "profile.found";
inline constexpr std::string_view kWritesBackPresent = "profile.writes-back-present";
inline constexpr std::string_view kWritesBackSaved = "profile.writes-back-saved";
inline constexpr std::string_view kSetAside = "profile.set-aside";
inline constexpr std::string_view kHistoryNotWritten = "profile.history-not-written";
inline constexpr std::string_view kUpload = "upload.area1";
inline constexpr std::string_view kUpload2 = "upload.area2";
inline constexpr std::string_view kWaitForReset = "restart.wait";
inline constexpr std::string_view kVerify = "verify.start";
inline constexpr std::string_view kVerifyNewCode = "verify.confirmed";
inline constexpr std::string_view kVersionUnchecked = "verify.unchecked";
inline constexpr std::string_view kVersionMismatch = "verify.mismatch";
inline constexpr std::string_view kRestore = "profile.restore";
inline constexpr std::string_view kRestoredFromFile = "profile.restored-from-file";
inline constexpr std::string_view kClockNotSet = "clock.not-set";
inline constexpr std::string_view kUpdateDone = "update.done";
inline constexpr std::string_view kUpdateFailed = "update.failed";
inline constexpr std::string_view kUpdateFailedHint = "update.failed-hint";
inline constexpr std::string_view kBackupUnusable = "profile.backup-unusable";
inline constexpr std::string_view kClosedAtQuestion = "profile.closed-at-question";
inline constexpr std::string_view kRecoveryVerdict = "recovery.verdict";

}  // namespace verno::row
