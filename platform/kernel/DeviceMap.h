#pragma once

#include <filesystem>
#include <string>

// Where the link for COM port `port` (1..255) belongs:
// $XDG_CONFIG_HOME/vantrel/dosdevices/com<port>, lower case as Wine names
// it. Empty when there is no per-user folder (see VantrelConfigFolder).
std::filesystem::path ComPortLinkPath(int port);

// The device behind COM port `port` (1..255): its link (ComPortLinkPath)
// when that entry exists (even when it points nowhere, so opening reports
// the missing device instead of silently taking another one), else
// /dev/ttyS<port-1>. $XDG_CONFIG_HOME defaults to ~/.config; a relative
// value is ignored, as the XDG rules say.
std::string ComPortDevicePath(int port);
