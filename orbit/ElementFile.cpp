#include "orbit/ElementFile.h"

#include <algorithm>
#include <optional>

#include "framework/AsciiText.h"

namespace {

struct NumberedLine {
    int number;
    std::string_view text;
};

// The lines without their ends and trailing blanks, blank ones left out.
std::vector<NumberedLine> TextLines(std::string_view contents) {
    std::vector<NumberedLine> lines;
    int number = 0;
    while (!contents.empty()) {
        ++number;
        const std::size_t end = std::min(contents.find('\n'), contents.size());
        std::string_view line = contents.substr(0, end);
        contents.remove_prefix(std::min(end + 1, contents.size()));
        const std::size_t last = line.find_last_not_of(" \t\r");
        if (last != std::string_view::npos) {
            lines.push_back({number, line.substr(0, last + 1)});
        }
    }
    return lines;
}

bool IsElementLine(std::string_view line, char number) {
    return line.size() >= 2 && line[0] == number && line[1] == ' ';
}

// The catalogue number as line 1 or 2 writes it, for naming a set that has
// no name.
std::string CatalogueField(std::string_view line) {
    return std::string(line.substr(2, std::min<std::size_t>(5, line.size() - 2)));
}

class ElementFileParser {
public:
    explicit ElementFileParser(std::string_view contents) : m_lines(TextLines(contents)) {}

    ElementFile Parse() {
        for (std::size_t at = 0; at < m_lines.size(); ++at) {
            const NumberedLine& line = m_lines[at];
            if (IsElementLine(line.text, '1')) {
                if (at + 1 < m_lines.size() && IsElementLine(m_lines[at + 1].text, '2')) {
                    ReadSet(line, m_lines[at + 1]);
                    ++at;
                } else {
                    Problem(line.number, Satellite(line.text), "line 1 has no line 2 after it");
                }
                m_name.reset();
            } else if (IsElementLine(line.text, '2')) {
                Problem(line.number, Satellite(line.text), "line 2 has no line 1 before it");
                m_name.reset();
            } else {
                TakeName(line);
            }
        }
        if (m_name) {
            Problem(m_name->number, std::string(m_name->text), "no element lines follow the name");
        }
        return std::move(m_file);
    }

private:
    void TakeName(const NumberedLine& line) {
        if (m_name) {
            Problem(m_name->number, std::string(m_name->text), "no element lines follow the name");
        }
        std::string_view name = line.text;
        if (name.starts_with("0 ")) {
            name.remove_prefix(2);
        }
        name.remove_prefix(std::min(name.find_first_not_of(" \t"), name.size()));
        m_name = NumberedLine{line.number, name};
    }

    void ReadSet(const NumberedLine& line1, const NumberedLine& line2) {
        const std::string satellite = Satellite(line1.text);
        if (m_name && HasControlCharacters(m_name->text)) {
            Problem(m_name->number, satellite, "the name holds control characters");
            return;
        }
        ElementLineProblem problem;
        std::optional<ElementSet> set = ReadElementLines(
            line1.text, line2.text, m_name ? std::string(m_name->text) : std::string(), problem);
        if (!set) {
            Problem(problem.line == 1 ? line1.number : line2.number, satellite, problem.text);
            return;
        }
        m_file.sets.push_back(std::move(*set));
    }

    std::string Satellite(std::string_view elementLine) const {
        return m_name ? std::string(m_name->text) : CatalogueField(elementLine);
    }

    void Problem(int line, std::string satellite, std::string text) {
        m_file.problems.push_back({line, std::move(satellite), std::move(text)});
    }

    std::vector<NumberedLine> m_lines;
    std::optional<NumberedLine> m_name;
    ElementFile m_file;
};

}  // namespace

ElementFile ReadElementFile(std::string_view contents) {
    return ElementFileParser(contents).Parse();
}
