#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/settings/SettingsStore.h"
#include "tests/support/Diagnostics.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using Lines = std::deque<std::string>;

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ScriptedChooser final : public FolderChooser {
public:
    explicit ScriptedChooser(std::optional<std::string> answer) : m_answer(std::move(answer)) {}
    std::optional<std::string> ChooseFolder(const std::string& current) override {
        startedAt = current;
        return m_answer;
    }
    std::string startedAt = "not asked";

private:
    std::optional<std::string> m_answer;
};

class SettingsStoreTest : public ::testing::Test {
protected:
    void WriteKey(std::string_view contents) const {
        fs::create_directories(keyFile.parent_path());
        std::ofstream(keyFile, std::ios::binary) << contents;
    }

    TempDir dir;
    fs::path keyFile = dir.Path() / "config" / "vantrel" / "Vantrel.conf";
    LogLines view;
    ActivityLog log{view};
    SettingsStore settings{log, keyFile};
};

}  // namespace

TEST_F(SettingsStoreTest, WithoutAStoreTheDefaultsStandAndNothingIsLogged) {
    settings.ReadSettings();
    EXPECT_EQ(settings.GetDirectory(), "");
    EXPECT_EQ(settings.GetComPort(), 1);
    EXPECT_EQ(settings.GetDataMode(), DataModeFile);
    EXPECT_EQ(log.ReportLevelThreshold(), ReportVerbose);
    EXPECT_TRUE(view.NewestFirst().empty());
    EXPECT_FALSE(fs::exists(keyFile.parent_path()));
}

TEST_F(SettingsStoreTest, ReadTakesEveryStoredValueAsItIs) {
    WriteKey("[General]\nDirectory=/srv/wx\nCom%20Port=7\nDataMode=0\nReporting=1\n");
    settings.ReadSettings();
    EXPECT_EQ(settings.GetDirectory(), "/srv/wx");
    EXPECT_EQ(settings.GetComPort(), 7);
    EXPECT_EQ(settings.GetDataMode(), DataModeDde);
    EXPECT_EQ(log.ReportLevelThreshold(), ReportTuningOnly);
    // So the start-up line, a level-0 one, does not show.
    log.LogMessage(ReportVerbose, "Settings Read to Registry");
    EXPECT_TRUE(view.NewestFirst().empty());
}

TEST_F(SettingsStoreTest, UnreadableValuesKeepTheirSettings) {
    WriteKey("[General]\nDirectory=/a,b\nCom%20Port=three\nDataMode=1.5\nReporting=4294967295\n");
    settings.OnComPort(2);
    settings.OnDataModeDde();
    log.SetReportLevelThreshold(-3);
    settings.ReadSettings();
    EXPECT_EQ(settings.GetDirectory(), "");
    EXPECT_EQ(settings.GetComPort(), 2);
    EXPECT_EQ(settings.GetDataMode(), DataModeDde);
    EXPECT_EQ(log.ReportLevelThreshold(), -3);
}

TEST_F(SettingsStoreTest, SaveCreatesTheStoreAndARestartReadsIt) {
    const std::string longFolder = "/data/" + std::string(300, 'w');
    ScriptedChooser chooser(longFolder);
    settings.OnLocationOfDataFile(chooser);
    settings.OnComPort(3);
    settings.OnDataModeDde();
    log.OnReportingErrorOnly();
    settings.OnSave();
    EXPECT_EQ(view.NewestFirst(), (Lines{"Settings written to Registry"}));
    EXPECT_EQ(Contents(keyFile),
              "[General]\nCom%20Port=3\nDataMode=0\nDirectory=" + longFolder + "\nReporting=0\n");

    LogLines restartedView;
    ActivityLog restartedLog(restartedView);
    restartedLog.SetReportLevelThreshold(9);
    SettingsStore restarted(restartedLog, keyFile);
    restarted.ReadSettings();
    EXPECT_EQ(restarted.GetDirectory(), longFolder);
    EXPECT_EQ(restarted.GetComPort(), 3);
    EXPECT_EQ(restarted.GetDataMode(), DataModeDde);
    EXPECT_EQ(restartedLog.ReportLevelThreshold(), 0);
}

