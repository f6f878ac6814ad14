#include "main_testkit.h"

#include <QByteArray>
#include <QFile>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>

#include "app_paths.h"
#include "main_window.h"
#include "picture_box.h"
#include "preferences.h"
#include "seams_recorder.h"

namespace calmora::testing {

namespace {

int Channel(int value) { return value & 255; }

// Palette entry i of the GIF pattern.
QRgb PaletteColor(int i) { return qRgb(i, 255 - i, (i * 3) & 255); }

}  // namespace

QRgb PatternColor(PixelForm form, int x, int y) {
    if (form == PixelForm::Palette8) return PaletteColor((x / 3 + y / 5) & 255);
    return qRgb(Channel(x / 2), Channel(y / 2), Channel((x + y) / 4 + 40));
}

FIBITMAP* MakePatternBitmap(PixelForm form, int width, int height) {
    FIBITMAP* bitmap = nullptr;
    switch (form) {
        case PixelForm::Rgb24: bitmap = FreeImage_Allocate(width, height, 24); break;
        case PixelForm::Rgba32: bitmap = FreeImage_Allocate(width, height, 32); break;
        case PixelForm::Palette8: bitmap = FreeImage_Allocate(width, height, 8); break;
        case PixelForm::Rgb16: bitmap = FreeImage_AllocateT(FIT_RGB16, width, height); break;
    }
    if (!bitmap) return nullptr;
    if (form == PixelForm::Palette8) {
        RGBQUAD* palette = FreeImage_GetPalette(bitmap);
        for (int i = 0; i < 256; ++i) {
            const QRgb c = PaletteColor(i);
            palette[i] = RGBQUAD{static_cast<BYTE>(qBlue(c)), static_cast<BYTE>(qGreen(c)),
                                 static_cast<BYTE>(qRed(c)), 0};
        }
    }
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(bitmap, height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const QRgb c = PatternColor(form, x, y);
            switch (form) {
                case PixelForm::Rgb24:
                case PixelForm::Rgba32: {
                    const int bytes = form == PixelForm::Rgb24 ? 3 : 4;
                    BYTE* p = line + x * bytes;
                    p[FI_RGBA_BLUE] = static_cast<BYTE>(qBlue(c));
                    p[FI_RGBA_GREEN] = static_cast<BYTE>(qGreen(c));
                    p[FI_RGBA_RED] = static_cast<BYTE>(qRed(c));
                    if (bytes == 4) p[FI_RGBA_ALPHA] = 255;
                    break;
                }
                case PixelForm::Palette8:
                    line[x] = static_cast<BYTE>((x / 3 + y / 5) & 255);
                    break;
                case PixelForm::Rgb16: {
                    auto* p = reinterpret_cast<FIRGB16*>(line) + x;
                    p->red = static_cast<WORD>(qRed(c) * 257);
                    p->green = static_cast<WORD>(qGreen(c) * 257);
                    p->blue = static_cast<WORD>(qBlue(c) * 257);
                    break;
                }
            }
        }
    }
    return bitmap;
}

bool WritePatternImage(const QString& path, FREE_IMAGE_FORMAT format, PixelForm form, int width,
                       int height, int flags) {
    FIBITMAP* bitmap = MakePatternBitmap(form, width, height);
    if (!bitmap) return false;
    const bool ok = FreeImage_Save(format, bitmap, path.toUtf8().constData(), flags) != 0;
    FreeImage_Unload(bitmap);
    return ok;
}

QRgb BitmapColor(FIBITMAP* bitmap, int x, int y) {
    const int height = static_cast<int>(FreeImage_GetHeight(bitmap));
    const BYTE* p = FreeImage_GetScanLine(bitmap, height - 1 - y) + 3 * x;
    return qRgb(p[FI_RGBA_RED], p[FI_RGBA_GREEN], p[FI_RGBA_BLUE]);
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

SettingsSandbox::SettingsSandbox() {
    OverrideSettingsFolder(dir_.path());
    OverrideProgramFolder(dir_.path());
    OverrideHelpFolder(dir_.filePath(QStringLiteral("CmHelp")));
    CurrentPreferences() = Preferences{};
}

SettingsSandbox::~SettingsSandbox() {
    OverrideSettingsFolder(QString());
    OverrideProgramFolder(QString());
    OverrideHelpFolder(QString());
    CurrentPreferences() = Preferences{};
}

void SettingsSandbox::Write(const QString& name, const QByteArray& contents) const {
    QFile file(File(name));
    if (file.open(QIODevice::WriteOnly)) file.write(contents);
}

QByteArray SettingsSandbox::Read(const QString& name) const {
    QFile file(File(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ShowWithClientSize(MainWindow& window, int width, int height) {
    window.setMinimumSize(1, 1);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return false;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const QSize client = window.ClientArea()->size();
        if (client == QSize(width, height)) return true;
        window.resize(window.size() + QSize(width, height) - client);
        QCoreApplication::processEvents();
    }
    return window.ClientArea()->size() == QSize(width, height);
}

QRgb PicColor(const MainWindow& window, int x, int y) {
    return window.Pic()->Surface().pixel(x, y) | 0xff000000u;
}

MainWindowTestBase::MainWindowTestBase() = default;
MainWindowTestBase::~MainWindowTestBase() { StopWindow(); }

bool MainWindowTestBase::StartWindow() {
    sandbox_ = std::make_unique<SettingsSandbox>();
    seams_ = std::make_unique<SeamsRecorder>();
    images_ = std::make_unique<QTemporaryDir>();
    window_ = std::make_unique<MainWindow>();
    return ShowWithClientSize(*window_, 640, 480);
}

void MainWindowTestBase::StopWindow() {
    window_.reset();
    images_.reset();
    seams_.reset();
    sandbox_.reset();
    RestoreDefaultAllocation();
}

int MainWindowTestBase::Bar() const {
    return window_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window_->HScroll1());
}

bool MainWindowTestBase::OpenPattern(const QString& name, int width, int height) {
    const QString path = images_->filePath(name);
    if (!WritePatternImage(path, FIF_PNG, PixelForm::Rgb24, width, height)) return false;
    window_->OpenFile(path);
    return window_->HasImage() && seams_->messages.isEmpty();
}

}  // namespace calmora::testing
