#include "tests/campaign/CustodyCampaign.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "firmware/FirmwareFile.h"
#include "firmware/FirmwarePacker.h"
#include "tests/campaign/ProfilePlace.h"
#include "tests/support/FaultyFiles.h"
#include "tests/support/RecordingView.h"
#include "tests/support/SimulatedHost.h"
#include "tests/support/TempFolder.h"
#include "wizard/Controller.h"

namespace verno::campaign {

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kMemoryBlocks = 512;
constexpr std::size_t kBackupSize = 34 + 2 * 1024 * 130;
constexpr link::Seconds kRunLimit{4.0 * 3600.0};

// --- profiles as the invariants see them, read without the program's own decoders ---

struct Profile {
    std::uint32_t serial = 0;
    Bytes header;  // the 16 bytes of block 0's profile header
    Bytes blocks;  // every block of its range, in order
    bool operator==(const Profile&) const = default;
    bool operator<(const Profile& o) const { return std::tie(serial, header, blocks) < std::tie(o.serial, o.header, o.blocks); }
};

struct Range {
    std::size_t firstBlock = 0;
    std::size_t count = 0;
};

// Where the header puts the profile on a 512-block DC: pointers are byte addresses; an end below
// the start saves the whole area; pointers below unit 256 are raised to it.
std::optional<Range> RangeOf(const std::uint8_t* header) {
    int start = header[9] * 16 + header[8] / 16;
    int end = header[11] * 16 + header[10] / 16;
    if (start == end) return std::nullopt;
    if (end < start) {
        start = 256;
        end = 8 * kMemoryBlocks - 33;
    }
    start = std::max(start, 256);
    end = std::max(end, 256);
    const int first = start / 8;
    const int count = end / 8 - first + 1;
    if (count < 1 || count > 1024 || first * 8 - 256 + 8 * (count - 1) > 32767) return std::nullopt;
    return Range{static_cast<std::size_t>(first), static_cast<std::size_t>(count)};
}

std::uint32_t SerialInBlock0(const Bytes& memory) {
    auto bcd = [](std::uint8_t x) { return static_cast<std::uint32_t>((x / 16) * 10 + x % 16); };
    return bcd(memory[10]) * 10000 + bcd(memory[11]) * 100 + bcd(memory[12]);
}

std::optional<Profile> InMemory(const Bytes& memory) {
    const auto range = RangeOf(memory.data() + 64);
    if (!range || (range->firstBlock + range->count) * 128 > memory.size()) return std::nullopt;
    Profile p;
    p.serial = SerialInBlock0(memory);
    p.header.assign(memory.begin() + 64, memory.begin() + 80);
    p.blocks.assign(memory.begin() + static_cast<std::ptrdiff_t>(range->firstBlock * 128),
                    memory.begin() + static_cast<std::ptrdiff_t>((range->firstBlock + range->count) * 128));
    return p;
}

// A profile file's bytes as ReadProfileFile gives them: unpacked.
std::optional<Profile> InFile(const Bytes& file) {
    if (file.size() != kBackupSize) return std::nullopt;
    unsigned sum = 0;
    for (std::size_t i = 0; i < 16; ++i) sum += file[i];
    if (file[16] != (sum & 0xFF)) return std::nullopt;
    const auto range = RangeOf(file.data());
    if (!range) return std::nullopt;
    auto value = [&file](std::size_t row, std::size_t column) {
        const std::size_t at = 34 + 2 * (row + 1024 * column);
        return static_cast<int>(static_cast<std::int16_t>(file[at] | (file[at + 1] << 8)));
    };
    Profile p;
    for (std::size_t i = 0; i < 6; ++i) p.serial = p.serial * 10 + file[17 + i] % 10;
    p.header.assign(file.begin(), file.begin() + 16);
    for (std::size_t r = 0; r < range->count; ++r) {
        if (value(r, 0) != static_cast<int>((range->firstBlock + r) * 8) - 256) return std::nullopt;
        unsigned rowSum = 0;
        for (std::size_t c = 1; c <= 128; ++c) {
            const int v = value(r, c);
            if (v < 0 || v > 255) return std::nullopt;
            p.blocks.push_back(static_cast<std::uint8_t>(v));
            rowSum += static_cast<unsigned>(v);
        }
        if (value(r, 129) != static_cast<int>(rowSum & 0xFF)) return std::nullopt;
    }
    return p;
}

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()),
                                                                  static_cast<std::streamsize>(bytes.size()));
}

