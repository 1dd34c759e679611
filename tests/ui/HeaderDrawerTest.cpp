#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include "support/EmbeddedResource.h"
#include "support/StringTable.h"
#include "ui/UiImages.h"
#include "ui/UiText.h"
#include "ui/VeskDialogHeaderDrawer.h"
#include "ui/VeskDialogUnits.h"

using namespace mailwright;

namespace {

constexpr unsigned kBandFormat = DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS;

QImage PaintBand(const VeskDialogHeaderDrawer& header, const QSize& size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    header.Paint(painter);
    return image;
}

TEST(VeskDialogUnits, ConvertsWithTheFontsAverageWidthAndHeight) {
    const VeskDialogUnits units(DialogFont());
    const QFontMetrics metrics(DialogFont());
    const double average = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    EXPECT_LE(std::abs(units.BaseX() - average), 0.5);
    EXPECT_EQ(units.BaseY(), metrics.height());
    EXPECT_EQ(units.X(4), units.BaseX());
    EXPECT_EQ(units.Y(8), units.BaseY());
    EXPECT_EQ(units.X(265), (265 * units.BaseX() + 2) / 4);
    EXPECT_EQ(units.Rect(7, 7, 245, 31), QRect(units.X(7), units.Y(7), units.X(245), units.Y(31)));
    // The templates' faces map onto a font that is installed, not onto a fallback guess.
    EXPECT_EQ(QFontInfo(DialogFont()).family(), QStringLiteral("DejaVu Sans"));
}

TEST(VeskDialogHeaderDrawer, PaintsNothingBeforeSetup) {
    VeskDialogHeaderDrawer header;
    const QImage image = PaintBand(header, QSize(200, 120));
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 0, 0));
}

TEST(VeskDialogHeaderDrawer, BandRuleAndBitmapSitWhereTheyBelong) {
    QWidget parent;
    parent.resize(400, 150);
    const QImage bitmap = LoadImageResource(IDB_HEADER_BAND);
    ASSERT_EQ(bitmap.size(), QSize(49, 35));
    VeskDialogHeaderDrawer header;
    header.Setup(&parent, 80, "", bitmap, 0xFFFFFF);
    const QImage image = PaintBand(header, parent.size());

    EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, VeskDialogHeaderDrawer::kBandColour);
    EXPECT_EQ(image.pixel(200, 79) & 0xFFFFFF, VeskDialogHeaderDrawer::kBandColour);
    EXPECT_EQ(image.pixel(200, 80), qRgb(255, 0, 0));  // below the band: untouched
    EXPECT_EQ(image.pixel(0, 78) & 0xFFFFFF, VeskDialogHeaderDrawer::kRuleColour);
    EXPECT_EQ(image.pixel(398, 78) & 0xFFFFFF, VeskDialogHeaderDrawer::kRuleColour);
    EXPECT_EQ(image.pixel(399, 78) & 0xFFFFFF, VeskDialogHeaderDrawer::kBandColour);

    // The bitmap: right edge 10 pixels from the band's, vertically centred; its white is left out.
    const int left = 400 - 10 - 49;
    const int top = (80 - 35) / 2;
    int drawn = 0;
    for (int y = 0; y < 35; ++y) {
        for (int x = 0; x < 49; ++x) {
            const QRgb source = bitmap.pixel(x, y) & 0xFFFFFF;
            const QRgb shown = image.pixel(left + x, top + y) & 0xFFFFFF;
            if (source == 0xFFFFFF) EXPECT_EQ(shown, VeskDialogHeaderDrawer::kBandColour) << x << "," << y;
            else drawn += shown == source;
        }
    }
    EXPECT_GT(drawn, 300);
    for (int y = 0; y < 80; ++y) EXPECT_EQ(image.pixel(left - 1, y) & 0xFFFFFF, y == 78 ? VeskDialogHeaderDrawer::kRuleColour : VeskDialogHeaderDrawer::kBandColour);
}

TEST(VeskDialogHeaderDrawer, TextWrapsAndEndsWithAnEllipsisWhenItDoesNotFit) {
    VeskDialogHeaderDrawer header;
    const QFont& font = header.GetFont();
    // 13 pixels of cell height (ascent plus descent), as Windows takes a positive font height.
    const int cell = QFontMetrics(font).ascent() + QFontMetrics(font).descent();
    EXPECT_LE(cell, 13);
    EXPECT_GE(cell, 12);
    EXPECT_EQ(font.weight(), QFont::Normal);
    const QString text = ToQString(LoadString(IDS_MAIN_HEADER));
    const int lineHeight = QFontMetrics(font).height();

    const std::vector<QString> all = FormattedLines(font, QSize(300, 20 * lineHeight), text, kBandFormat);
    ASSERT_GT(all.size(), 2u);
    EXPECT_TRUE(all.back().endsWith(QStringLiteral("address.")));
    QStringList joined;
    for (const QString& line : all) {
        EXPECT_LE(QFontMetrics(font).horizontalAdvance(line), 300);
        joined << line;
    }
    EXPECT_EQ(joined.join(QLatin1Char(' ')), text);

    // Two and a half lines of room: two lines, the second cut with "...".
    const std::vector<QString> cut = FormattedLines(font, QSize(300, 5 * lineHeight / 2), text, kBandFormat);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0], all[0]);
    EXPECT_TRUE(cut[1].endsWith(QStringLiteral("...")));
    EXPECT_TRUE(cut[1].startsWith(all[1].left(all[1].size() / 2)));
    EXPECT_LE(QFontMetrics(font).horizontalAdvance(cut[1]), 300);

    // Without the edit-control flag the partly visible line is drawn too.
    EXPECT_EQ(FormattedLines(font, QSize(300, 5 * lineHeight / 2), text, DT_WORDBREAK).size(), 3u);
}

}  // namespace
