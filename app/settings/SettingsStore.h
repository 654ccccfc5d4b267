#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "app/settings/FolderChooser.h"
#include "app/settings/RigctlTargetChooser.h"
#include "network/RigctlServers.h"
#include "platform/registry/RegistryKey.h"
#include "services/ActivityLog.h"
#include "services/DataMode.h"

// The file that holds Vantrel's settings key: Vantrel.conf in Vantrel's
// per-user folder (normally ~/.config/vantrel); empty when there is no such
// folder.
std::filesystem::path VantrelKeyFile();

// The receiver a run drives.
enum class ReceiverKind {
    Pcr1000,  // the PCR-1000 on the COM port
    Rigctl,   // a server that speaks the rigctl protocol
};

// Where the station stands: degrees north and east, metres above the WGS-84
// ellipsoid. Kept for the pass predictor.
struct StationLocation {
    double latitudeDeg = 0;
    double longitudeDeg = 0;
    double altitudeM = 0;
};

// The settings kept between runs: the folder of PassList.txt, the COM port,
// the pass source, the log's threshold (held by the log), the receiver and
// the network receiver's address and kind. The menus change them in memory
// only; "Save" writes them to the store.
class SettingsStore {
public:
    explicit SettingsStore(ActivityLog& log, std::filesystem::path keyFile = VantrelKeyFile());

    // Takes every value the store has; a missing key (or no key file at
    // all) changes nothing and logs nothing, a missing or unreadable value
    // (a receiver, address or kind Vantrel does not know among them) keeps
    // its setting.
    void ReadSettings();
    // False, after logging it, when the settings could not be written.
    bool WriteSettings();

    // "Satallites" menu.
    void OnDataModeDde() { m_nDataMode = DataModeDde; }
    void OnDataModeFile() { m_nDataMode = DataModeFile; }
    // "Location of Data File": a cancelled choice changes nothing.
    void OnLocationOfDataFile(FolderChooser& chooser);

    // "Settings" menu: "Com Port" 1 to 4, and "Save".
    void OnComPort(std::int32_t port);
    // "Receiver": the PCR-1000, or a network receiver the user chooses; a
    // cancelled choice changes nothing.
    void OnReceiverPcr1000() { m_receiver = ReceiverKind::Pcr1000; }
    void OnReceiverRigctl(RigctlTargetChooser& chooser);
    void OnSave();

    // Without a trailing separator; empty means the working directory.
    const std::string& GetDirectory() const { return m_strDirectory; }
    std::int32_t GetComPort() const { return m_nComPort; }
    std::int32_t GetDataMode() const { return m_nDataMode; }
    ReceiverKind GetReceiver() const { return m_receiver; }
    const RigctlTarget& GetRigctlTarget() const { return m_rigctl; }

    // The station's location when the store holds its latitude and
    // longitude (a missing altitude is 0). Read with the other settings;
    // the dialog's "Save" leaves it as it is in the store.
    const std::optional<StationLocation>& GetStation() const { return m_station; }
    // Writes the station's location, and nothing else; false when it could
    // not be written.
    bool WriteStation(const StationLocation& station);

private:
    ActivityLog& m_log;
    std::filesystem::path m_keyFile;
    std::string m_strDirectory;
    std::int32_t m_nComPort = 1;
    std::int32_t m_nDataMode = DataModeFile;
    ReceiverKind m_receiver = ReceiverKind::Pcr1000;
    RigctlTarget m_rigctl;
    std::optional<StationLocation> m_station;
};
