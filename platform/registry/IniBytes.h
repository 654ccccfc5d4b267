#pragma once

#include <QVariant>
#include <optional>
#include <string>
#include <string_view>

// Texts are bytes (a folder name on Linux need not be UTF-8), while QSettings
// reads and writes UTF-8. These keep every byte across the INI file.

// What QSettings stores for `bytes`: text when they are UTF-8, otherwise the
// bytes themselves, which it writes escaped and reads back exactly.
QVariant StoredForm(std::string_view bytes);

// The bytes of a stored text or byte value; nullopt for any other type.
// In a text, a stand-in of EscapeStrayBytes is its byte again.
std::optional<std::string> StoredBytes(const QVariant& value);

// `ini` unchanged when it is UTF-8. Otherwise each byte that is no part of
// UTF-8 becomes an INI escape of a stand-in character (U+DC80 to U+DCFF),
// which QSettings reads into a text where UTF-8 decoding would have lost it.
std::string EscapeStrayBytes(std::string_view ini);
