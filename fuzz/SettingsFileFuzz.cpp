// The settings key's file, Vantrel.conf, as a hand edit or another program
// may leave it, and the values a "Save" writes into it. The input's first
// line is the folder to save, its second line the three numbers, the rest
// the file as it stands.
#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "platform/registry/RegistryKey.h"

namespace {

constexpr std::string_view kNumberNames[] = {"Com Port", "DataMode", "Reporting"};

// A file with `bytes` under a name of its own: QSettings answers from its
// cache for a name it has read while the file's size and time stay the same.
class FreshFile {
public:
    explicit FreshFile(std::string_view bytes) {
        static unsigned long files = 0;
        m_path = ScratchFolder().Write("Vantrel-" + std::to_string(++files) + ".conf", bytes);
    }
    ~FreshFile() {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    FreshFile(const FreshFile&) = delete;
    FreshFile& operator=(const FreshFile&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

QString SettingsPath(const std::filesystem::path& file) {
    return QString::fromStdString(file.string());
}

QString QtName(std::string_view name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

std::string_view TakeLine(std::string_view& rest) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    return line;
}

bool IsUtf8(std::string_view text) {
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// A plain decimal number that fits in 32 bits, with blanks around it. A zero
// byte ends the text, as it ends a C string.
std::optional<std::int32_t> DecimalNumber(const QString& stored) {
    std::string text = stored.left(stored.indexOf(QChar(u'\0'))).trimmed().toStdString();
    if (text.starts_with('+') && text.size() > 1 && text[1] != '-') {
        text.erase(0, 1);
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<QString> StoredText(const std::filesystem::path& file, std::string_view name) {
    const QSettings settings(SettingsPath(file), QSettings::IniFormat);
    const QVariant value = settings.value(QtName(name));
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

// What the reader makes of the file: a number only where the text is one.
void CheckRead(const std::filesystem::path& file) {
    const std::optional<RegistryKey> key = RegistryKey::Open(file, RegistryAccess::QueryValue);
    if (!key) {
        return;
    }
    for (const std::string_view name : kNumberNames) {
        constexpr std::int32_t kUntouched = -123456789;
        std::int32_t value = kUntouched;
        const bool read = key->QueryNumber(name, value);
        const std::optional<QString> text = StoredText(file, name);
        const std::optional<std::int32_t> expected = text ? DecimalNumber(*text) : std::nullopt;
        FUZZ_CHECK(read == expected.has_value());
        FUZZ_CHECK(value == expected.value_or(kUntouched));
    }
    std::string directory = "untouched";
    const bool read = key->QueryString("Directory", directory);
    const std::optional<QString> text = StoredText(file, "Directory");
    FUZZ_CHECK(read == text.has_value());
    // Bytes that are not UTF-8 are kept as they stand, where QSettings puts
    // a replacement character: only a text Qt reads whole can be compared.
    if (!text || !text->contains(QChar::ReplacementCharacter)) {
        FUZZ_CHECK(directory == (text ? text->toStdString() : "untouched"));
    }
}

// A list read from a file may come back as strings or as variants; its
// texts are what counts.
QVariant Texts(const QVariant& value) {
    return value.typeId() == QMetaType::QVariantList ? QVariant(value.toStringList()) : value;
}

std::string FileBytes(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

struct Saved {
    std::string directory;
    std::int32_t numbers[3] = {0, 0, 0};
};

// A save keeps what it wrote and every other entry the file held.
void CheckSave(std::string_view before, const Saved& saved) {
    const FreshFile fresh(before);
    const std::filesystem::path& file = fresh.Path();
    QVariantMap kept;
    bool readable = false;
    {
        const QSettings old(SettingsPath(file), QSettings::IniFormat);
        readable = old.status() == QSettings::NoError;
        // An entry whose value does not read (a name a broken section header
        // mangled) has nothing to lose.
        for (const QString& name : old.allKeys()) {
            if (const QVariant value = old.value(name); value.isValid()) {
                kept.insert(name, value);
            }
        }
    }
    for (const std::string_view name : kNumberNames) {
        kept.remove(QtName(name));
    }
    kept.remove(QStringLiteral("Directory"));

    std::optional<RegistryKey> key = RegistryKey::Open(file, RegistryAccess::SetValue);
    FUZZ_CHECK(key.has_value());
    key->SetString("Directory", saved.directory);
    for (std::size_t i = 0; i < std::size(kNumberNames); ++i) {
        key->SetNumber(kNumberNames[i], saved.numbers[i]);
    }
    if (!key->Close()) {
        // Only a file that does not read may refuse the save, and it stays.
        FUZZ_CHECK(!readable);
        FUZZ_CHECK(FileBytes(file) == before);
        return;
    }
    const std::optional<RegistryKey> reread = RegistryKey::Open(file, RegistryAccess::QueryValue);
    FUZZ_CHECK(reread.has_value());
    std::string directory;
    FUZZ_CHECK(reread->QueryString("Directory", directory));
    if (IsUtf8(saved.directory)) {
        FUZZ_CHECK(directory == saved.directory);
    }
    for (std::size_t i = 0; i < std::size(kNumberNames); ++i) {
        std::int32_t value = 0;
        FUZZ_CHECK(reread->QueryNumber(kNumberNames[i], value) && value == saved.numbers[i]);
    }
    const QSettings now(SettingsPath(file), QSettings::IniFormat);
    for (auto entry = kept.cbegin(); entry != kept.cend(); ++entry) {
        FUZZ_CHECK(Texts(now.value(entry.key())) == Texts(entry.value()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest = InputText(data, size);
    Saved saved;
    saved.directory = TakeLine(rest);
    const std::string numbers(TakeLine(rest));
    std::sscanf(numbers.c_str(), "%d %d %d", &saved.numbers[0], &saved.numbers[1],
                &saved.numbers[2]);

    {
        const FreshFile file(rest);
        CheckRead(file.Path());
    }
    if (saved.directory.find('\0') == std::string::npos) {
        CheckSave(rest, saved);
    }
    return 0;
}
