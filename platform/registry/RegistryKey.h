#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// A settings key as the registry offered one: opened for querying or for
// setting values, then closed. The key is an INI file read and written with
// QSettings; it exists when the file does.

enum class RegistryAccess {
    QueryValue,
    SetValue,
};

class RegistryKey {
public:
    // Querying needs an existing key. Setting does not: the first Close
    // that writes creates the file and its folder. A path that is there but
    // is no regular file fails either way.
    static std::optional<RegistryKey> Open(const std::filesystem::path& file,
                                           RegistryAccess access);

    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) = delete;
    // Closes the key if Close has not, ignoring the result.
    ~RegistryKey();

    // False, leaving `value` as it was, when the value is missing or does
    // not read as the type asked for (a number is decimal and must fit in 32
    // bits). A string comes back byte for byte as it was set or written,
    // UTF-8 or not.
    bool QueryString(std::string_view name, std::string& value) const;
    bool QueryNumber(std::string_view name, std::int32_t& value) const;
    // A finite decimal number (a fraction and a power of ten allowed),
    // whatever the locale.
    bool QueryReal(std::string_view name, double& value) const;

    // Values set are written together when the key is closed.
    void SetString(std::string_view name, std::string_view value);
    void SetNumber(std::string_view name, std::int32_t value);
    // The shortest decimal text that reads back as exactly `value`.
    void SetReal(std::string_view name, double value);

    // True when everything set is in the file. The file is replaced as a
    // whole, so a failed write leaves the previous one untouched.
    bool Close();

private:
    struct State;
    explicit RegistryKey(std::unique_ptr<State> state);

    std::unique_ptr<State> m_state;
};
