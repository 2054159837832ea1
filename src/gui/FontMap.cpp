// Font section -> QFont.
#include "gui/FontMap.h"

// std
#include <algorithm>
#include <cstdlib>

// Qt
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace norva {

namespace {

// A face the system has and that is fixed-pitch; otherwise none.
bool usableFace(const QString& face) {
    if (face.isEmpty() || !QFontDatabase::hasFamily(face))
        return false;
    return QFontDatabase::isFixedPitch(face);
}

// The system's fixed font, unless the font system cannot tell it is one (a
// variable "Mono" font without a spacing entry): then a face known to be
// fixed-pitch, so that the columns of the panes stay in line.
QFont fixedFont() {
    const QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontInfo(system).fixedPitch())
        return system;
    for (const char* name : {"DejaVu Sans Mono", "Liberation Mono", "Noto Mono", "Nimbus Mono PS",
                             "Courier New", "FreeMono"})
        if (usableFace(QString::fromLatin1(name)))
            return QFont(QString::fromLatin1(name));
    for (const QString& family : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(family))
            return QFont(family);
    return system;
}

}  // namespace

QFont paneFont(const FontSettings& s) {
    const QString face = QString::fromStdString(s.faceName);
    QFont font = usableFace(face) ? QFont(face) : fixedFont();
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
