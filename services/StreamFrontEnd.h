#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "services/LogView.h"
#include "services/MessageBoxPresenter.h"

// A log view on a text stream: each line as it is logged, so the stream
// reads oldest first, flushed at once for whoever watches it.
class StreamLogView final : public LogView {
public:
    explicit StreamLogView(std::ostream& stream) : m_stream(stream) {}
    void InsertLineAtTop(std::string_view text) override { m_stream << text << std::endl; }
    // What was written stays written.
    void RemoveAllLines() override {}

private:
    std::ostream& m_stream;
};

// Message boxes as lines on a text stream (standard error), each after
// `prefix` (the program's name and a colon, say).
class StreamMessageBoxes final : public MessageBoxPresenter {
public:
    StreamMessageBoxes(std::ostream& stream, std::string prefix)
        : m_stream(stream), m_prefix(std::move(prefix)) {}
    void ShowMessageBox(std::string_view text) override {
        m_stream << m_prefix << text << std::endl;
    }

private:
    std::ostream& m_stream;
    std::string m_prefix;
};
