#pragma once

#include <cstdint>
#include <string>

#include "app/hooks/TunedHook.h"
#include "app/settings/SettingsStore.h"
#include "planning/MessagePump.h"
#include "planning/PassListReader.h"
#include "planning/PassScheduler.h"
#include "planning/PassTable.h"
#include "planning/SatelliteSelector.h"
#include "radio/Pcr1000Link.h"
#include "radio/SatelliteCatalogue.h"
#include "radio/TuningExchange.h"
#include "serial/serialport.h"
#include "services/ActivityLog.h"
#include "services/LogView.h"
#include "services/MessageBoxPresenter.h"

// What a front end (the dialog, or the headless station) gives the tuner:
// where the log and the passes are shown, how message boxes and input are
// handled, and the Cancel button's caption. Each must outlive the tuner.
struct TunerFrontEnd {
    LogView& logView;
    PassTable& passTable;
    MessageBoxPresenter& messages;
    MessagePump& pump;
    CancelButton& cancelButton;
};

// Everything the main window owns, without the window: the serial port,
// the log, the settings, the catalogue and its command queue, the pass
// reader, the selection, the `tuned` hook and the run loop.
class Tuner {
public:
    // Reads the settings, as the dialog's construction does.
    explicit Tuner(const TunerFrontEnd& frontEnd);
    // Sends the receiver the close-down command if a run opened the port.
    ~Tuner();
    Tuner(const Tuner&) = delete;
    Tuner& operator=(const Tuner&) = delete;

    // The dialog's initialisation: the settings are read again and the
    // log says so.
    void InitDialog();
    // "Next Pass" with the settings in force. A CSerialException ends the
    // run and leaves through here; its catcher owns it.
    void OnNextPass();
    // What the user is told of a CSerialException that ended the last run:
    // its COM port, the device that port led to, and the system's reason.
    std::string DescribeSerialError(const CSerialException& error) const;

    ActivityLog& Log() { return m_log; }
    SettingsStore& Settings() { return m_settings; }
    CSerialPort& Port() { return m_port; }
    PassScheduler& Scheduler() { return m_scheduler; }

private:
    // The port comes first, so it is closed last, after the close-down.
    CSerialPort m_port;
    ActivityLog m_log;
    Pcr1000Link m_pcr1000;
    SettingsStore m_settings;
    SatelliteCatalogue m_catalogue;
    TuningExchange m_exchange;
    PassListReader m_reader;
    SatelliteSelector m_selector;
    TunedHook m_tunedHook;
    PassScheduler m_scheduler;
    std::int32_t m_runComPort = 0;
};
