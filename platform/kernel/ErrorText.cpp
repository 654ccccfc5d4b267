#include "platform/kernel/ErrorText.h"

#include <cstring>

bool SystemErrorText(std::uint32_t code, std::string& text) {
    // The fixed codes shadow errno numbers that no terminal call produces.
    switch (code) {
        case ERROR_CALL_NOT_IMPLEMENTED:
            text = "This function is not supported on this system";
            return true;
        case ERROR_IO_PENDING:
            text = "Overlapped I/O operation is in progress";
            return true;
        default:
            break;
    }
    const char* const description = ::strerrordesc_np(static_cast<int>(code));
    text = description != nullptr ? description : "";
    return description != nullptr;
}
