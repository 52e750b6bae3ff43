#include "profile/ProfileState.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace verno::profile {

const char* WhereName(ProfileWhere where) {
    switch (where) {
        case ProfileWhere::InDc: return "in the DC";
        case ProfileWhere::NotSaved: return "not saved";
        case ProfileWhere::Saved: return "saved";
        case ProfileWhere::FromFile: return "from a chosen file";
        case ProfileWhere::WritingBack: return "writing back";
        case ProfileWhere::WrittenBack: return "written back";
        case ProfileWhere::KeptOnDisk: return "kept on disk";
        case ProfileWhere::Discarded: return "discarded";
    }
    return "?";
}

const char* KeptWhyName(KeptWhy why) {
    switch (why) {
        case KeptWhy::WaitsForUpdate: return "waits-for-update";
        case KeptWhy::ChosenFile: return "chosen-file";
        case KeptWhy::PresentProfile: return "present-profile";
        case KeptWhy::SavedProfile: return "saved-profile";
        case KeptWhy::PreviousProfile: return "previous-profile";
        case KeptWhy::OtherSerial: return "other-serial";
        case KeptWhy::OtherSize: return "other-size";
        case KeptWhy::Unusable: return "unusable";
    }
    return "?";
}

ProfileState::ProfileState() : image_(std::make_unique<ProfileImage>()) {}

bool ProfileState::ProfileSafe() const {
    return where_ != ProfileWhere::Saved && where_ != ProfileWhere::FromFile && where_ != ProfileWhere::WritingBack;
}

bool ProfileState::CopiedFrom(const Block0Bytes& block0) const {
    return std::find(copiedFrom_.begin(), copiedFrom_.end(), block0) != copiedFrom_.end();
}

std::vector<KeptFile> ProfileState::FilesKept() const {
    std::vector<KeptFile> files = kept_;
    const bool waiting = where_ == ProfileWhere::Saved || where_ == ProfileWhere::FromFile ||
                         where_ == ProfileWhere::WritingBack || where_ == ProfileWhere::KeptOnDisk;
    if (waiting && !source_.file.empty())
        files.push_back({source_.file, chosenFile_ ? KeptWhy::ChosenFile : KeptWhy::WaitsForUpdate});
    // One line a file: the reason given last is the one that holds now.
    std::vector<KeptFile> unique;
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        if (std::none_of(unique.begin(), unique.end(), [&](const KeptFile& k) { return k.file == it->file; }))
            unique.push_back(*it);
    std::reverse(unique.begin(), unique.end());
    return unique;
}

void ProfileState::Require(bool allowed, const char* transition) const {
    if (allowed) return;
    // Custody that no longer knows where the profile is must not write another byte.
    std::fprintf(stderr, "profile custody: %s from the state '%s'\n", transition, WhereName(where_));
    std::fflush(stderr);
    std::abort();
}

void ProfileState::TakeSource(std::unique_ptr<ProfileImage> image, FileRecord file, bool chosen) {
    Require(image != nullptr, "a profile without its image");
    image_ = std::move(image);
    source_ = std::move(file);
    chosenFile_ = chosen;
}

void ProfileState::StartAttempt() {
    if (ended_) return;
    Require(where_ != ProfileWhere::WritingBack, "StartAttempt");
    for (const KeptFile& file : FilesKept())
        if (std::find(kept_.begin(), kept_.end(), file) == kept_.end()) kept_.push_back(file);
    where_ = ProfileWhere::InDc;
    source_ = {};
    chosenFile_ = false;
}

void ProfileState::MetDc(const Block0Bytes& block0, std::int32_t serial, std::filesystem::path backupFilePath) {
    if (ended_) return;
    Require(where_ != ProfileWhere::WritingBack, "MetDc");
    dcMet_ = true;
    dcBlock0_ = block0;
    dcSerial_ = serial;
    backupFilePath_ = std::move(backupFilePath);
}

void ProfileState::ProgramEnded() { ended_ = true; }

void ProfileState::Copied(const Block0Bytes& block0) {
    if (!CopiedFrom(block0)) copiedFrom_.push_back(block0);
}

void ProfileState::NothingToSave() {
    if (ended_) return;
    Require(where_ == ProfileWhere::InDc, "NothingToSave");
    where_ = ProfileWhere::NotSaved;
}

void ProfileState::Saved(std::unique_ptr<ProfileImage> image, FileRecord backup) {
    if (ended_) return;
    Require(where_ == ProfileWhere::InDc, "Saved");
    TakeSource(std::move(image), std::move(backup), false);
    where_ = ProfileWhere::Saved;
}

void ProfileState::ChoseFile(std::unique_ptr<ProfileImage> image, FileRecord file) {
    if (ended_) return;
    Require(where_ == ProfileWhere::InDc, "ChoseFile");
    TakeSource(std::move(image), std::move(file), true);
    where_ = ProfileWhere::FromFile;
}

void ProfileState::WritingBack() {
    if (ended_) return;
    Require(where_ == ProfileWhere::Saved || where_ == ProfileWhere::FromFile, "WritingBack");
    where_ = ProfileWhere::WritingBack;
}

void ProfileState::WriteBackFailed() {
    if (ended_) return;
    Require(where_ == ProfileWhere::WritingBack, "WriteBackFailed");
    where_ = chosenFile_ ? ProfileWhere::FromFile : ProfileWhere::Saved;
}

void ProfileState::WrittenBack(bool sourceRemoved) {
    if (ended_) return;
    Require(where_ == ProfileWhere::WritingBack, "WrittenBack");
    where_ = ProfileWhere::WrittenBack;
    // The profile is in the DC; a backup file still there would be written back again by the next
    // update, which reads the DC first.
    if (!sourceRemoved && !chosenFile_) Keep(source_.file, KeptWhy::WaitsForUpdate);
}

void ProfileState::KeptForLater() {
    if (ended_) return;
    Require(where_ == ProfileWhere::Saved || where_ == ProfileWhere::FromFile, "KeptForLater");
    where_ = ProfileWhere::KeptOnDisk;
}

void ProfileState::Discarded() {
    if (ended_) return;
    Require(where_ == ProfileWhere::Saved && !chosenFile_, "Discarded");
    where_ = ProfileWhere::Discarded;
}

void ProfileState::Keep(std::filesystem::path file, KeptWhy why) {
    if (ended_ || file.empty()) return;
    KeptFile kept{std::move(file), why};
    std::erase_if(kept_, [&](const KeptFile& k) { return k.file == kept.file; });
    kept_.push_back(std::move(kept));
}

}  // namespace verno::profile
