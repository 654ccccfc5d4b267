#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/settings/SettingsStore.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using Lines = std::deque<std::string>;

class SettingsStoreTest : public ::testing::Test, public FolderChooser {
protected:
    std::optional<std::string> ChooseFolder(const std::string& current) override {
        pickerStartedAt = current;
        return pickerAnswer;
    }

    std::string Stored() const {
        std::ostringstream text;
        text << std::ifstream(keyFile, std::ios::binary).rdbuf();
        return text.str();
    }
    void Store(std::string_view contents) const {
        fs::create_directories(keyFile.parent_path());
        std::ofstream(keyFile, std::ios::binary) << contents;
    }

    TempDir dir;
    fs::path keyFile = dir.Path() / "vantrel" / "Vantrel.conf";
    LogLines view;
    ActivityLog log{view};
    SettingsStore settings{log, keyFile};
    std::optional<std::string> pickerAnswer;
    std::string pickerStartedAt = "not asked";
};

}  // namespace

TEST_F(SettingsStoreTest, ReadTakesWhatTheStoreHasAndNothingElse) {
    settings.ReadSettings();
    EXPECT_EQ(settings.GetDirectory(), "");
    EXPECT_EQ(settings.GetComPort(), 1);
    EXPECT_EQ(settings.GetDataMode(), DataModeFile);
    EXPECT_TRUE(view.NewestFirst().empty());
    EXPECT_FALSE(fs::exists(keyFile.parent_path()));

    Store("[General]\nDirectory=/srv/wx\nCom%20Port=7\nDataMode=0\nReporting=5\n");
    settings.ReadSettings();
    EXPECT_EQ(settings.GetDirectory(), "/srv/wx");
    EXPECT_EQ(settings.GetComPort(), 7);
    EXPECT_EQ(settings.GetDataMode(), DataModeDde);
    EXPECT_EQ(log.ReportLevelThreshold(), 5);

    Store("[General]\nDirectory=/a,b\nCom%20Port=three\nDataMode=1.5\nReporting=4294967295\n");
    settings.ReadSettings();
    EXPECT_EQ(settings.GetDirectory(), "/srv/wx");
    EXPECT_EQ(settings.GetComPort(), 7);
    EXPECT_EQ(settings.GetDataMode(), DataModeDde);
    EXPECT_EQ(log.ReportLevelThreshold(), 5);
    EXPECT_TRUE(view.NewestFirst().empty());
}

TEST_F(SettingsStoreTest, MenusChangeMemoryOnlyAndSaveSurvivesARestart) {
    Store("[General]\nCom%20Port=2\n");
    const std::string stored = Stored();
    const std::string longFolder = "/data/" + std::string(300, 'w');
    pickerAnswer = longFolder;
    settings.OnLocationOfDataFile(*this);
    EXPECT_EQ(pickerStartedAt, "");
    settings.OnComPort(3);
    settings.OnDataModeDde();
    log.OnReportingErrorOnly();
    EXPECT_EQ(Stored(), stored);
    EXPECT_TRUE(view.NewestFirst().empty());

    pickerAnswer.reset();
    settings.OnLocationOfDataFile(*this);
    EXPECT_EQ(pickerStartedAt, longFolder);
    settings.OnSave();
    EXPECT_EQ(view.NewestFirst(), Lines{"Settings written to Registry"});
    EXPECT_EQ(Stored(),
              "[General]\nCom%20Port=3\nDataMode=0\nDirectory=" + longFolder + "\nReporting=0\n");

    ActivityLog restartedLog(view);
    restartedLog.SetReportLevelThreshold(9);
    SettingsStore restarted(restartedLog, keyFile);
    restarted.ReadSettings();
    EXPECT_EQ(restarted.GetDirectory(), longFolder);
    EXPECT_EQ(restarted.GetComPort(), 3);
    EXPECT_EQ(restarted.GetDataMode(), DataModeDde);
    EXPECT_EQ(restartedLog.ReportLevelThreshold(), 0);
}

TEST_F(SettingsStoreTest, FailedSaveSaysSoAlone) {
    fs::create_directories(keyFile);
    settings.OnSave();
    EXPECT_EQ(view.NewestFirst(), Lines{"Unable to Read Registry Settings"});

    std::ofstream(dir.Path() / "in the way");
    SettingsStore blocked(log, dir.Path() / "in the way" / "Vantrel.conf");
    EXPECT_FALSE(blocked.WriteSettings());
    EXPECT_EQ(view.NewestFirst(), Lines(2, "Unable to Read Registry Settings"));
}
