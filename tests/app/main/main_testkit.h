// Shared helpers for the main-window tests (and anyone else's): images with a
// known pattern written through FreeImage in every input form, a sandbox for
// the settings files, and a shown main window with a client area of a chosen
// size.
#pragma once

#include <FreeImage.h>
#include <QObject>
#include <QRgb>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace calmora {
class MainWindow;
}

namespace calmora::testing {

class SeamsRecorder;

// How the pixels of a test image are stored in its file.
enum class PixelForm {
    Rgb24,      // 8 bits per channel
    Rgba32,     // with an opaque alpha channel
    Palette8,   // 256-colour palette (GIF)
    Rgb16,      // 16 bits per channel
};

// The colour of pixel (x, y), counted from the top-left corner, of a pattern
// image in form. Smooth enough for JPEG to keep it within a few levels.
[[nodiscard]] QRgb PatternColor(PixelForm form, int x, int y);

// A FreeImage bitmap of the pattern; the caller unloads it.
[[nodiscard]] FIBITMAP* MakePatternBitmap(PixelForm form, int width, int height);

// Writes the pattern to path in format; false when FreeImage could not.
bool WritePatternImage(const QString& path, FREE_IMAGE_FORMAT format, PixelForm form, int width,
                       int height, int flags = 0);

// Colour of a 24-bit FreeImage bitmap's pixel (x, y) from the top-left corner.
[[nodiscard]] QRgb BitmapColor(FIBITMAP* bitmap, int x, int y);

// True when the two colours differ by at most tolerance in every channel.
[[nodiscard]] bool Near(QRgb a, QRgb b, int tolerance);

// Points the settings, program and help folders at a fresh temporary folder
// and resets the preferences; everything comes back on destruction.
class SettingsSandbox {
public:
    SettingsSandbox();
    ~SettingsSandbox();
    [[nodiscard]] QString Folder() const { return dir_.path(); }
    [[nodiscard]] QString File(const QString& name) const { return dir_.filePath(name); }
    void Write(const QString& name, const QByteArray& contents) const;
    [[nodiscard]] QByteArray Read(const QString& name) const;

private:
    QTemporaryDir dir_;
};

// Shows window with its client area (below the menu bar) sized width x height.
bool ShowWithClientSize(MainWindow& window, int width, int height);

// The colour Pic shows at (x, y) of its own area.
[[nodiscard]] QRgb PicColor(const MainWindow& window, int x, int y);

// What the main-window tests start from: a settings sandbox, the seams
// recorder, a folder for the test's images and a window whose client area is
// 640 x 480. Test classes derive from it; QtTest runs its init() and
// cleanup() around every case unless the test class has its own.
class MainWindowTestBase : public QObject {
    Q_OBJECT
public:
    // Out of line, where the members' types are complete.
    MainWindowTestBase();
    ~MainWindowTestBase() override;

protected slots:
    void init() { QVERIFY(StartWindow()); }
    void cleanup() { StopWindow(); }

protected:
    [[nodiscard]] bool StartWindow();
    // Lets everything go and puts the default image allocation back.
    void StopWindow();
    // Writes the pattern as a width x height PNG named name into the image
    // folder and opens it; false unless it opened without a message.
    [[nodiscard]] bool OpenPattern(const QString& name, int width, int height);
    // The colour of pixel (x, y) of that pattern.
    static QRgb Pattern(int x, int y) { return PatternColor(PixelForm::Rgb24, x, y); }
    // The window's scroll bars' thickness in logical pixels.
    [[nodiscard]] int Bar() const;

    std::unique_ptr<SettingsSandbox> sandbox_;
    std::unique_ptr<SeamsRecorder> seams_;
    std::unique_ptr<QTemporaryDir> images_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace calmora::testing
