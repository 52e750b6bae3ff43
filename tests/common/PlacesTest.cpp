// Where the program reads and writes, portable and installed.

#include "common/Places.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "tests/support/TempFolder.h"

namespace verno {
namespace {

namespace fs = std::filesystem;

struct Environment {
    std::map<std::string, std::string> values;
    std::function<const char*(const char*)> Lookup() const {
        return [this](const char* name) -> const char* {
            const auto it = values.find(name);
            return it == values.end() ? nullptr : it->second.c_str();
        };
    }
};

TEST(Places, APortableBundleKeepsEverythingInItsFolder) {
    const Environment env{{{"HOME", "/home/diver"}}};
    const Places p = DecidePlaces("/opt/bench/verno", true, env.Lookup());
    EXPECT_FALSE(p.installed);
    EXPECT_EQ(p.dataFolder, "/opt/bench/verno");
    EXPECT_EQ(p.userFirmwareFolder, "/opt/bench/verno");
    EXPECT_EQ(p.backupFolder, "/opt/bench/verno");
}

#ifndef _WIN32
TEST(Places, AnInstalledProgramReadsItsDataFromShareAndKeepsBackupsInTheUsersStateFolder) {
    Environment env{{{"HOME", "/home/diver"}}};
    Places p = DecidePlaces("/usr/lib/verno-update", false, env.Lookup());
    EXPECT_TRUE(p.installed);
    EXPECT_EQ(p.dataFolder, "/usr/share/verno-update");
    EXPECT_EQ(p.userFirmwareFolder, "/home/diver/.local/share/verno-update");
    EXPECT_EQ(p.backupFolder, "/home/diver/.local/state/verno-update");

    // The XDG folders where they are absolute; a relative one is ignored.
    env.values["XDG_DATA_HOME"] = "/data/diver";
    env.values["XDG_STATE_HOME"] = "state";
    p = DecidePlaces("/usr/lib/verno-update", true, env.Lookup());  // root may write there: still installed
    EXPECT_TRUE(p.installed);
    EXPECT_EQ(p.userFirmwareFolder, "/data/diver/verno-update");
    EXPECT_EQ(p.backupFolder, "/home/diver/.local/state/verno-update");

    // A read-only copy of the bundle elsewhere: its data beside it, backups with the user.
    p = DecidePlaces("/media/cdrom/verno", false, env.Lookup());
    EXPECT_TRUE(p.installed);
    EXPECT_EQ(p.dataFolder, "/media/cdrom/verno");
    EXPECT_EQ(p.backupFolder, "/home/diver/.local/state/verno-update");
}

#else
TEST(Places, OnWindowsTheUsersFilesLieInLocalAppDataWhenInstalled) {
    Environment env{{{"USERPROFILE", "C:\\Users\\Dörte"}, {"LOCALAPPDATA", "D:\\Profiles\\Dörte\\Local"}}};
    Places p = DecidePlaces("C:\\Tools\\verno", true, env.Lookup());
    EXPECT_FALSE(p.installed);
    EXPECT_EQ(p.backupFolder, "C:\\Tools\\verno");

    const fs::path perUser = fs::u8path("C:\\Users\\Dörte\\AppData\\Local\\Programs\\verno-update");
    p = DecidePlaces(perUser, true, env.Lookup());  // the installer's folder, writable by its user
    EXPECT_TRUE(p.installed);
    EXPECT_EQ(p.dataFolder, perUser);
    EXPECT_EQ(p.userFirmwareFolder, fs::u8path("D:\\Profiles\\Dörte\\Local\\verno-update"));
    EXPECT_EQ(p.backupFolder, p.userFirmwareFolder);

    // Program Files; a relative LOCALAPPDATA is ignored for the one below the user's profile.
    env.values["LOCALAPPDATA"] = "Local";
    p = DecidePlaces("C:\\Program Files\\verno-update", false, env.Lookup());
    EXPECT_TRUE(p.installed);
    EXPECT_EQ(p.dataFolder, "C:\\Program Files\\verno-update");
    EXPECT_EQ(p.backupFolder, fs::u8path("C:\\Users\\Dörte\\AppData\\Local\\verno-update"));
}
#endif

TEST(Places, TheUsersOwnFirmwareFileComesBeforeTheShippedOne) {
    TempFolder home;
    const std::string homeText = reinterpret_cast<const char*>(home.path().u8string().c_str());
    const Environment env{{{"HOME", homeText}, {"USERPROFILE", homeText}}};
    const fs::path programs = home.path() / "lib" / "verno-update";
    const Places p = DecidePlaces(programs, false, env.Lookup());
    EXPECT_EQ(p.FirmwareFile("VERNO.1B.FWR"), p.dataFolder / "VERNO.1B.FWR");
    fs::create_directories(p.userFirmwareFolder);
    std::ofstream(p.userFirmwareFolder / "VERNO.1B.FWR") << "vendor's";
    EXPECT_EQ(p.FirmwareFile("VERNO.1B.FWR"), p.userFirmwareFolder / "VERNO.1B.FWR");
}

}  // namespace
}  // namespace verno
