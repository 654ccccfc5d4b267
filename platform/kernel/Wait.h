#pragma once

#include <cstdint>
#include <span>

#include "platform/kernel/Waitable.h"

inline constexpr std::uint32_t INFINITE = 0xFFFFFFFF;
inline constexpr std::uint32_t WAIT_OBJECT_0 = 0;
inline constexpr std::uint32_t WAIT_IO_COMPLETION = 0xC0;
inline constexpr std::uint32_t WAIT_TIMEOUT = 258;
inline constexpr std::uint32_t WAIT_FAILED = 0xFFFFFFFF;
// The most objects one wait takes, as on the platform Vantrel came from.
inline constexpr std::size_t MAXIMUM_WAIT_OBJECTS = 64;

// Blocks until `object` is signalled (WAIT_OBJECT_0) or `milliseconds` have
// passed (WAIT_TIMEOUT); INFINITE waits without limit. A completed wait on
// an object that resets itself clears it. Nothing spins: the thread sleeps
// in poll() until something happens.
std::uint32_t WaitForSingleObject(Waitable& object, std::uint32_t milliseconds);

// As above for several objects, waiting for any: WAIT_OBJECT_0 + the lowest
// index among those signalled, WAIT_TIMEOUT, or WAIT_FAILED (errno set) for
// no objects, more than MAXIMUM_WAIT_OBJECTS, a null entry or a failed poll.
// With 0 milliseconds it only looks: which object is ready, lowest first.
std::uint32_t WaitForMultipleObjects(std::span<Waitable* const> objects,
                                     std::uint32_t milliseconds);

// As WaitForMultipleObjects, but also ended by input: when no object is
// signalled and the descriptor `input` is readable (or at its end), it
// returns WAIT_OBJECT_0 + objects.size(). The input is looked at, not read.
std::uint32_t MsgWaitForMultipleObjects(std::span<Waitable* const> objects, int input,
                                        std::uint32_t milliseconds);

// The alertable form: when `alertable` is set, completion routines queued for
// this thread run inside the wait, which then returns WAIT_IO_COMPLETION.
// Queued routines run before any object is looked at. An empty list is
// allowed here; the wait then ends only by routines or time-out.
std::uint32_t WaitForMultipleObjectsEx(std::span<Waitable* const> objects,
                                       std::uint32_t milliseconds, bool alertable);

// Sleeps; alertable, it returns WAIT_IO_COMPLETION as soon as completion
// routines have run, else 0 when the time is up.
std::uint32_t SleepEx(std::uint32_t milliseconds, bool alertable);
