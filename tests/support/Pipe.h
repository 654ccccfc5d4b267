#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/kernel/UniqueFd.h"

// A pipe's two ends, closed on exec.
struct Pipe {
    Pipe() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            throw std::runtime_error("no pipe");
        }
        reader.Reset(ends[0]);
        writer.Reset(ends[1]);
    }
    // Shrinks it to one page and fills it, as a reader that stopped leaves
    // it; returns what it holds.
    int Fill() const {
        const int size = ::fcntl(writer.Get(), F_SETPIPE_SZ, 4096);
        const std::string page(static_cast<std::size_t>(std::max(size, 0)), '.');
        if (size <= 0 || ::write(writer.Get(), page.data(), page.size()) != size) {
            throw std::runtime_error("cannot fill the pipe");
        }
        return size;
    }

    UniqueFd reader;
    UniqueFd writer;
};

// Appends what `reader` gives within `milliseconds`; false at its end or on
// a time-out.
inline bool ReadWithin(const UniqueFd& reader, std::string& text, int milliseconds) {
    pollfd readable{reader.Get(), POLLIN, 0};
    if (::poll(&readable, 1, milliseconds) != 1) {
        return false;
    }
    char chunk[4096];
    const ssize_t got = ::read(reader.Get(), chunk, sizeof chunk);
    text.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    return got > 0;
}
