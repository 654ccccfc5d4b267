#pragma once

#include <string>

// The device behind COM port `port` (1..255): the link
// $XDG_CONFIG_HOME/vantrel/dosdevices/com<port> when that entry exists (even
// when it points nowhere, so opening reports the missing device instead of
// silently taking another one), else /dev/ttyS<port-1>. $XDG_CONFIG_HOME
// defaults to ~/.config; a relative value is ignored, as the XDG rules say.
std::string ComPortDevicePath(int port);
