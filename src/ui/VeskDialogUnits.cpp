#include "ui/VeskDialogUnits.h"

#include <algorithm>

#include <QFontMetrics>
#include <QString>
#include <cstring>

namespace mailwright {
namespace {

struct FaceStandIn {
    const char* windowsFace;
    const char* family;
};

// Faces the templates and the header band ask for, and what stands in for them here.
constexpr FaceStandIn kFaces[] = {
    {"MS Shell Dlg", "DejaVu Sans"},
    {"MS Shell Dlg 2", "DejaVu Sans"},
    {"Tahoma", "DejaVu Sans"},
};

QFont FontForFace(const char* face) {
    QString family = QString::fromLatin1(face);
    for (const FaceStandIn& standIn : kFaces) {
        if (std::strcmp(standIn.windowsFace, face) == 0) family = QString::fromLatin1(standIn.family);
    }
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    return font;
}

// Windows' MulDiv: the product divided, rounded to the nearest integer.
int MulDiv(int number, int numerator, int denominator) {
    const long long product = static_cast<long long>(number) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

VeskDialogUnits::VeskDialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // Windows averages the 52 letters and rounds the same way (GdiGetCharDimensions).
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / 26 + 1) / 2;
    m_baseY = metrics.height();
}

int VeskDialogUnits::X(int units) const { return MulDiv(units, m_baseX, 4); }

int VeskDialogUnits::Y(int units) const { return MulDiv(units, m_baseY, 8); }

QRect VeskDialogUnits::Rect(int x, int y, int width, int height) const {
    // Position and size each converted on their own, as a dialog template's are.
    return QRect(X(x), Y(y), X(width), Y(height));
}

QSize VeskDialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }

QFont WindowsFont(const char* face, int pointSize) {
    QFont font = FontForFace(face);
    font.setPointSize(pointSize);
    return font;
}

QFont WindowsFontPixels(const char* face, int pixelHeight) {
    QFont font = FontForFace(face);
    font.setPixelSize(pixelHeight);
    // A positive LOGFONT height is the cell height (ascent plus descent), while Qt's pixel
    // size is the em height: shrink the em until the cell fits.
    const int cell = QFontMetrics(font).ascent() + QFontMetrics(font).descent();
    if (cell > pixelHeight) font.setPixelSize(std::max(1, pixelHeight * pixelHeight / cell));
    return font;
}

QFont DialogFont() { return WindowsFont("MS Shell Dlg", 8); }

}  // namespace mailwright
