#pragma once

#include <filesystem>

// Vantrel's per-user folders, as the XDG rules place them. A base variable
// that is unset or relative is ignored, as those rules say; a folder is
// empty when neither it nor HOME gives an absolute path.

// $XDG_CONFIG_HOME/vantrel, with ~/.config by default: settings, COM port
// links and hooks.
std::filesystem::path VantrelConfigFolder();
// $XDG_STATE_HOME/vantrel, with ~/.local/state by default: the hooks' log.
std::filesystem::path VantrelStateFolder();
