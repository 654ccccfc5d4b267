#pragma once

#include <filesystem>

// Vantrel's per-user folder: $XDG_CONFIG_HOME/vantrel, with ~/.config when
// XDG_CONFIG_HOME is unset or relative (relative values are ignored, as the
// XDG rules say). Empty when neither gives an absolute path.
std::filesystem::path VantrelConfigFolder();
