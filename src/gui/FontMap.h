// The text font of every channel pane, built from the Font section. Windows
// faces ("fixedsys", "Terminal", "Courier New", ...) that the system lacks
// map to its fixed-pitch font, so the cells always line up.
#pragma once

// Qt
#include <QFont>

// Norva
#include "app/AppSettings.h"

namespace norva {

QFont paneFont(const FontSettings& settings);

}  // namespace norva
