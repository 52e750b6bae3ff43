#pragma once
// Catalogue numbers of the texts the update and profile procedures show.

namespace verno::profile::text {

inline constexpr int kDcNotAnswering = 150;
inline constexpr int kFailed = 280;
inline constexpr int kDone = 777;
inline constexpr int kVersionWord = 781;
inline constexpr int kUpdateStart = 782;
inline constexpr int kNotModel = 783;
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
inline constexpr int kRestoreRow = 796;
inline constexpr int kBackupFailed = 797;
inline constexpr int kWaitForReset = 803;
inline constexpr int kUpdateFailed = 814;
inline constexpr int kUpdateFailedHint = 815;
inline constexpr int kHeaderMismatch = 816;
inline constexpr int kRecoveryTitle = 817;
inline constexpr int kRecoveryQuestion = 818;
inline constexpr int kVersionMismatch = 821;
inline constexpr int kVersionUnchecked = 822;
inline constexpr int kBackupNotWritten = 823;
inline constexpr int kBackupUnusable = 824;

// The recovery's numbered instructions.
inline constexpr int kRecoveryStep1 = 640;
inline constexpr int kRecoveryStep2 = 654;
inline constexpr int kRecoveryStep3 = 804;
inline constexpr int kRecoveryStep3a = 805;
inline constexpr int kRecoveryStep3b = 806;
inline constexpr int kRecoveryStep3c = 807;
inline constexpr int kRecoveryStep4 = 808;
inline constexpr int kRecoveryStep5 = 809;
inline constexpr int kRecoveryStep6 = 819;

}  // namespace verno::profile::text
