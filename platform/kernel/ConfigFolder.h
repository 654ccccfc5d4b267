#pragma once

#include <filesystem>

// Vantrel's per-user folders, as the XDG rules place them. A base variable
// that is unset or relative is ignored, as those rules say; the home folder
// is HOME, else the password database's. A folder is empty, never
// relative, when none of them gives an absolute path.

// $XDG_CONFIG_HOME/vantrel, with ~/.config by default: settings, COM port
// links and hooks.
std::filesystem::path VantrelConfigFolder();
// $XDG_STATE_HOME/vantrel, with ~/.local/state by default: the hooks' log.
std::filesystem::path VantrelStateFolder();