TEST_F(SettingsStoreTest, MenusChangeOnlyMemoryUntilSave) {
    WriteKey("[General]\nDirectory=/old\nCom%20Port=1\nDataMode=1\nReporting=0\n");
    settings.ReadSettings();
    const std::string stored = Contents(keyFile);

    ScriptedChooser chooser("/new");
    settings.OnLocationOfDataFile(chooser);
    EXPECT_EQ(chooser.startedAt, "/old");
    settings.OnComPort(4);
    settings.OnDataModeDde();
    log.OnReportingTuning();
    EXPECT_EQ(settings.GetDirectory(), "/new");
    EXPECT_EQ(settings.GetComPort(), 4);
    EXPECT_EQ(Contents(keyFile), stored);
    EXPECT_TRUE(view.NewestFirst().empty());

    SettingsStore restarted(log, keyFile);
    restarted.ReadSettings();
    EXPECT_EQ(restarted.GetDirectory(), "/old");
    EXPECT_EQ(restarted.GetComPort(), 1);

    settings.OnDataModeFile();
    EXPECT_EQ(settings.GetDataMode(), DataModeFile);
    for (std::int32_t port = 1; port <= 4; ++port) {
        settings.OnComPort(port);
        EXPECT_EQ(settings.GetComPort(), port);
    }
}

TEST_F(SettingsStoreTest, CancelledPickerChangesNothing) {
    ScriptedChooser picked("/wx");
    settings.OnLocationOfDataFile(picked);
    EXPECT_EQ(picked.startedAt, "");
    ScriptedChooser cancelled(std::nullopt);
    settings.OnLocationOfDataFile(cancelled);
    EXPECT_EQ(cancelled.startedAt, "/wx");
    EXPECT_EQ(settings.GetDirectory(), "/wx");
    EXPECT_TRUE(view.NewestFirst().empty());
    EXPECT_FALSE(fs::exists(keyFile));
}

TEST_F(SettingsStoreTest, FailedSaveSaysSoAlone) {
    // A file stands where the store's folder belongs.
    fs::create_directories(keyFile.parent_path().parent_path());
    std::ofstream(keyFile.parent_path()) << "in the way";
    settings.OnComPort(2);
    settings.OnSave();
    EXPECT_EQ(view.NewestFirst(), (Lines{"Unable to Read Registry Settings"}));
    EXPECT_FALSE(settings.WriteSettings());

    // A folder stands where the store's file belongs.
    fs::remove(keyFile.parent_path());
    fs::create_directories(keyFile);
    view.RemoveAllLines();
    settings.OnSave();
    EXPECT_EQ(view.NewestFirst(), (Lines{"Unable to Read Registry Settings"}));
}

TEST_F(SettingsStoreTest, EmptyFolderIsStoredAsAnEmptyText) {
    WriteKey("[General]\nDirectory=/old\n");
    settings.ReadSettings();
    ScriptedChooser root("/");
    settings.OnLocationOfDataFile(root);
    EXPECT_TRUE(settings.WriteSettings());
    EXPECT_NE(Contents(keyFile).find("\nDirectory=/\n"), std::string::npos);

    SettingsStore empty(log, keyFile);
    EXPECT_TRUE(empty.WriteSettings());
    EXPECT_NE(Contents(keyFile).find("\nDirectory=\n"), std::string::npos);
    settings.ReadSettings();
    EXPECT_EQ(settings.GetDirectory(), "");
}

TEST_F(SettingsStoreTest, ComPortOutsideTheMenuIsAProgrammingError) {
    const CapturedDiagnostics diagnostics;
    settings.OnComPort(5);
    settings.OnComPort(0);
    EXPECT_EQ(diagnostics.assertions.size(), 2u);
}

TEST(SettingsStoreDefaultKey, IsTheUsersVantrelConf) {
    const TempDir dir;
    const ScopedEnvironmentVariable config("XDG_CONFIG_HOME", dir.Path().string());
    LogLines view;
    ActivityLog log(view);
    SettingsStore settings(log);
    settings.OnComPort(4);
    ASSERT_TRUE(settings.WriteSettings());
    EXPECT_NE(Contents(dir.Path() / "vantrel" / "Vantrel.conf").find("Com%20Port=4"),
              std::string::npos);
}
