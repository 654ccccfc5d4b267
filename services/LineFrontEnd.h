#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "services/LogView.h"
#include "services/MessageBoxPresenter.h"

// Where a front end without a window writes a finished line of text.
using LineSink = std::function<void(std::string_view line)>;

// A log view as lines of text: each line as it is logged, so the lines
// read oldest first.
class LineLogView final : public LogView {
public:
    explicit LineLogView(LineSink sink) : m_sink(std::move(sink)) {}
    void InsertLineAtTop(std::string_view text) override { m_sink(text); }
    // What was written stays written.
    void RemoveAllLines() override {}

private:
    LineSink m_sink;
};

// Message boxes as lines of text (for standard error), each after `prefix`
// (the program's name and a colon, say).
class LineMessageBoxes final : public MessageBoxPresenter {
public:
    LineMessageBoxes(LineSink sink, std::string prefix)
        : m_sink(std::move(sink)), m_prefix(std::move(prefix)) {}
    void ShowMessageBox(std::string_view text) override { m_sink(m_prefix + std::string(text)); }

private:
    LineSink m_sink;
    std::string m_prefix;
};
