#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/hooks/TunedHook.h"
#include "app/settings/RigctlChoice.h"
#include "app/settings/SettingsStore.h"
#include "planning/MessagePump.h"
#include "planning/PassListReader.h"
#include "planning/PassScheduler.h"
#include "planning/PassTable.h"
#include "planning/SatelliteSelector.h"
#include "radio/Pcr1000Link.h"
#include "radio/RigctlLink.h"
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
// the receiver links, the log, the settings, the catalogue and its command
// queue, the pass reader, the selection, the `tuned` hook and the run loop.
class Tuner {
public:
    // Reads the settings, as the dialog's construction does.
    explicit Tuner(const TunerFrontEnd& frontEnd);
    // Sends the receiver the close-down command if a run opened the port,
    // and a network receiver still connected its last word.
    ~Tuner();
    Tuner(const Tuner&) = delete;
    Tuner& operator=(const Tuner&) = delete;

    // The dialog's initialisation: the settings are read again and the
    // log says so.
    void InitDialog();
    // How both receiver links await replies: a window's wait keeps it
    // painting; null (the default) blocks the thread.
    void SetReplyWait(ReplyWait* wait);
    // A network receiver given on the command line, in place of the saved
    // choice for every run from now on; the settings are not changed.
    void OverrideReceiver(const RigctlOverride& given) { m_receiverOverride = given; }

    // "Next Pass" with the settings in force, on the receiver they choose.
    // A receiver that cannot be reached ends the run: the text returned
    // then tells the user why (the COM port and its device, or the
    // network address, and the system's reason).
    std::optional<std::string> OnNextPass();

    ActivityLog& Log() { return m_log; }
    SettingsStore& Settings() { return m_settings; }
    CSerialPort& Port() { return m_port; }
    PassScheduler& Scheduler() { return m_scheduler; }

private:
    // The link the next run drives, set up from the settings.
    ReceiverLink& RunReceiver();
    // What the user is told of a CSerialException that ended the last run:
    // its COM port, the device that port led to, and the system's reason.
    std::string DescribeSerialError(const CSerialException& error) const;

    // The port comes first, so it is closed last, after the close-down.
    CSerialPort m_port;
    ActivityLog m_log;
    Pcr1000Link m_pcr1000;
    RigctlLink m_rigctl;
    SettingsStore m_settings;
    SatelliteCatalogue m_catalogue;
    TuningExchange m_exchange;
    PassListReader m_reader;
    SatelliteSelector m_selector;
    TunedHook m_tunedHook;
    PassScheduler m_scheduler;
    std::int32_t m_runComPort = 0;
    RigctlOverride m_receiverOverride;
};
