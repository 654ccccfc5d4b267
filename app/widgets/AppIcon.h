#pragma once

#include <QIcon>

// Vantrel's icon, drawn from its SVG at the sizes desktops ask for.
QIcon VantrelIcon();
