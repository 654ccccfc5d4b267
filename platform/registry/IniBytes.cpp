#include "platform/registry/IniBytes.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdio>

namespace {

constexpr char16_t kFirstStandIn = 0xDC80;
constexpr char16_t kLastStandIn = 0xDCFF;

unsigned Byte(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

// Length of the well-formed UTF-8 sequence `bytes` start with, 0 when none:
// no overlong forms, no surrogates, nothing past U+10FFFF.
std::size_t Utf8SequenceLength(std::string_view bytes) {
    const unsigned lead = Byte(bytes, 0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned secondLow = 0x80;
    unsigned secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        secondLow = lead == 0xE0 ? 0xA0 : secondLow;
        secondHigh = lead == 0xED ? 0x9F : secondHigh;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        secondLow = lead == 0xF0 ? 0x90 : secondLow;
        secondHigh = lead == 0xF4 ? 0x8F : secondHigh;
    } else {
        return 0;
    }
    if (bytes.size() < length || Byte(bytes, 1) < secondLow || Byte(bytes, 1) > secondHigh) {
        return 0;
    }
    for (std::size_t at = 2; at < length; ++at) {
        if (Byte(bytes, at) < 0x80 || Byte(bytes, at) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool IsUtf8(std::string_view bytes) {
    for (std::size_t length = 0; !bytes.empty(); bytes.remove_prefix(length)) {
        length = Utf8SequenceLength(bytes);
        if (length == 0) {
            return false;
        }
    }
    return true;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void AppendEscape(std::string& ini, unsigned code) {
    std::array<char, 8> escape{};
    std::snprintf(escape.data(), escape.size(), "\\x%x", code);
    ini += escape.data();
}

void AppendUtf8(std::string& bytes, QStringView text) {
    const QByteArray utf8 = text.toUtf8();
    bytes.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

std::string BytesOfText(const QString& text) {
    std::string bytes;
    qsizetype runStart = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t unit = text[at].unicode();
        const bool paired = at > 0 && text[at - 1].isHighSurrogate();
        if (unit >= kFirstStandIn && unit <= kLastStandIn && !paired) {
            AppendUtf8(bytes, QStringView(text).sliced(runStart, at - runStart));
            bytes.push_back(static_cast<char>(unit - 0xDC00));
            runStart = at + 1;
        }
    }
    AppendUtf8(bytes, QStringView(text).sliced(runStart));
    return bytes;
}

}  // namespace

QVariant StoredForm(std::string_view bytes) {
    if (IsUtf8(bytes)) {
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::optional<std::string> StoredBytes(const QVariant& value) {
    if (value.typeId() == QMetaType::QString) {
        return BytesOfText(value.toString());
    }
    if (value.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return std::nullopt;
}

std::string EscapeStrayBytes(std::string_view ini) {
    if (IsUtf8(ini)) {
        return std::string(ini);
    }
    std::string escaped;
    bool afterEscape = false;
    while (!ini.empty()) {
        const std::size_t length = Utf8SequenceLength(ini);
        if (length == 0) {
            AppendEscape(escaped, 0xDC00 + Byte(ini, 0));
            afterEscape = true;
            ini.remove_prefix(1);
        } else if (afterEscape && IsHexDigit(ini.front())) {
            // An escape takes every hex digit that follows it.
            AppendEscape(escaped, Byte(ini, 0));
            ini.remove_prefix(1);
        } else {
            escaped.append(ini.substr(0, length));
            afterEscape = false;
            ini.remove_prefix(length);
        }
    }
    return escaped;
}
