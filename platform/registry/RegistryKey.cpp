#include "platform/registry/RegistryKey.h"

#include <QSettings>
#include <cstdlib>
#include <vector>

#include "framework/Diagnostics.h"
#include "platform/registry/IniFileReplacement.h"
#include "platform/registry/QtText.h"

namespace fs = std::filesystem;

struct RegistryKey::State {
    fs::path file;
    // What queries read; only a key opened for querying has it.
    std::unique_ptr<const QSettings> values;
    // What Close writes.
    std::vector<IniValue> changes;
};

namespace {

std::optional<QString> StoredText(const QSettings* values, std::string_view name) {
    VANTREL_ASSERT(values != nullptr);
    if (values == nullptr) {
        return std::nullopt;
    }
    const QVariant value = values->value(QtText(name));
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
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
        state->values = std::make_unique<const QSettings>(QtPath(file), QSettings::IniFormat);
        if (state->values->status() != QSettings::NoError) {
            return std::nullopt;
        }
    }
    return RegistryKey(std::move(state));
}

bool RegistryKey::QueryString(std::string_view name, std::string& value) const {
    VANTREL_ASSERT(m_state != nullptr);
    const std::optional<QString> text = StoredText(m_state ? m_state->values.get() : nullptr, name);
    if (!text) {
        return false;
    }
    const QByteArray utf8 = text->toUtf8();
    value.assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    return true;
}

bool RegistryKey::QueryNumber(std::string_view name, std::int32_t& value) const {
    VANTREL_ASSERT(m_state != nullptr);
    const std::optional<QString> text = StoredText(m_state ? m_state->values.get() : nullptr, name);
    if (!text) {
        return false;
    }
    bool isNumber = false;
    const int number = text->toInt(&isNumber, 10);
    if (isNumber) {
        value = number;
    }
    return isNumber;
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

bool RegistryKey::Close() {
    VANTREL_ASSERT(m_state != nullptr);
    if (!m_state) {
        return false;
    }
    const std::unique_ptr<State> state = std::move(m_state);
    return state->changes.empty() || ReplaceIniFile(state->file, state->changes);
}
