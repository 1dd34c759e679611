#pragma once
#include <QFont>
#include <QRect>
#include <QSize>

namespace mailwright {

// Converts dialog-template units into pixels the way Windows does: a horizontal unit
// is a quarter of the dialog font's average character width, a vertical unit an
// eighth of its character height, so a dialog keeps its proportions with any font.
class VeskDialogUnits {
public:
    explicit VeskDialogUnits(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;

    // The average character width and the character height in pixels.
    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

private:
    int m_baseX;
    int m_baseY;
};

// A Windows font as this platform shows it: the family stands in for the Windows face
// ("MS Shell Dlg" and "Tahoma" become a sans font that Debian ships).
QFont WindowsFont(const char* face, int pointSize);
// `pixelHeight` is the cell height, as a positive LOGFONT height is.
QFont WindowsFontPixels(const char* face, int pixelHeight);

// The font of the dialog templates: "MS Shell Dlg", 8 point.
QFont DialogFont();

}  // namespace mailwright
