#include "ui/VeskDialogHeaderDrawer.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTextLayout>
#include <QWidget>
#include <vector>

#include "ui/UiText.h"
#include "ui/VeskDialogUnits.h"

namespace mailwright {
namespace {

// The band image: the bitmap with every pixel of the transparent colour left out.
QPixmap MaskedImage(const QImage& bitmap, QRgb transparent) {
    QImage image = bitmap.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == (transparent & 0xFFFFFF)) line[x] = 0;
        }
    }
    return QPixmap::fromImage(image);
}

QTextOption LayoutOption(const QFontMetrics& metrics, unsigned format) {
    QTextOption option;
    option.setWrapMode((format & DT_WORDBREAK) ? QTextOption::WordWrap : QTextOption::NoWrap);
    // DrawText's tab stops lie eight average characters apart.
    option.setTabStopDistance(8 * metrics.averageCharWidth());
    return option;
}

}  // namespace

std::vector<QString> FormattedLines(const QFont& font, const QSize& size, const QString& text, unsigned format) {
    std::vector<QString> shown;
    if (size.width() <= 0 || size.height() <= 0) return shown;
    const QFontMetrics metrics(font);
    QString laidOut = text;
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);

    QTextLayout layout(laidOut, font);
    layout.setTextOption(LayoutOption(metrics, format));
    layout.beginLayout();
    qreal top = 0;
    int lastStart = 0;
    bool leftOver = false;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(size.width());
        const bool partlyVisible = top + line.height() > size.height();
        if (top >= size.height() || (partlyVisible && (format & DT_EDITCONTROL))) {
            leftOver = true;
            break;
        }
        lastStart = line.textStart();
        shown.push_back(text.mid(line.textStart(), line.textLength()).trimmed());
        top += line.height();
    }
    layout.endLayout();

    if (leftOver && !shown.empty() && (format & DT_END_ELLIPSIS)) {
        // The last line shown runs on into the rest of the text, cut so that "..." fits.
        const QString rest = text.mid(lastStart).simplified();
        const QString ellipsis = QStringLiteral("...");
        qsizetype length = rest.size();
        while (length > 0 && metrics.horizontalAdvance(rest.left(length) + ellipsis) > size.width()) --length;
        shown.back() = rest.left(length) + ellipsis;
    }
    return shown;
}

void DrawTextFormatted(QPainter& painter, const QRect& rect, const QString& text, unsigned format) {
    const std::vector<QString> lines = FormattedLines(painter.font(), rect.size(), text, format);
    const QFontMetrics metrics(painter.font());
    painter.save();
    painter.setClipRect(rect);
    int baseline = rect.top() + metrics.ascent();
    for (const QString& line : lines) {
        painter.drawText(QPoint(rect.left(), baseline), line);
        baseline += metrics.height();
    }
    painter.restore();
}

VeskDialogHeaderDrawer::VeskDialogHeaderDrawer() : m_font(WindowsFontPixels("Tahoma", 13)) {}

void VeskDialogHeaderDrawer::Setup(QWidget* parent, int height, const std::string& text, const QImage& bitmap,
                                   QRgb transparent) {
    m_pParent = parent;
    m_nHeight = height;
    m_strText = ToQString(text);
    m_image = bitmap.isNull() ? QPixmap() : MaskedImage(bitmap, transparent);
}

QRect VeskDialogHeaderDrawer::BandRect() const {
    QRect band = m_pParent->rect();
    band.setHeight(m_nHeight);
    return band;
}

QRect VeskDialogHeaderDrawer::TextRect() const {
    QRect textRect = BandRect().adjusted(10, 10, -10, -10);
    if (m_image.width() > 0 && m_image.height() > 0) textRect.setRight(textRect.right() - (m_image.width() + 20));
    return textRect;
}

std::vector<QString> VeskDialogHeaderDrawer::GetShownLines() const {
    if (!m_pParent) return {};
    return FormattedLines(m_font, TextRect().size(), m_strText, GetTextFormat());
}

void VeskDialogHeaderDrawer::Paint(QPainter& painter) const {
    if (!m_pParent) return;
    const QRect band = BandRect();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(band, QColor(kBandColour));
    painter.setPen(QPen(QColor(kRuleColour), 1));
    const int ruleY = band.top() + m_nHeight - 2;
    painter.drawLine(band.left(), ruleY, band.right() - 1, ruleY);

    if (m_image.width() > 0 && m_image.height() > 0) {
        const int x = band.right() + 1 - 10 - m_image.width();
        const int y = band.top() + (m_nHeight - m_image.height()) / 2;
        painter.drawPixmap(x, y, m_image);
    }
    painter.setFont(m_font);
    painter.setPen(Qt::black);
    DrawTextFormatted(painter, TextRect(), m_strText, GetTextFormat());
    painter.restore();
}

}  // namespace mailwright
