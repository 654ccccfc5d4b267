#pragma once

#include <clocale>
#include <cstdlib>
#include <string>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

// The C library's locale, which a Qt program takes from the user's, set to
// German (a decimal comma) for one scope. Made here, as the machine may
// have no German locale; ISO-8859-1 builds in a fraction of the time UTF-8
// takes.
class ScopedGermanLocale {
public:
    ScopedGermanLocale()
        : m_made(std::system(
                     ("localedef -i de_DE -f ISO-8859-1 " + (m_locales.Path() / "de_DE").string())
                         .c_str()) == 0),
          m_path("LOCPATH", m_locales.Path().string()),
          m_set(m_made && std::setlocale(LC_ALL, "de_DE") != nullptr) {}
    ~ScopedGermanLocale() { std::setlocale(LC_ALL, "C"); }
    ScopedGermanLocale(const ScopedGermanLocale&) = delete;
    ScopedGermanLocale& operator=(const ScopedGermanLocale&) = delete;

    // True when the locale is in force, with its decimal comma.
    bool IsSet() const { return m_set && std::string(std::localeconv()->decimal_point) == ","; }

private:
    TempDir m_locales;
    bool m_made;
    ScopedEnvironmentVariable m_path;
    bool m_set;
};
