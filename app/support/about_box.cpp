#include "about_box.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

// Placeholders until a packager names the real ones at build time.
#ifndef CALMORA_HOMEPAGE
#define CALMORA_HOMEPAGE "https://calmora.example.org"
#endif
#ifndef CALMORA_CONTACT
#define CALMORA_CONTACT "calmora@example.org"
#endif

namespace calmora {

namespace {

// Title, Label2, Label5, Label3, Label8, Label10, Label11 in UTF-8; English first.
constexpr const char* kAboutCaptions[2][7] = {
    {"About Calmora", "Version:                 2.1", "Release date:     May   19  2007",
     "Web site:", "Calmora uses the FreeImage open source image library. See", "for details.",
     "FreeImage is used under the FIPL license."},
    {"Calmora  informazioni", "Versione:                2.1",
     "Data di rilascio:    19 maggio 2007", "Sito web:",
     "Calmora usa la libreria open source FreeImage. Vedi", "per dettagli.",
     "FreeImage \xC3\xA8 usata secondo la licenza FIPL."},
};

// Domains kept for examples (RFC 2606): an address there was never given by
// whoever built the program.
bool IsReservedExampleHost(const QString& host) {
    for (const char* reserved : {"example.org", "example.com", "example.net"}) {
        const QString name = QString::fromLatin1(reserved);
        if (host == name || host.endsWith(QLatin1Char('.') + name)) return true;
    }
    return host == QLatin1String("example") || host.endsWith(QLatin1String(".example"));
}

}  // namespace

AboutTexts AboutTextsFor(Language language) {
    const char* const* row = kAboutCaptions[language == Language::Italian ? 1 : 0];
    return {QString::fromUtf8(row[0]), QString::fromUtf8(row[1]), QString::fromUtf8(row[2]),
            QString::fromUtf8(row[3]), QString::fromUtf8(row[4]), QString::fromUtf8(row[5]),
            QString::fromUtf8(row[6])};
}

bool IsPlaceholderAddress(const QString& address) {
    QString host = address.trimmed().toLower();
    if (host.isEmpty()) return true;
    const qsizetype scheme = host.indexOf(QStringLiteral("://"));
    if (scheme >= 0) host = host.mid(scheme + 3);
    host = host.section(QLatin1Char('/'), 0, 0);
    const qsizetype at = host.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) host = host.mid(at + 1);
    host = host.section(QLatin1Char(':'), 0, 0);
    if (host.endsWith(QLatin1Char('.'))) host.chop(1);
    return IsReservedExampleHost(host);
}

QString HomePageAddress() { return QStringLiteral(CALMORA_HOMEPAGE); }
QString ContactAddress() { return QStringLiteral(CALMORA_CONTACT); }
QString FreeImageAddress() { return QStringLiteral("https://freeimage.sourceforge.io"); }
QString ContactMailUrl() { return QStringLiteral("mailto:") + ContactAddress(); }

namespace {

// The wave across the lens: jagged on the left, settling into a smooth curve
// on the right. t runs from 0 to 1; the result is in units of the lens radius.
double WaveHeight(double t, int index) {
    // A fixed sequence instead of a random one, so the picture never changes.
    static constexpr double kJitter[] = {0.9, -0.7, 0.4, -1.0, 0.8, -0.3, 0.6, -0.9, 0.5, -0.6,
                                         0.7, -0.4, 0.3, -0.5, 0.2, -0.3, 0.15, -0.1};
    constexpr int kJitterCount = sizeof(kJitter) / sizeof(kJitter[0]);
    const double calm = t < 0.5 ? 1.0 - t / 0.5 : 0.0;
    const double jitter = index < kJitterCount ? kJitter[index] : 0.0;
    return 0.22 * std::sin(t * 2.0 * M_PI) + 0.28 * calm * jitter;
}

}  // namespace

QImage DrawCalmoraPicture(int size) {
    QImage picture(size, size, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size;

    QLinearGradient background(0, 0, 0, s);
    background.setColorAt(0, QColor(0x2d, 0x6a, 0x8f));
    background.setColorAt(1, QColor(0x18, 0x3d, 0x57));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(0.06 * s, 0.06 * s, 0.88 * s, 0.88 * s), 0.18 * s, 0.18 * s);

    const QPointF centre(0.5 * s, 0.5 * s);
    const double radius = 0.32 * s;
    painter.setPen(QPen(QColor(0x9c, 0xc3, 0xda), 0.03 * s));
    painter.setBrush(QColor(0xe8, 0xf1, 0xf6));
    painter.drawEllipse(centre, radius, radius);

    constexpr int kPoints = 36;
    QPainterPath wave;
    for (int i = 0; i <= kPoints; ++i) {
        const double t = static_cast<double>(i) / kPoints;
        const QPointF point(centre.x() + (t - 0.5) * 1.6 * radius,
                            centre.y() - WaveHeight(t, i) * radius);
        if (i == 0) wave.moveTo(point); else wave.lineTo(point);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x2d, 0x6a, 0x8f), 0.045 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(wave);
    return picture;
}

}  // namespace calmora
