#include "platform/registry/RegistryKey.h"

#include <QSettings>
#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include "framework/Diagnostics.h"
#include "framework/NumberText.h"
#include "platform/registry/IniBytes.h"
#include "platform/registry/IniFileReplacement.h"
#include "platform/registry/QtText.h"
#include "platform/registry/ScratchFile.h"

namespace fs = std::filesystem;

struct RegistryKey::State {
    fs::path file;
    // What queries read; only a key opened for querying has it.
    std::unique_ptr<const QSettings> values;
    // What Close writes.
    std::vector<IniValue> changes;
};

namespace {

QVariant StoredValue(const QSettings* values, std::string_view name) {
    VANTREL_ASSERT(values != nullptr);
    return values ? values->value(QtText(name)) : QVariant();
}

bool WriteWhole(const fs::path& file, std::string_view bytes) {
    std::ofstream stream(file, std::ios::binary);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    stream.close();
    return !stream.fail();
}

// QSettings would decode bytes that are no UTF-8 into replacement
// characters, so such a file is read from a copy with those bytes escaped.
// Without a place for the copy it is read as it is.
std::unique_ptr<const QSettings> ReadValues(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    const std::string contents{std::istreambuf_iterator<char>(stream), {}};
    const std::string escaped = EscapeStrayBytes(contents);
    std::error_code error;
    const fs::path temporary = fs::temp_directory_path(error);
    if (escaped != contents && !error) {
        const ScratchFile copy(temporary / file.filename());
        if (copy.IsCreated() && WriteWhole(copy.Path(), escaped)) {
            // QSettings reads the whole file here, before the copy goes.
            return std::make_unique<const QSettings>(QtPath(copy.Path()), QSettings::IniFormat);
        }
    }
    return std::make_unique<const QSettings>(QtPath(file), QSettings::IniFormat);
}

}  // namespace

RegistryKey::RegistryKey(std::unique_ptr<State> state) : m_state(std::move(state)) {}
RegistryKey::RegistryKey(RegistryKey&& other) noexcept = default;

RegistryKey::~RegistryKey() {
    if (m_state) {
        Close();
    }
}

std::optional<RegistryKey> RegistryKey::Open(const fs::path& file, RegistryAccess access) {
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        return std::nullopt;
    }
    auto state = std::make_unique<State>();
    state->file = file;
    if (access == RegistryAccess::QueryValue) {
        if (!fs::exists(status)) {
            return std::nullopt;
        }
        state->values = ReadValues(file);
        if (state->values->status() != QSettings::NoError) {
            return std::nullopt;
        }
    }
    return RegistryKey(std::move(state));
}

bool RegistryKey::QueryString(std::string_view name, std::string& value) const {
    VANTREL_ASSERT(m_state != nullptr);
    std::optional<std::string> bytes =
        StoredBytes(StoredValue(m_state ? m_state->values.get() : nullptr, name));
    if (!bytes) {
        return false;
    }
    value = std::move(*bytes);
    return true;
}

bool RegistryKey::QueryNumber(std::string_view name, std::int32_t& value) const {
    VANTREL_ASSERT(m_state != nullptr);
    const QVariant stored = StoredValue(m_state ? m_state->values.get() : nullptr, name);
    if (stored.typeId() != QMetaType::QString) {
        return false;
    }
    bool isNumber = false;
    const int number = stored.toString().toInt(&isNumber, 10);
    if (isNumber) {
        value = number;
    }
    return isNumber;
}

bool RegistryKey::QueryReal(std::string_view name, double& value) const {
    VANTREL_ASSERT(m_state != nullptr);
    const QVariant stored = StoredValue(m_state ? m_state->values.get() : nullptr, name);
    if (stored.typeId() != QMetaType::QString) {
        return false;
    }
    const std::optional<double> number = ParseDecimal(stored.toString().toStdString());
    if (number) {
        value = *number;
    }
    return number.has_value();
}

void RegistryKey::SetString(std::string_view name, std::string_view value) {
    VANTREL_ASSERT(m_state != nullptr && m_state->values == nullptr);
    if (m_state) {
        m_state->changes.push_back({std::string(name), std::string(value)});
    }
}

void RegistryKey::SetNumber(std::string_view name, std::int32_t value) {
    SetString(name, std::to_string(value));
}

void RegistryKey::SetReal(std::string_view name, double value) {
    VANTREL_ASSERT(std::isfinite(value));
    SetString(name, DecimalText(value));
}

bool RegistryKey::Close() {
    VANTREL_ASSERT(m_state != nullptr);
    if (!m_state) {
        return false;
    }
    const std::unique_ptr<State> state = std::move(m_state);
    return state->changes.empty() || ReplaceIniFile(state->file, state->changes);
}
