#pragma once
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <string>
#include <vector>

class QImage;
class QPainter;
class QWidget;

namespace mailwright {

// Text drawing flags of the band (DrawText's DT_ values).
inline constexpr unsigned DT_WORDBREAK = 0x0010;
inline constexpr unsigned DT_EXPANDTABS = 0x0040;
inline constexpr unsigned DT_EDITCONTROL = 0x2000;
inline constexpr unsigned DT_END_ELLIPSIS = 0x8000;

// Paints the band across the top of a dialog: a near-white field with a grey rule at
// its bottom, the text on the left and a bitmap at the right. Not a window: the
// dialog calls Paint from its own paint handler.
class VeskDialogHeaderDrawer {
public:
    VeskDialogHeaderDrawer();
    virtual ~VeskDialogHeaderDrawer() = default;

    // The text drawing flags: word break, edit-control line breaking, end ellipsis.
    virtual unsigned GetTextFormat() const { return DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS; }

    // Takes the band's window and height in pixels, its text and the bitmap, whose
    // pixels of the transparent colour are not drawn.
    void Setup(QWidget* parent, int height, const std::string& text, const QImage& bitmap, QRgb transparent);

    // Paints the band into the parent's painter; nothing before Setup.
    void Paint(QPainter& painter) const;

    int GetHeight() const { return m_nHeight; }
    const QFont& GetFont() const { return m_font; }
    const QString& GetText() const { return m_strText; }

    // The lines of the text as the band shows them; the last ends in "..." when the
    // text is cut. None before Setup.
    std::vector<QString> GetShownLines() const;

    static constexpr QRgb kBandColour = 0xFEFEFE;
    static constexpr QRgb kRuleColour = 0x808080;

private:
    // The band: the parent's top, m_nHeight high.
    QRect BandRect() const;
    // Where the text goes: the band inset by 10 pixels, left of the bitmap.
    QRect TextRect() const;

    QWidget* m_pParent = nullptr;
    int m_nHeight = 100;
    QPixmap m_image;  // the bitmap with its mask
    QString m_strText;
    QFont m_font;
};

// The lines of text that fit into a rectangle of this size, as DrawText lays them out
// for the flags above.
std::vector<QString> FormattedLines(const QFont& font, const QSize& size, const QString& text, unsigned format);

// Draws text into a rectangle as DrawText does for the flags above: with DT_WORDBREAK
// the text wraps at words; with DT_EDITCONTROL no partly visible last line is drawn;
// with DT_END_ELLIPSIS the last line drawn ends with "..." when text is left over.
void DrawTextFormatted(QPainter& painter, const QRect& rect, const QString& text, unsigned format);

}  // namespace mailwright
