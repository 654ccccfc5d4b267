#pragma once

#include <deque>
#include <string>
#include <string_view>

// Where the activity log's lines are shown: the dialog's list box, or a
// plain list in tests and command-line tools.
class LogView {
public:
    virtual ~LogView() = default;
    virtual void InsertLineAtTop(std::string_view text) = 0;
    virtual void RemoveAllLines() = 0;
};

// A LogView that keeps the lines in memory, newest first.
class LogLines final : public LogView {
public:
    void InsertLineAtTop(std::string_view text) override { m_lines.emplace_front(text); }
    void RemoveAllLines() override { m_lines.clear(); }

    const std::deque<std::string>& NewestFirst() const { return m_lines; }

private:
    std::deque<std::string> m_lines;
};
