#pragma once
// Custody of the diver's profile during one run: where it is, the profile to write back and the
// file it lies in, the DC met last, and every other file with a profile that the run leaves on
// disk and why. It changes only through the transitions below, all in ProfileState.cpp, each
// checked against the state it leaves: a transition from any other state is a programming
// error, and the program ends there rather than write anything more.
//
//   InDc --Saved--> Saved, --ChoseFile--> FromFile, --NothingToSave--> NotSaved
//   Saved, FromFile --WritingBack--> WritingBack --WrittenBack--> WrittenBack
//   WritingBack --WriteBackFailed--> Saved or FromFile
//   Saved, FromFile --KeptForLater--> KeptOnDisk;  Saved --Discarded--> Discarded
//   any state but WritingBack --StartAttempt--> InDc

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "profile/ProfileFiles.h"
#include "profile/ProfileImage.h"

namespace verno::profile {

enum class ProfileWhere {
    InDc,         // in the DC only; nothing of it saved by this attempt yet
    NotSaved,     // in the DC only, and nothing is kept around this update (empty, or refused)
    Saved,        // in the backup file, waiting to be written back: Close offers the recovery
    FromFile,     // a file the user chose waits to be written into the DC; the file stays as it is
    WritingBack,  // being written into the DC
    WrittenBack,  // written into the DC and its header read back equal
    KeptOnDisk,   // left in its file on purpose, for later
    Discarded,    // the user removed the backup file; the history holds a copy
};

const char* WhereName(ProfileWhere where);

// Why a file with a profile stays on disk when the run ends.
enum class KeptWhy {
    WaitsForUpdate,   // this DC's backup file: its next update writes it back
    ChosenFile,       // the file the user chose to write back; it was not (wholly) written
    PresentProfile,   // what the DC held before the saved profile went back (history)
    SavedProfile,     // the saved profile that the user chose not to write back (history)
    PreviousProfile,  // what the DC held before a chosen file was written into it (history)
    OtherSerial,      // set aside: another DC's serial number inside
    OtherSize,        // set aside: made with a firmware file of the other memory size
    Unusable,         // under this DC's backup name, but damaged or not to be read: left as it is
};

const char* KeptWhyName(KeptWhy why);

struct KeptFile {
    std::filesystem::path file;
    KeptWhy why;
    bool operator==(const KeptFile&) const = default;
};

using Block0Bytes = std::array<std::uint8_t, 128>;

class ProfileState {
public:
    ProfileState();

    ProfileWhere Where() const { return where_; }
    // True while the profile is to be saved before and restored after the update.
    bool KeepProfile() const { return where_ != ProfileWhere::NotSaved; }
    // False while a profile waits to be written into the DC: Close then offers the recovery.
    bool ProfileSafe() const;
    // The profile to write back, and the file it lies in: the backup file, or the chosen file.
    const ProfileImage& Image() const { return *image_; }
    const FileRecord& Source() const { return source_; }
    bool SourceIsChosenFile() const { return chosenFile_; }

    // The DC whose block 0 was read last: its serial number and where its backup file belongs.
    bool DcMet() const { return dcMet_; }
    std::int32_t DcSerial() const { return dcSerial_; }
    const Block0Bytes& DcBlock0() const { return dcBlock0_; }
    const std::filesystem::path& BackupFilePath() const { return backupFilePath_; }
    // This run holds on disk what a DC with exactly this block 0 held in its profile area before
    // the run wrote anything there.
    bool CopiedFrom(const Block0Bytes& block0) const;

    // Every file with a profile that the run leaves on disk, and why; the file waiting to be
    // written back included.
    std::vector<KeptFile> FilesKept() const;

    // --- transitions ---
    // A new attempt: the profile is in the DC; a file the last attempt left stays named.
    void StartAttempt();
    // Block 0 of the attached DC came in.
    void MetDc(const Block0Bytes& block0, std::int32_t serial, std::filesystem::path backupFilePath);
    // What the DC with this block 0 held is now on disk, in a file this run made or read back.
    void Copied(const Block0Bytes& block0);
    // InDc -> NotSaved: nothing to save, or saving was refused; nothing will be written back.
    void NothingToSave();
    // InDc -> Saved: the backup file holds the profile to write back, written by this run or
    // left by an earlier attempt or run.
    void Saved(std::unique_ptr<ProfileImage> image, FileRecord backup);
    // InDc -> FromFile: a file the user chose is to be written into the DC.
    void ChoseFile(std::unique_ptr<ProfileImage> image, FileRecord file);
    // Saved, FromFile -> WritingBack.
    void WritingBack();
    // WritingBack -> Saved or FromFile: the DC did not take it; the file is still there.
    void WriteBackFailed();
    // WritingBack -> WrittenBack; a backup file that could not be removed stays named.
    void WrittenBack(bool sourceRemoved);
    // Saved, FromFile -> KeptOnDisk: left for later.
    void KeptForLater();
    // Saved -> Discarded: the backup file removed, a copy in the history.
    void Discarded();
    // Any state: another file with a profile that the run leaves on disk.
    void Keep(std::filesystem::path file, KeptWhy why);
    // The program has ended: custody stays as it is now. (Only a test's end returns; the
    // command it interrupted then runs out against a cut link and must change nothing.)
    void ProgramEnded();

private:
    void Require(bool allowed, const char* transition) const;
    void TakeSource(std::unique_ptr<ProfileImage> image, FileRecord file, bool chosen);

    ProfileWhere where_ = ProfileWhere::InDc;
    std::unique_ptr<ProfileImage> image_;
    FileRecord source_;
    bool chosenFile_ = false;
    bool dcMet_ = false;
    std::int32_t dcSerial_ = 0;
    Block0Bytes dcBlock0_{};
    std::filesystem::path backupFilePath_;
    std::vector<Block0Bytes> copiedFrom_;
    std::vector<KeptFile> kept_;
    bool ended_ = false;
};

}  // namespace verno::profile