bool IsOurTemporary(const std::string& name) {
    if (name.size() < 21 || !name.ends_with(".tmp")) return false;
    const std::string tag = name.substr(name.size() - 21, 17);
    return tag[0] == '.' && std::all_of(tag.begin() + 1, tag.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

Profile ProfileOfImage(const profile::ProfileImage& image) {
    Profile p;
    for (std::size_t i = 0; i < 6; ++i) p.serial = p.serial * 10 + image.SerialDigits[i];
    p.header.assign(image.ProfileHeader.begin(), image.ProfileHeader.begin() + 16);
    for (int r = 0; r < image.ProfileBlockCount; ++r)
        for (std::size_t c = 1; c <= 128; ++c) p.blocks.push_back(static_cast<std::uint8_t>(image.ProfileBlocks[static_cast<std::size_t>(r)][c]));
    return p;
}

struct RunTooLong {};

// Where two profiles part, for a failure's message.
std::string Difference(const std::optional<Profile>& held, const Profile& wanted) {
    if (!held) return "the DC holds no profile";
    if (held->header != wanted.header) return "another header";
    if (held->blocks.size() != wanted.blocks.size())
        return std::to_string(held->blocks.size() / 128) + " blocks instead of " + std::to_string(wanted.blocks.size() / 128);
    const auto at = std::mismatch(held->blocks.begin(), held->blocks.end(), wanted.blocks.begin()).first - held->blocks.begin();
    return "block " + std::to_string(at / 128) + " differs at byte " + std::to_string(at % 128);
}

// --- one sequence ---

class Sequence {
public:
    Sequence(std::uint64_t seed, CustodyTally& tally, std::string* trace)
        : random_(seed),
          tally_(tally),
          trace_(trace),
          firmware_(firmware::PackFirmware(firmware::DemoFirmware(firmware::Layout::Area1Only, 4, 0))),
          host_(Config(serial_, 1), {}, firmware_),
          twin_(DcFor(firmware_, Config(serial_, 2))) {
        host_.files = &disk_;
        dcs_ = {&host_.dc, &twin_};
        // The user's own files: one in the backup folder, and a folder of their own.
        userFiles_[host_.folder.path() / "my-notes.txt"] = Bytes{'d', 'i', 'v', 'e', 's'};
        for (const auto& [path, bytes] : userFiles_) WriteAll(path, bytes);
    }

    std::string Run(int steps) {
        for (int i = 0; i < steps; ++i) {
            ++tally_.steps;
            step_ = i;
            std::string failed;
            try {
                failed = Step();
            } catch (const RunTooLong&) {
                failed = "a run did not end within four hours of virtual time";
            }
            if (failed.empty()) failed = Invariants();
            if (!failed.empty()) return "step " + std::to_string(i) + " (" + what_ + "): " + failed;
        }
        return {};
    }

private:
    static dcsim::DcConfig Config(std::uint32_t serial, std::uint32_t seed) {
        dcsim::DcConfig config;
        config.serial = serial;
        config.seed = seed;
        config.profileStart = 256;
        config.profileEnd = static_cast<std::uint16_t>(256 + 8 * (2 + seed * 3) - 1);
        config.bytePacing = false;
        config.restartSeconds = 5.0;
        return config;
    }

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool Chance(int percent) { return Below(100) < percent; }
    dcsim::SimulatedDc& Attached() { return *dcs_[static_cast<std::size_t>(attached_)]; }

    // What the step did; `done` when there is nothing more to say about it.
    void Note(const std::string& line, bool done = true) {
        what_ = line;
        if (trace_ && done) *trace_ += "  " + std::to_string(step_) + ": " + line + "\n";
    }

    std::string Step() {
        const int roll = Below(100);
        if (roll < 55) return RunProgram(std::nullopt);
        if (roll < 70) return RunProgram(ChooseRestoreFile());
        if (roll < 85) return Dive();
        if (roll < 92) return Swap();
        return DamageOrCopy();
    }

    // --- what happens between runs ---

    // The diver logs dives: the DC's profile changes. What it held is the diver's to replace,
    // unless a file holds it.
    std::string Dive() {
        ++tally_.dives;
        dcsim::SimulatedDc& dc = Attached();
        if (auto before = InMemory(dc.Memory())) Unprotect(*before, attached_);
        Bytes& memory = dc.MutableMemory();
        const int blocks = Chance(5) ? 0 : 1 + Below(24);
        const auto start = static_cast<std::uint16_t>(256 + 8 * Below(4));
        const auto end = static_cast<std::uint16_t>(blocks == 0 ? start : start + 8 * blocks - 1 - Below(8));
        dcsim::SimulatedDc::WritePointers(memory, kMemoryBlocks, start, end);
        for (std::size_t i = 64; i < 72; ++i) memory[i] = static_cast<std::uint8_t>(Below(256));
        for (std::size_t i = 16 * start; i < 16u * (end + 1u) && i < memory.size(); ++i)
            memory[i] = static_cast<std::uint8_t>(Below(256));
        // A watch that still runs the old firmware, so that the next update sends code again.
        if (Chance(70)) dc.SetFirmware("1A", 0);
        Note("dive: " + std::to_string(blocks) + " blocks");
        return {};
    }

    std::string Swap() {
        ++tally_.swaps;
        attached_ = 1 - attached_;
        host_.link.Plug(Attached());
        Note("the other DC of serial number " + std::to_string(serial_) + " on the cable");
        return {};
    }

    // A flipped digit in the waiting backup's serial record, or a copy of a profile file into the
    // user's own folder (theirs from then on, to restore some day).
    std::string DamageOrCopy() {
        std::vector<fs::path> files = ProfileFiles();
        if (files.empty()) {
            Note("nothing to damage or copy");
            return {};
        }
        const fs::path file = files[static_cast<std::size_t>(Below(static_cast<int>(files.size())))];
        const fs::path backup = host_.folder.path() / ("6978." + SerialText() + ".bin");
        if (Chance(50) && fs::exists(backup)) {
            Bytes bytes = ReadAll(backup);
            if (auto held = InFile(ReadProfileFile(backup))) Unprotect(*held, -1);  // the world destroyed that copy, not the program
            bytes[17 + 5] = static_cast<std::uint8_t>((bytes[17 + 5] + 1) % 10);
            WriteAll(backup, bytes);
            Note("the serial record of " + backup.filename().string() + " damaged");
        } else {
            const fs::path copy = user_.path() / ("copy-" + std::to_string(step_) + file.extension().string());
            const Bytes bytes = ReadAll(file);
            WriteAll(copy, bytes);
            userFiles_[copy] = bytes;
            Note("the user copies " + file.filename().string());
        }
        return {};
    }

    // --- a run of the program ---

    std::optional<fs::path> ChooseRestoreFile() {
        std::vector<fs::path> candidates = ProfileFiles();
        for (const auto& [path, bytes] : userFiles_) candidates.push_back(path);
        candidates.push_back(user_.path() / "no-such-file.bak");
        candidates.push_back(host_.folder.path());
        return candidates[static_cast<std::size_t>(Below(static_cast<int>(candidates.size())))];
    }

    void ArmFaults(std::string& plan) {
        dcsim::DcFaults& f = Attached().Faults();
        f = {};
        if (Chance(30)) {
            plan += "healthy";
            return;
        }
        // Each command and how many of its frames a run may send, weighted to the phases where
        // the profile is at stake: the backup's reads, the upload, the restart and the restore.
        struct Aim {
            std::uint8_t command;
            int frames;
            int weight;
        };
        const Aim aims[] = {{0xB5, 30, 30}, {0xB4, 55, 25}, {0x84, 4, 15}, {0xB6, 1, 10},
                            {0xB2, 2, 10},  {0x97, 2, 5},   {0xA8, 2, 5}};
        int roll = Below(100);
        const Aim* aim = &aims[0];
        for (const Aim& a : aims) {
            aim = &a;
            if ((roll -= a.weight) < 0) break;
        }
        const std::uint8_t command = aim->command;
        f.armAt = dcsim::FaultArming{command, Attached().Counters(command).frames + 1 + Below(aim->frames)};
        switch (Below(9)) {
            case 0: f.powerLossAtBlock = 1; plan += "power loss"; break;
            case 1: f.silent = true; plan += "silent"; break;
            case 2: f.refuseCommand = command; f.refuseCount = Chance(50) ? 1 : 1000; plan += "refuses"; break;
            case 3: f.loseAckOfCodeBlock = 1; plan += "loses an ack"; break;
            case 4: f.garbledReads = Chance(50) ? 1 : 1000; plan += "garbles reads"; break;
            case 5: f.corruptHeaderWrite = true; plan += "corrupts the header"; break;
            case 6: f.unansweredCommand = command; plan += "leaves it unanswered"; break;
            case 7: f.replyLatency = 0.3; plan += "slow"; break;
            default: f.restartSeconds = 60.0; plan += "restarts slowly"; break;
        }
        char at[32];
        std::snprintf(at, sizeof at, " from %02X #%d", command, f.armAt->frame);
        plan += at;
    }

    std::string RunProgram(const std::optional<fs::path>& restore) {
        disk_.NewProcess();
        // Most watches at a shop still run the old firmware.
        if (Chance(70)) Attached().SetFirmware("1A", 0);
        const int dc = attached_;
        const std::optional<Profile> atStart = InMemory(Attached().Memory());
        if (atStart) Protect(*atStart, dc);
        const std::optional<Bytes> chosenBefore =
            restore && fs::is_regular_file(*restore) ? std::optional(ReadAll(*restore)) : std::nullopt;

        std::string plan = restore ? "restore " + restore->filename().string() : "update";
        plan += "; DC: ";
        ArmFaults(plan);
        enum class AtArming { Nothing, Close, ProcessEnds } atArming = AtArming::Nothing;
        if (Attached().Faults().armAt || Chance(20)) {
            const int r = Below(100);
            atArming = r < 25 ? AtArming::Close : r < 50 ? AtArming::ProcessEnds : AtArming::Nothing;
            if (!Attached().Faults().armAt && atArming != AtArming::Nothing)
                Attached().Faults().armAt = dcsim::FaultArming{0xB4, Attached().Counters(0xB4).frames + 1 + Below(70)};
        }
        if (atArming == AtArming::Close) plan += "; Close then";
        if (atArming == AtArming::ProcessEnds) plan += "; the process ends then";
        if (Chance(35)) {
            const auto mode = static_cast<FaultyFiles::Mode>(1 + Below(3));
            const int at = 1 + Below(8);
            disk_.Arm(mode, at);
            plan += mode == FaultyFiles::Mode::DiskFull ? "; disk full" : mode == FaultyFiles::Mode::NoWriting ? "; folder not writable" : "; process ends";
            plan += " at file change " + std::to_string(at);
        }
        Note(plan, false);

        RecordingView view;
        int instructionsShown = 0;
        view.questionAnswerer = [this](const QuestionBox& box) {
            const int n = static_cast<int>(box.choices.size());
            const int pick = Below(n + 1);
            return pick == n ? MessageAnswer::Interrupted : box.choices[static_cast<std::size_t>(pick)].answer;
        };
        view.answerer = [this, &instructionsShown](const RecordedMessage& box) {
            if (box.buttons != MessageButtons::OkCancel) return MessageAnswer::Ok;
            // The recovery's instructions: the user switches the DC back on and tries, a few times.
            if (++instructionsShown > 3) return MessageAnswer::Cancel;
            const int r = Below(10);
            if (r < 6) {
                Attached().Faults() = {};
                if (Attached().PoweredOff()) Attached().PowerOn();
                return MessageAnswer::Ok;
            }
            return r < 8 ? MessageAnswer::Cancel : MessageAnswer::Interrupted;
        };

        bool ended = false;
        std::optional<wizard::RunSummary> summary;
        std::optional<Profile> writtenBack;
        {
            wizard::Controller controller(view, host_);
            const link::Seconds began = host_.clock.Now();
            const bool armedBefore = Attached().Armed();
            bool acted = false;
            host_.link.SetOnPump([&] {
                if (host_.clock.Now() - began > kRunLimit) throw RunTooLong{};
                if (acted || armedBefore || !Attached().Armed()) return;
                acted = true;
                if (atArming == AtArming::ProcessEnds) throw ProcessEnded{};
                if (atArming == AtArming::Close) controller.CloseClick();
            });
            try {
                if (controller.Load()) {
                    if (restore) controller.RestoreClick(*restore);
                    else controller.NextClick();
                    controller.CloseClick();
                }
                summary = controller.Summary();
                if (const update::Session* s = controller.UpdateSession();
                    s && s->Profile().Where() == profile::ProfileWhere::WrittenBack)
                    writtenBack = ProfileOfImage(s->Profile().Image());
            } catch (const ProcessEnded&) {
                ended = true;
            }
            host_.link.SetOnPump({});
        }
        disk_.Disarm();
        lastRunEnded_ = !ended;
        if (restore) ++tally_.restores;
        else ++tally_.updates;
        if (ended) {
            ++tally_.processesEnded;
            Note(what_ + " -> the process ended", false);
        }
        std::string failed;
        if (summary) {
            if (summary->recovered) ++tally_.recoveries;
            const bool success = summary->outcome == wizard::Outcome::Updated ||
                                 summary->outcome == wizard::Outcome::NoUpdateNeeded ||
                                 summary->outcome == wizard::Outcome::Restored;
            if (success) {
                ++tally_.succeeded;
                const std::optional<Profile> now = InMemory(Attached().Memory());
                if (writtenBack && now != writtenBack)
                    failed = "the run reported success, but the DC does not hold the profile it wrote back (" +
                             Difference(now, *writtenBack) + ")";
                if (!writtenBack && atStart && now != atStart && summary->outcome != wizard::Outcome::Updated)
                    failed = "the run reported success, wrote nothing back, and the DC's profile changed";
            }
            Note(what_ + " -> " + OutcomeName(summary->outcome) + ", profile " + profile::WhereName(summary->profile), false);
        }
        if (restore && chosenBefore && (!fs::is_regular_file(*restore) || ReadAll(*restore) != *chosenBefore))
            failed = "the file chosen for the restore was changed or removed";
        Note(what_);
        // A replay shows what the run said too.
        if (trace_) {
            for (const RecordedRow& row : view.rows)
                *trace_ += "       | " + row.event + (row.statuses.empty() ? "" : "  [" + row.status() + "]") + "\n";
            for (const RecordedMessage& box : view.messages) *trace_ += "       # " + box.text.substr(0, 160) + "\n";
        }
        UserComesBack();
        return failed;
    }

    static const char* OutcomeName(wizard::Outcome outcome) {
        switch (outcome) {
            case wizard::Outcome::NotTried: return "not tried";
            case wizard::Outcome::Updated: return "updated";
            case wizard::Outcome::NoUpdateNeeded: return "no update needed";
            case wizard::Outcome::Restored: return "restored";
            case wizard::Outcome::NotAnswering: return "not answering";
            case wizard::Outcome::OtherModel: return "other model";
            case wizard::Outcome::Failed: return "failed";
            case wizard::Outcome::Closed: return "closed";
        }
        return "?";
    }

    // The user mends what went wrong and comes back a few minutes later.
    void UserComesBack() {
        host_.clock.Advance(link::Seconds(1.0));
        (void)Attached().TakeDue(host_.clock.Now());
        for (dcsim::SimulatedDc* dc : dcs_) {
            dc->Faults() = {};
            if (dc->PoweredOff()) dc->PowerOn();
        }
        host_.clock.Advance(link::Seconds(300.0));
        (void)Attached().TakeDue(host_.clock.Now());
    }

    // --- the invariants ---

    void Protect(const Profile& p, int dc) {
        if (std::none_of(protected_.begin(), protected_.end(), [&](const Protected& e) { return e.profile == p && e.dc == dc; }))
            protected_.push_back({p, dc, step_});
    }

    // Held by a DC: the diver may replace it. Held by a file: only the world's damage removes it.
    void Unprotect(const Profile& p, int dc) {
        const std::set<Profile> held = HeldByFiles();
        if (dc >= 0 && held.count(p)) return;
        std::erase_if(protected_, [&](const Protected& e) { return e.profile == p && (e.dc == dc || dc < 0); });
    }

    std::string SerialText() const {
        char text[16];
        std::snprintf(text, sizeof text, "%06u", static_cast<unsigned>(serial_));
        return text;
    }

    std::vector<fs::path> ProfileFiles() {
        std::vector<fs::path> files;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(host_.folder.path(), ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->is_regular_file() && !IsOurTemporary(it->path().filename().string()) && InFile(ReadProfileFile(it->path())))
                files.push_back(it->path());
        std::sort(files.begin(), files.end());
        return files;
    }

    // The profiles the files hold; a temporary file is none of them: it is only on its way.
    std::set<Profile> HeldByFiles() {
        std::set<Profile> held;
        for (const fs::path& root : {host_.folder.path(), user_.path()}) {
            std::error_code ec;
            for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
                if (it->is_regular_file() && !IsOurTemporary(it->path().filename().string()))
                    if (auto p = InFile(ReadProfileFile(it->path()))) held.insert(*p);
        }
        return held;
    }

    std::string Invariants() {
        const std::set<Profile> held = HeldByFiles();
        for (const auto& [p, dc, since] : protected_) {
            if (held.count(p)) continue;
            if (dc >= 0 && InMemory(dcs_[static_cast<std::size_t>(dc)]->Memory()) == p) continue;
            if (dc < 0 && std::any_of(dcs_.begin(), dcs_.end(), [&](auto* d) { return InMemory(d->Memory()) == p; })) continue;
            char header[64];
            std::snprintf(header, sizeof header, "%02X%02X..%02X%02X%02X%02X", p.header[0], p.header[1], p.header[8],
                          p.header[9], p.header[10], p.header[11]);
            return "a profile of " + std::to_string(p.blocks.size() / 128) + " blocks (header " + header + ", serial " +
                   std::to_string(p.serial) + ")" +
                   (dc >= 0 ? " that DC " + std::to_string(dc) + " held" : " that a file held") + " at step " +
                   std::to_string(since) + " is in no file and not in its DC";
        }
        for (const Profile& p : held) Protect(p, -1);

        for (const auto& [path, bytes] : userFiles_)
            if (!fs::is_regular_file(path) || ReadAll(path) != bytes) return "the user's file " + path.string() + " was changed or removed";

        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(host_.folder.path(), ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            const fs::path& path = it->path();
            const std::string name = path.filename().string();
            if (userFiles_.count(path) || name == "VERNO.1B.FWR") continue;
#ifndef _WIN32  // Windows keeps them private by where they lie, below the user's own folder
            const auto others = fs::perms::group_all | fs::perms::others_all;
            if ((fs::symlink_status(path).permissions() & others) != fs::perms::none)
                return path.string() + " is readable by others";
#endif
            if (lastRunEnded_ && IsOurTemporary(name)) return "a temporary file is left after a run that ended: " + name;
        }
        return {};
    }

    std::mt19937_64 random_;
    CustodyTally& tally_;
    std::string* trace_;
    std::uint32_t serial_ = 4711;
    Bytes firmware_;
    FaultyFiles disk_;
    SimulatedHost host_;
    dcsim::SimulatedDc twin_;
    std::vector<dcsim::SimulatedDc*> dcs_;
    int attached_ = 0;
    TempFolder user_;
    std::map<fs::path, Bytes> userFiles_;
    struct Protected {
        Profile profile;
        int dc;     // the DC that held it at the start of a run; -1: a file held it
        int since;  // the step
    };
    std::vector<Protected> protected_;
    bool lastRunEnded_ = true;
    int step_ = 0;
    std::string what_;
};

}  // namespace

std::string RunCustodySequence(std::uint64_t seed, int steps, CustodyTally& tally, std::string* trace) {
    Sequence sequence(seed, tally, trace);
    return sequence.Run(steps);
}

}  // namespace verno::campaign
