#include "app/widgets/QtMessagePump.h"

#include <poll.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "platform/kernel/Wait.h"

namespace {

bool IsSignalled(const Waitable& object) {
    pollfd probe{object.Descriptor(), POLLIN, 0};
    return ::poll(&probe, 1, 0) == 1 && (probe.revents & POLLIN) != 0;
}

}  // namespace

const QEvent::Type QtMessagePump::kQuitEvent =
    static_cast<QEvent::Type>(QEvent::registerEventType());

QtMessagePump::QtMessagePump(QObject& quitReceiver)
    : m_quitReceiver(quitReceiver),
      m_watchedNotifier(m_watched.Descriptor(), QSocketNotifier::Read) {
    QObject::connect(&m_watchedNotifier, &QSocketNotifier::activated, &m_watchedNotifier,
                     [this] { m_watched.Dispatch(); });
}

void QtMessagePump::RequestQuit() {
    ++m_queuedQuits;
    // Qt takes ownership of a posted event.
    QCoreApplication::postEvent(&m_quitReceiver, std::make_unique<QEvent>(kQuitEvent).release());
}

bool QtMessagePump::TakeQuit() {
    if (m_queuedQuits == 0) {
        return false;
    }
    --m_queuedQuits;
    return true;
}

std::size_t QtMessagePump::WaitForSourcesOrInput(std::span<Waitable* const> sources) {
    const std::uint32_t ready = WaitForMultipleObjects(sources, 0);
    if (ready < sources.size()) {
        return ready;
    }
    // Its event may already have been handled (during a reply wait, say),
    // so a queued quit would wake nothing.
    if (m_queuedQuits > 0) {
        return sources.size();
    }
    for (const Waitable* source : sources) {
        NotifierFor(*source);
    }
    EnableNotifiers(true);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EnableNotifiers(false);
    return sources.size();
}

bool QtMessagePump::PumpInput() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return TakeQuit();
}

bool QtMessagePump::WatchDescriptor(int descriptor, std::function<void()> onReadable) {
    return m_watched.Add(descriptor, std::move(onReadable));
}

void QtMessagePump::UnwatchDescriptor(int descriptor) {
    m_watched.Remove(descriptor);
}

bool QtMessagePump::WaitForReply(Waitable& event, std::chrono::milliseconds timeout) {
    if (IsSignalled(event)) {
        return true;
    }
    QEventLoop loop;
    QSocketNotifier notifier(event.Descriptor(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    QTimer timeUp;
    timeUp.setSingleShot(true);
    timeUp.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timeUp, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeUp.start(timeout);
    // Watched descriptors wait like user input: their handlers log, and the
    // log keeps the order of the run.
    m_watchedNotifier.setEnabled(false);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_watchedNotifier.setEnabled(true);
    return IsSignalled(event);
}

QSocketNotifier& QtMessagePump::NotifierFor(const Waitable& source) {
    std::unique_ptr<QSocketNotifier>& notifier = m_notifiers[source.Descriptor()];
    if (notifier == nullptr) {
        notifier = std::make_unique<QSocketNotifier>(source.Descriptor(), QSocketNotifier::Read);
        notifier->setEnabled(false);
        // One wake-up is all it is for; the sleep ends with it.
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                         [this] { EnableNotifiers(false); });
    }
    return *notifier;
}

void QtMessagePump::EnableNotifiers(bool enabled) {
    for (const auto& [descriptor, notifier] : m_notifiers) {
        notifier->setEnabled(enabled);
    }
}
