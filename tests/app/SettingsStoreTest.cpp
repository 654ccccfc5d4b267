#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdint>
#include <tuple>

#include "app/settings/RigctlChoice.h"
#include "app/settings/SettingsStore.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using Lines = std::deque<std::string>;
// Folder, COM port, data mode and the log's threshold.
using Values = std::tuple<std::string, std::int32_t, std::int32_t, std::int32_t>;

class SettingsStoreTest : public ::testing::Test, public FolderChooser, public RigctlTargetChooser {
protected:
    std::optional<std::string> ChooseFolder(const std::string& current) override {
        pickerStartedAt = current;
        return pickerAnswer;
    }
    std::optional<RigctlTarget> ChooseRigctlTarget(const RigctlTarget& current) override {
        rigctlStartedAt = current;
        return rigctlAnswer;
    }

    static Values Read(SettingsStore& store, const ActivityLog& storeLog) {
        store.ReadSettings();
        return {store.GetDirectory(), store.GetComPort(), store.GetDataMode(),
                storeLog.ReportLevelThreshold()};
    }
    void Store(std::string_view contents) const { dir.Write("vantrel/Vantrel.conf", contents); }

    TempDir dir;
    fs::path keyFile = dir.Path() / "vantrel" / "Vantrel.conf";
    LogLines view;
    ActivityLog log{view};
    SettingsStore settings{log, keyFile};
    std::optional<std::string> pickerAnswer;
    std::string pickerStartedAt = "not asked";
    std::optional<RigctlTarget> rigctlAnswer;
    std::optional<RigctlTarget> rigctlStartedAt;
};

}  // namespace

TEST_F(SettingsStoreTest, ReadTakesWhatTheStoreHasAndNothingElse) {
    log.SetReportLevelThreshold(3);
    EXPECT_EQ(Read(settings, log), (Values{"", 1, DataModeFile, 3}));
    EXPECT_FALSE(fs::exists(keyFile.parent_path()));

    Store("[General]\nDirectory=/srv/wx\nCom%20Port=7\nDataMode=0\nReporting=5\n");
    EXPECT_EQ(Read(settings, log), (Values{"/srv/wx", 7, DataModeDde, 5}));
    Store("[General]\nDirectory=/a,b\nCom%20Port=three\nDataMode=1.5\nReporting=4294967295\n");
    EXPECT_EQ(Read(settings, log), (Values{"/srv/wx", 7, DataModeDde, 5}));
    EXPECT_TRUE(view.NewestFirst().empty());
}

TEST_F(SettingsStoreTest, NumbersAreDecimalOnly) {
    std::vector<std::pair<std::string, std::int32_t>> cases{
        {"010", 10}, {"+4", 4}, {"-2", -2}, {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}};
    // Anything else keeps the port as it was.
    for (const char* refused : {"0x3", "0b11", "3.0", "1e2", "", "2147483648"}) {
        cases.emplace_back(refused, 1);
    }
    std::string padding;
    for (const auto& [text, port] : cases) {
        // QSettings takes a file of the same size and millisecond as unchanged.
        padding += std::string(16, 'p');
        Store("[General]\nCom%20Port=" + text + "\nPadding=" + padding + "\n");
        SettingsStore fresh(log, keyFile);
        fresh.ReadSettings();
        EXPECT_EQ(fresh.GetComPort(), port) << text;
    }
}

