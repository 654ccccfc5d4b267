#pragma once

#include <cerrno>
#include <new>
#include <system_error>

// Runs `make`, which returns a (smart) pointer, giving null with errno set
// instead of an exception when the system has no descriptor, thread or
// memory left.
template <class Make>
auto NullOnFailure(Make make) noexcept -> decltype(make()) {
    try {
        return make();
    } catch (const std::system_error& error) {
        errno = error.code().value();
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
    }
    return nullptr;
}
