// Font section -> QFont.
#include "gui/FontMap.h"

// std
#include <algorithm>
#include <cstdlib>

// Qt
#include <QFontDatabase>
#include <QFontInfo>

namespace norva {

namespace {

// A face the system has and that is fixed-pitch; otherwise none.
bool usableFace(const QString& face) {
    if (face.isEmpty() || !QFontDatabase::hasFamily(face))
        return false;
    return QFontDatabase::isFixedPitch(face);
}

}  // namespace

QFont paneFont(const FontSettings& s) {
    const QString face = QString::fromStdString(s.faceName);
    QFont font = usableFace(face) ? QFont(face) : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace, QFont::PreferDefault);
    font.setFixedPitch(true);
    // A Windows height is a pixel height (negative: of the character, positive:
    // of the cell); 0 keeps the font's own size.
    if (s.height != 0)
        font.setPixelSize(std::clamp(std::abs(s.height), 6, 72));
    if (s.weight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp(s.weight, 100, 900)));
    font.setItalic(s.italic != 0);
    font.setUnderline(s.underline != 0);
    font.setStrikeOut(s.strikeOut != 0);
    font.setKerning(false);
    return font;
}

}  // namespace norva
