#pragma once

#include <QEvent>
#include <QObject>
#include <QSocketNotifier>
#include <map>
#include <memory>

#include "planning/MessagePump.h"
#include "platform/kernel/DescriptorWatch.h"
#include "platform/kernel/ReplyWait.h"

// The run loop's message pump inside Qt's event loop.
//
// While none of the loop's sources is ready it lets Qt process events,
// sleeping until window input or a source wakes it: socket notifiers watch
// the sources' descriptors, enabled only while it sleeps, so a source left
// signalled never makes Qt spin. Quit requests are counted here and posted
// to `quitReceiver` as kQuitEvent, which wakes the loop; a run takes them in
// PumpInput, and when no run is active the receiver takes them itself.
//
// Watched descriptors are served by their own notifier whenever Qt
// processes events, inside a run or not.
//
// It also is the dialog's ReplyWait: while a reply is awaited the window
// keeps painting and answering the window manager, but user input and
// watched descriptors wait until the reply has come or the time is up.
class QtMessagePump final : public MessagePump, public ReplyWait {
public:
    static const QEvent::Type kQuitEvent;

    // Throws std::system_error when the process has no descriptor left.
    explicit QtMessagePump(QObject& quitReceiver);

    void RequestQuit() override;
    std::size_t WaitForSourcesOrInput(std::span<Waitable* const> sources) override;
    bool PumpInput() override;
    bool WatchDescriptor(int descriptor, std::function<void()> onReadable) override;
    void UnwatchDescriptor(int descriptor) override;

    // Takes one quit request, if any is queued.
    bool TakeQuit();

    bool WaitForReply(Waitable& event, std::chrono::milliseconds timeout) override;

private:
    QSocketNotifier& NotifierFor(const Waitable& source);
    void EnableNotifiers(bool enabled);

    QObject& m_quitReceiver;
    int m_queuedQuits = 0;
    std::map<int, std::unique_ptr<QSocketNotifier>> m_notifiers;
    DescriptorWatch m_watched;
    QSocketNotifier m_watchedNotifier;
};
