#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QMargins>
#include <QSize>

// Dialog-template units in pixels for a font, as dialog templates measure
// them: a horizontal unit is a quarter of the font's average character
// width, a vertical unit an eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font)
        : m_baseX(QFontMetrics(font).averageCharWidth()), m_baseY(QFontMetrics(font).height()) {}

    int X(int units) const { return (units * m_baseX + 2) / 4; }
    int Y(int units) const { return (units * m_baseY + 4) / 8; }
    QSize Size(int width, int height) const { return {X(width), Y(height)}; }

private:
    int m_baseX;
    int m_baseY;
};