TEST_F(SettingsStoreTest, MenusChangeMemoryOnlyAndSaveSurvivesARestart) {
    const std::string longFolder = "/data/" + std::string(300, 'w');
    pickerAnswer = longFolder;
    settings.OnLocationOfDataFile(*this);
    EXPECT_EQ(pickerStartedAt, "");
    // Values that differ from one another and from where the restart below
    // starts, so that a value stored under another's name shows.
    settings.OnComPort(3);
    settings.OnDataModeDde();
    EXPECT_EQ(settings.GetDataMode(), DataModeDde);
    settings.OnDataModeFile();
    log.OnReportingErrorOnly();
    rigctlAnswer = RigctlTarget{"sdr.local:7356", RigctlServerKind::Gqrx};
    settings.OnReceiverRigctl(*this);
    EXPECT_EQ(rigctlStartedAt, RigctlTarget{});
    settings.OnReceiverPcr1000();
    // Cancelled: the receiver stays as it was; the dialog starts at the
    // target last chosen.
    rigctlAnswer.reset();
    settings.OnReceiverRigctl(*this);
    EXPECT_EQ(rigctlStartedAt, (RigctlTarget{"sdr.local:7356", RigctlServerKind::Gqrx}));
    EXPECT_EQ(settings.GetReceiver(), ReceiverKind::Pcr1000);
    rigctlAnswer = RigctlTarget{"[::1]:4532", RigctlServerKind::Sdrpp};
    settings.OnReceiverRigctl(*this);
    EXPECT_FALSE(fs::exists(keyFile.parent_path()));
    EXPECT_TRUE(view.NewestFirst().empty());

    pickerAnswer.reset();
    settings.OnLocationOfDataFile(*this);
    EXPECT_EQ(pickerStartedAt, longFolder);
    // The first save makes the key, and its folder.
    settings.OnSave();
    EXPECT_EQ(view.NewestFirst(), Lines{"Settings written to Registry"});
    EXPECT_EQ(FileContents(keyFile),
              "[General]\nCom%20Port=3\nDataMode=1\nDirectory=" + longFolder +
                  "\nReceiver=rigctl\nReporting=0\nRigctl%20Address=[::1]:"
                  "4532\nRigctl%20Kind=sdrpp\n");

    ActivityLog restartedLog(view);
    restartedLog.SetReportLevelThreshold(9);
    SettingsStore restarted(restartedLog, keyFile);
    restarted.OnComPort(4);
    restarted.OnDataModeDde();
    EXPECT_EQ(Read(restarted, restartedLog), (Values{longFolder, 3, DataModeFile, 0}));
    EXPECT_EQ(restarted.GetReceiver(), ReceiverKind::Rigctl);
    EXPECT_EQ(restarted.GetRigctlTarget(), (RigctlTarget{"[::1]:4532", RigctlServerKind::Sdrpp}));
}

// A hand-edited file must not leave a run without a receiver: what Vantrel
// does not know leaves the default.
TEST_F(SettingsStoreTest, TheReceiverIsTakenOnlyAsVantrelKnowsIt) {
    using Receiver = std::tuple<ReceiverKind, std::string, RigctlServerKind>;
    const Receiver defaults{ReceiverKind::Pcr1000, "127.0.0.1:4532", RigctlServerKind::Rigctld};
    int file = 0;
    for (const auto& [stored, expected] : std::vector<std::pair<std::string, Receiver>>{
             {"Receiver=rigctl\nRigctl%20Address=sdr.local:7356\nRigctl%20Kind=gqrx\n",
              {ReceiverKind::Rigctl, "sdr.local:7356", RigctlServerKind::Gqrx}},
             {"Receiver=Rigctl\nRigctl%20Address=127.0.0.1\nRigctl%20Kind=hamlib\n", defaults},
             {"Receiver=\nRigctl%20Address=host:65536\nRigctl%20Kind=SDR++\n", defaults},
             {"Receiver=2\nRigctl%20Address=::1:4532\nRigctl%20Kind=1\n", defaults}}) {
        const fs::path own = dir.Path() / std::to_string(++file) / "Vantrel.conf";
        dir.Write(own.lexically_relative(dir.Path()).string(), "[General]\n" + stored);
        SettingsStore fresh(log, own);
        fresh.ReadSettings();
        EXPECT_EQ((Receiver{fresh.GetReceiver(), fresh.GetRigctlTarget().address,
                            fresh.GetRigctlTarget().kind}),
                  expected)
            << stored;
    }
}

TEST_F(SettingsStoreTest, AFolderNameThatIsNoUtf8IsKeptByteForByte) {
    const std::string folder = "/srv/m\xe9t\xe9o/\xff";
    Store("[General]\nDirectory=" + folder + "\n");
    settings.ReadSettings();
    EXPECT_EQ(settings.GetDirectory(), folder);
    settings.OnSave();
    SettingsStore restarted(log, keyFile);
    restarted.ReadSettings();
    EXPECT_EQ(restarted.GetDirectory(), folder);
}

