#include "result_view_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

namespace calmora {

namespace {

constexpr int kSize = 28;

// A little landscape: the original is a clean scene, the denoised one the same
// scene smoothed, the noise a grey field of speckles.
void DrawScene(QPainter& p, const QColor& sky, const QColor& hill, const QColor& sun) {
    p.fillRect(3, 3, kSize - 6, kSize - 6, sky);
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(19, 9), 3.5, 3.5);
    QPainterPath path;
    path.moveTo(3, kSize - 3);
    path.lineTo(3, 18);
    path.quadTo(10, 10, 16, 17);
    path.quadTo(21, 13, kSize - 3, 18);
    path.lineTo(kSize - 3, kSize - 3);
    path.closeSubpath();
    p.setBrush(hill);
    p.drawPath(path);
}

QColor Shade(const QColor& c, bool light) { return light ? c.lighter(135) : c.darker(190); }

// A button picture drawn by draw on a transparent ground.
template <typename Draw>
QPixmap TransparentPicture(Draw draw) {
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    draw(p);
    p.end();
    return QPixmap::fromImage(image);
}

// Four arrows from the centre: the image moves every way.
void DrawScrollArrows(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(235, 145, 35), 1.8));
    const QPointF c(kSize / 2.0, kSize / 2.0);
    p.drawLine(QPointF(c.x(), 4), QPointF(c.x(), kSize - 4));
    p.drawLine(QPointF(4, c.y()), QPointF(kSize - 4, c.y()));
    p.setBrush(QColor(235, 145, 35));
    auto arrow = [&](QPointF tip, QPointF a, QPointF b) {
        const QPointF points[3] = {tip, a, b};
        p.drawPolygon(points, 3);
    };
    arrow({c.x(), 3}, {c.x() - 3.5, 8}, {c.x() + 3.5, 8});
    arrow({c.x(), kSize - 3.0}, {c.x() - 3.5, kSize - 8.0}, {c.x() + 3.5, kSize - 8.0});
    arrow({3, c.y()}, {8, c.y() - 3.5}, {8, c.y() + 3.5});
    arrow({kSize - 3.0, c.y()}, {kSize - 8.0, c.y() - 3.5}, {kSize - 8.0, c.y() + 3.5});
}

}  // namespace

QPixmap ViewButtonPicture(ResultView view, bool light) {
    QImage image(kSize, kSize, QImage::Format_RGB32);
    image.fill(light ? QColor(250, 250, 250) : QColor(70, 70, 70));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (view) {
        case ResultView::Original: {
            DrawScene(p, Shade(QColor(110, 160, 220), light), Shade(QColor(70, 150, 70), light),
                      Shade(QColor(240, 200, 60), light));
            // Speckles: the original still carries its noise.
            QRandomGenerator random(7);
            for (int i = 0; i < 40; ++i) {
                const int g = random.bounded(256);
                image.setPixelColor(3 + random.bounded(kSize - 6), 3 + random.bounded(kSize - 6),
                                    Shade(QColor(g, g, g), light));
            }
            break;
        }
        case ResultView::Denoised:
            DrawScene(p, Shade(QColor(110, 160, 220), light), Shade(QColor(70, 150, 70), light),
                      Shade(QColor(240, 200, 60), light));
            break;
        case ResultView::Noise: {
            p.fillRect(3, 3, kSize - 6, kSize - 6, Shade(QColor(128, 128, 128), light));
            p.end();
            QRandomGenerator random(11);
            for (int y = 3; y < kSize - 3; ++y)
                for (int x = 3; x < kSize - 3; ++x)
                    if (random.bounded(3) == 0) {
                        const int g = 90 + random.bounded(80);
                        image.setPixelColor(x, y, Shade(QColor(g, g, g), light));
                    }
            return QPixmap::fromImage(image);
        }
    }
    p.setPen(QPen(light ? QColor(40, 40, 40) : QColor(20, 20, 20), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(2.5, 2.5, kSize - 5, kSize - 5));
    p.end();
    return QPixmap::fromImage(image);
}

QPixmap SelectAreaPicture() {
    return TransparentPicture([](QPainter& p) {
        p.setPen(QPen(QColor(200, 200, 200), 5));
        p.drawRect(QRect(6, 8, 16, 12));
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawRect(QRect(6, 8, 16, 12));
    });
}

QPixmap ScrollPicture() {
    return TransparentPicture([](QPainter& p) { DrawScrollArrows(p); });
}

}  // namespace calmora
