#include "app/settings/SettingsStore.h"

#include <utility>

#include "framework/Diagnostics.h"
#include "network/HostPort.h"
#include "platform/kernel/ConfigFolder.h"

namespace {

constexpr std::string_view kDirectoryValue = "Directory";
constexpr std::string_view kComPortValue = "Com Port";
constexpr std::string_view kDataModeValue = "DataMode";
constexpr std::string_view kReportingValue = "Reporting";
constexpr std::string_view kReceiverValue = "Receiver";
constexpr std::string_view kRigctlAddressValue = "Rigctl Address";
constexpr std::string_view kRigctlKindValue = "Rigctl Kind";

// The receiver as the store names it.
constexpr std::string_view kPcr1000Name = "pcr1000";
constexpr std::string_view kRigctlName = "rigctl";

std::string_view ReceiverName(ReceiverKind receiver) {
    return receiver == ReceiverKind::Rigctl ? kRigctlName : kPcr1000Name;
}

// The three values of the receiver, each kept only when it is one Vantrel
// knows: a file edited by hand must not leave a run without a receiver.
void QueryReceiver(const RegistryKey& key, ReceiverKind& receiver, RigctlTarget& target) {
    std::string text;
    if (key.QueryString(kReceiverValue, text)) {
        if (text == kPcr1000Name) {
            receiver = ReceiverKind::Pcr1000;
        } else if (text == kRigctlName) {
            receiver = ReceiverKind::Rigctl;
        }
    }
    if (key.QueryString(kRigctlAddressValue, text) && ParseHostPort(text)) {
        target.address = text;
    }
    if (key.QueryString(kRigctlKindValue, text)) {
        if (const RigctlServer* const server = FindRigctlServer(text)) {
            target.kind = server->kind;
        }
    }
}

constexpr std::string_view kLatitudeValue = "Station Latitude";
constexpr std::string_view kLongitudeValue = "Station Longitude";
constexpr std::string_view kAltitudeValue = "Station Altitude";

constexpr std::int32_t kFirstComPort = 1;
constexpr std::int32_t kLastComPort = 4;

}  // namespace

std::filesystem::path VantrelKeyFile() {
    const std::filesystem::path folder = VantrelConfigFolder();
    return folder.empty() ? folder : folder / "Vantrel.conf";
}

SettingsStore::SettingsStore(ActivityLog& log, std::filesystem::path keyFile)
    : m_log(log), m_keyFile(std::move(keyFile)) {}

void SettingsStore::ReadSettings() {
    // No file (an empty path included) leaves every setting as it is.
    const std::optional<RegistryKey> key = RegistryKey::Open(m_keyFile, RegistryAccess::QueryValue);
    if (!key) {
        return;
    }
    key->QueryString(kDirectoryValue, m_strDirectory);
    key->QueryNumber(kComPortValue, m_nComPort);
    key->QueryNumber(kDataModeValue, m_nDataMode);
    std::int32_t reportLevel = m_log.ReportLevelThreshold();
    if (key->QueryNumber(kReportingValue, reportLevel)) {
        m_log.SetReportLevelThreshold(reportLevel);
    }
    QueryReceiver(*key, m_receiver, m_rigctl);
    StationLocation station;
    if (key->QueryReal(kLatitudeValue, station.latitudeDeg) &&
        key->QueryReal(kLongitudeValue, station.longitudeDeg)) {
        key->QueryReal(kAltitudeValue, station.altitudeM);
        m_station = station;
    }
}

bool SettingsStore::WriteStation(const StationLocation& station) {
    if (m_keyFile.empty()) {
        return false;
    }
    std::optional<RegistryKey> key = RegistryKey::Open(m_keyFile, RegistryAccess::SetValue);
    if (!key) {
        return false;
    }
    key->SetReal(kLatitudeValue, station.latitudeDeg);
    key->SetReal(kLongitudeValue, station.longitudeDeg);
    key->SetReal(kAltitudeValue, station.altitudeM);
    if (!key->Close()) {
        return false;
    }
    m_station = station;
    return true;
}

bool SettingsStore::WriteSettings() {
    if (m_keyFile.empty()) {
        m_log.LogMessage(ReportVerbose,
                         "Settings not saved: no home folder to keep them in (HOME is not set and "
                         "the password database has none)");
        return false;
    }
    std::optional<RegistryKey> key = RegistryKey::Open(m_keyFile, RegistryAccess::SetValue);
    if (key) {
        key->SetString(kDirectoryValue, m_strDirectory);
        key->SetNumber(kComPortValue, m_nComPort);
        key->SetNumber(kDataModeValue, m_nDataMode);
        key->SetNumber(kReportingValue, m_log.ReportLevelThreshold());
        key->SetString(kReceiverValue, ReceiverName(m_receiver));
        key->SetString(kRigctlAddressValue, m_rigctl.address);
        key->SetString(kRigctlKindValue, RigctlServerOf(m_rigctl.kind).name);
        if (key->Close()) {
            return true;
        }
    }
    m_log.LogMessage(ReportVerbose, "Unable to Read Registry Settings");
    return false;
}

void SettingsStore::OnLocationOfDataFile(FolderChooser& chooser) {
    if (std::optional<std::string> folder = chooser.ChooseFolder(m_strDirectory)) {
        m_strDirectory = std::move(*folder);
    }
}

void SettingsStore::OnComPort(std::int32_t port) {
    VANTREL_ASSERT(port >= kFirstComPort && port <= kLastComPort);
    m_nComPort = port;
}

void SettingsStore::OnReceiverRigctl(RigctlTargetChooser& chooser) {
    if (std::optional<RigctlTarget> target = chooser.ChooseRigctlTarget(m_rigctl)) {
        m_receiver = ReceiverKind::Rigctl;
        m_rigctl = std::move(*target);
    }
}

void SettingsStore::OnSave() {
    if (WriteSettings()) {
        m_log.LogMessage(ReportVerbose, "Settings written to Registry");
    }
}