TEST_F(SettingsStoreTest, FailedSaveSaysSoAlone) {
    fs::create_directories(keyFile);
    settings.OnSave();
    EXPECT_EQ(view.NewestFirst(), Lines{"Unable to Read Registry Settings"});

    // A file its user made read-only stays as it is, root or not.
    fs::remove(keyFile);
    Store("[General]\nCom%20Port=2\n");
    fs::permissions(keyFile, fs::perms::owner_read | fs::perms::group_read);
    settings.OnSave();
    EXPECT_EQ(view.NewestFirst(), Lines(2, "Unable to Read Registry Settings"));
    EXPECT_EQ(FileContents(keyFile), "[General]\nCom%20Port=2\n");
}

// The station's location reads back exactly, beside the other settings and
// whatever the dialog's "Save" writes; without a latitude and longitude
// that read as numbers there is none.
TEST_F(SettingsStoreTest, StationLocationReadsBackExactlyAndOutlivesSave) {
    Store("[General]\nCom%20Port=3\n");
    const StationLocation station{52.3676, -0.1, 1e-7};
    EXPECT_TRUE(settings.WriteStation(station));
    EXPECT_NE(FileContents(keyFile).find("Station%20Latitude=52.3676\nStation%20Longitude=-0.1\n"),
              std::string::npos);
    SettingsStore restarted(log, keyFile);
    EXPECT_EQ(std::get<1>(Read(restarted, log)), 3);
    restarted.OnComPort(2);
    restarted.OnSave();
    SettingsStore again(log, keyFile);
    EXPECT_EQ(std::get<1>(Read(again, log)), 2);
    ASSERT_TRUE(again.GetStation());
    EXPECT_EQ(again.GetStation()->latitudeDeg, station.latitudeDeg);
    EXPECT_EQ(again.GetStation()->longitudeDeg, station.longitudeDeg);
    EXPECT_EQ(again.GetStation()->altitudeM, station.altitudeM);

    for (const char* stored : {"Station%20Latitude=52\n",
                               "Station%20Latitude=52.5x\n"
                               "Station%20Longitude=5\n",
                               "Station%20Latitude=inf\nStation%20Longitude=5\n"}) {
        Store(std::string("[General]\n") + stored);
        SettingsStore fresh(log, keyFile);
        fresh.ReadSettings();
        EXPECT_FALSE(fresh.GetStation()) << stored;
    }
}

// A service or cron job may run without HOME: the settings are then the
// home folder's from the password database, or none; never the working
// folder's. (Also run as a user the password database does not know.)
TEST(SettingsWithoutHome, AreNeverTakenFromOrSavedInTheWorkingFolder) {
    const ScopedEnvironmentVariable home("HOME", std::nullopt);
    const ScopedEnvironmentVariable config("XDG_CONFIG_HOME", std::nullopt);
    const TempDir work;
    const ScopedWorkingDirectory inWork(work.Path());
    work.Write("Vantrel.conf", "[General]\nCom%20Port=3\n");
    const passwd* const user = ::getpwuid(::getuid());
    LogLines view;
    ActivityLog log{view};
    SettingsStore settings(log);
    settings.ReadSettings();
    EXPECT_EQ(settings.GetComPort(), 1);
    if (user != nullptr) {
        EXPECT_EQ(VantrelKeyFile(), fs::path(user->pw_dir) / ".config/vantrel/Vantrel.conf");
        return;
    }
    EXPECT_TRUE(VantrelKeyFile().empty());
    settings.OnSave();
    EXPECT_EQ(view.NewestFirst(),
              Lines{"Settings not saved: no home folder to keep them in (HOME is not set and the "
                    "password database has none)"});
    EXPECT_EQ(FileContents(work.Path() / "Vantrel.conf"), "[General]\nCom%20Port=3\n");
}
