// Draws the program's images: the header band bitmap (data/band.png, 49 x 35 on white,
// which the band leaves out), the program icon (data/mailwright.png, 48 x 48) and the
// icon in the sizes of the desktop's icon theme (data/icons/NxN/mailwright.png).
//   mailwright-draw-images DATA_FOLDER
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

// An envelope in the rectangle, its flap folded down, with a round badge carrying a
// check mark at its lower right: a mail account, made.
void DrawEnvelope(QPainter& painter, const QRectF& body, qreal badgeRadius) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QColor outline(0x1F, 0x4E, 0x8C);
    QLinearGradient paper(body.topLeft(), body.bottomLeft());
    paper.setColorAt(0.0, QColor(0xF4, 0xF8, 0xFD));
    paper.setColorAt(1.0, QColor(0xB9, 0xD3, 0xF0));
    painter.setPen(QPen(outline, body.width() / 40.0 + 0.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(paper);
    painter.drawRoundedRect(body, body.width() / 24.0, body.width() / 24.0);

    QPainterPath flap;
    flap.moveTo(body.topLeft() + QPointF(1, 1));
    flap.lineTo(body.center().x(), body.top() + body.height() * 0.58);
    flap.lineTo(body.topRight() + QPointF(-1, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(flap);
    painter.drawLine(body.bottomLeft() + QPointF(1.5, -1.5), QPointF(body.left() + body.width() * 0.38, body.top() + body.height() * 0.47));
    painter.drawLine(body.bottomRight() + QPointF(-1.5, -1.5), QPointF(body.right() - body.width() * 0.38, body.top() + body.height() * 0.47));

    const QPointF centre(body.right() - badgeRadius * 0.35, body.bottom() - badgeRadius * 0.25);
    QRadialGradient orange(centre - QPointF(badgeRadius / 3, badgeRadius / 3), badgeRadius * 1.4);
    orange.setColorAt(0.0, QColor(0xFF, 0xC1, 0x4D));
    orange.setColorAt(1.0, QColor(0xE8, 0x6A, 0x10));
    painter.setPen(QPen(QColor(0xA8, 0x48, 0x08), badgeRadius / 8.0 + 0.5));
    painter.setBrush(orange);
    painter.drawEllipse(centre, badgeRadius, badgeRadius);

    QPainterPath tick;
    tick.moveTo(centre + QPointF(-badgeRadius * 0.5, 0.0));
    tick.lineTo(centre + QPointF(-badgeRadius * 0.12, badgeRadius * 0.42));
    tick.lineTo(centre + QPointF(badgeRadius * 0.52, -badgeRadius * 0.4));
    painter.setPen(QPen(Qt::white, badgeRadius / 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
}

bool DrawBand(const QString& path) {
    QImage image(49, 35, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawEnvelope(painter, QRectF(2.5, 3.5, 36, 23), 7.5);
    painter.end();
    // The band leaves out pure white only: keep the drawing's own light pixels off it.
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255) && qGray(image.pixel(x, y)) > 250)
                image.setPixel(x, y, qRgb(250, 250, 250));
        }
    }
    return image.save(path, "PNG");
}

// The icon is drawn for 48 x 48 pixels and scaled to the other sizes.
bool DrawIcon(const QString& path, int size = 48) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(size / 48.0, size / 48.0);
    DrawEnvelope(painter, QRectF(2.5, 8.5, 38, 27), 9.5);
    painter.end();
    return image.save(path, "PNG");
}

// The sizes of the hicolor icon theme that desktops look up for applications.
constexpr int kThemeSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

bool DrawThemeIcons(const QString& folder) {
    for (const int size : kThemeSizes) {
        const QString sizeFolder = QStringLiteral("%1/icons/%2x%2").arg(folder).arg(size);
        if (!QDir().mkpath(sizeFolder) || !DrawIcon(sizeFolder + QStringLiteral("/mailwright.png"), size)) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: mailwright-draw-images DATA_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const bool drawn = DrawBand(folder + QStringLiteral("/band.png")) &&
                       DrawIcon(folder + QStringLiteral("/mailwright.png")) && DrawThemeIcons(folder);
    if (!drawn) std::fprintf(stderr, "mailwright-draw-images: cannot write the images\n");
    return drawn ? 0 : 1;
}
