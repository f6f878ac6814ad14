// Opening files in the main window: every input form, the titles, the
// remembered folder, and what is left after each kind of failure.
#include <QTest>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QScrollBar>

#include "main_testkit.h"
#include "main_window.h"
#include "message_catalogue.h"
#include "picture_box.h"
#include "preferences.h"
#include "seams_recorder.h"

using namespace calmora;
using namespace calmora::testing;

class MainWindowOpenTest : public MainWindowTestBase {
    Q_OBJECT

private slots:
    void init();

    void opensEveryFormat_data();
    void opensEveryFormat();
    void largeImageStartsAtTopLeftWithBars();
    void unknownFormatKeepsThePreviousPicture();
    void cancelKeepsThePreviousFileName();
    void remembersTheOpenFolder();
    void failedDecodeLeavesNothingToSaveOrDenoise();
    void viewBitmapFailureIsReportedNotFatal();
    void italianCaptionsFromThePreferences();

private:
    // Opens path through the File > open command, the dialog answering path.
    void OpenThroughDialog(const QString& path);
    [[nodiscard]] QString ImagePath(const QString& name) const;
    [[nodiscard]] bool MenuEnabled(const char* name) const;
    [[nodiscard]] bool MenuVisible(const char* name) const;
};

void MainWindowOpenTest::init() {
    QVERIFY(StartWindow());
    // Folders with blanks and accents must work like any other.
    QVERIFY(QDir(images_->path()).mkpath(QStringLiteral("foto di prova è")));
}

QString MainWindowOpenTest::ImagePath(const QString& name) const {
    return images_->path() + QStringLiteral("/foto di prova è/") + name;
}

void MainWindowOpenTest::OpenThroughDialog(const QString& path) {
    seams_->nextFileResult = FileDialogResult{true, path, 0};
    window_->FileOpen_Click();
}

bool MainWindowOpenTest::MenuEnabled(const char* name) const {
    QAction* action = window_->MenuAction(name);
    return action && action->isEnabled();
}

bool MainWindowOpenTest::MenuVisible(const char* name) const {
    QAction* action = window_->MenuAction(name);
    return action && action->isVisible();
}

void MainWindowOpenTest::opensEveryFormat_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("form");
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("jpeg 24-bit") << "a.jpg" << int(FIF_JPEG) << int(PixelForm::Rgb24)
                                 << JPEG_QUALITYSUPERB << 12;
    QTest::newRow("bmp 24-bit") << "a.bmp" << int(FIF_BMP) << int(PixelForm::Rgb24) << 0 << 0;
    QTest::newRow("png 24-bit") << "a.png" << int(FIF_PNG) << int(PixelForm::Rgb24) << 0 << 0;
    QTest::newRow("tiff 24-bit") << "a.tif" << int(FIF_TIFF) << int(PixelForm::Rgb24) << 0 << 0;
    QTest::newRow("gif 8-bit") << "a.gif" << int(FIF_GIF) << int(PixelForm::Palette8) << 0 << 0;
    QTest::newRow("png 32-bit") << "a 32.png" << int(FIF_PNG) << int(PixelForm::Rgba32) << 0 << 0;
    QTest::newRow("tiff 16 per channel") << "a16.tiff" << int(FIF_TIFF) << int(PixelForm::Rgb16)
                                         << 0 << 0;
    QTest::newRow("png 16 per channel") << "a16.png" << int(FIF_PNG) << int(PixelForm::Rgb16) << 0
                                        << 0;
}

void MainWindowOpenTest::opensEveryFormat() {
    QFETCH(QString, name);
    QFETCH(int, format);
    QFETCH(int, form);
    QFETCH(int, flags);
    QFETCH(int, tolerance);
    const QString path = ImagePath(name);
    QVERIFY(WritePatternImage(path, FREE_IMAGE_FORMAT(format), PixelForm(form), 300, 200, flags));

    OpenThroughDialog(path);

    QVERIFY2(seams_->messages.isEmpty(), qPrintable(seams_->messages.value(0).request.text));
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   %1  (300x200)").arg(name));
    const ImageDocument& doc = window_->Document();
    QVERIFY(doc.image);
    QCOMPARE(int(FreeImage_GetBPP(doc.image)), 24);
    QCOMPARE(window_->View().Mode(), kTrueSize);
    QVERIFY(!doc.loadingFlag);
    QVERIFY(MenuEnabled("FileSave"));
    QVERIFY(MenuEnabled("Denoise"));
    QVERIFY(MenuVisible("ImageMenu"));
    QVERIFY2(!MenuVisible("PaintSize"), "an image that fits has nothing to fit");
    QVERIFY(window_->HScroll1()->isHidden() && window_->VScroll1()->isHidden());
    // Centred in the 640 x 480 client area, shown pixel for pixel.
    QCOMPARE(window_->Pic()->geometry(), QRect(170, 140, 300, 200));
    QVERIFY(window_->Pic()->isVisible());
    for (const QPoint p : {QPoint(0, 0), QPoint(299, 0), QPoint(0, 199), QPoint(150, 77),
                           QPoint(299, 199)}) {
        const QRgb expected = PatternColor(PixelForm(form), p.x(), p.y());
        QVERIFY2(Near(PicColor(*window_, p.x(), p.y()), expected, tolerance),
                 qPrintable(QStringLiteral("pixel %1,%2: %3 instead of %4")
                                .arg(p.x())
                                .arg(p.y())
                                .arg(PicColor(*window_, p.x(), p.y()), 0, 16)
                                .arg(expected, 0, 16)));
    }
    QCOMPARE(window_->WindowPointer(), kPointerDefault);
    QCOMPARE(window_->PicPointer(), kPointerDefault);
}

void MainWindowOpenTest::largeImageStartsAtTopLeftWithBars() {
    const QString path = ImagePath(QStringLiteral("big.png"));
    QVERIFY(WritePatternImage(path, FIF_PNG, PixelForm::Rgb24, 1200, 900));
    OpenThroughDialog(path);

    QVERIFY(seams_->messages.isEmpty());
    QScrollBar* h = window_->HScroll1();
    QScrollBar* v = window_->VScroll1();
    QVERIFY(!h->isHidden() && !v->isHidden());
    const int viewWidth = window_->Pic()->width(), viewHeight = window_->Pic()->height();
    QCOMPARE(window_->Pic()->pos(), QPoint(0, 0));
    // The bars lie along the bottom and right edges, the view fills the rest.
    QCOMPARE(viewWidth + v->width(), 640);
    QCOMPARE(viewHeight + h->height(), 480);
    QCOMPARE(h->geometry().bottom(), 479);
    QCOMPARE(v->geometry().right(), 639);
    QCOMPARE(h->value(), 0);
    QCOMPARE(v->value(), 0);
    QCOMPARE(h->maximum(), 1200 - viewWidth);
    QCOMPARE(v->maximum(), 900 - viewHeight);
    QVERIFY(MenuVisible("PaintSize"));
    QVERIFY(window_->MenuAction("PaintSizeTrue")->isChecked());
    QVERIFY(!window_->MenuAction("PaintSizeScreenFit")->isChecked());
    QCOMPARE(PicColor(*window_, 0, 0), PatternColor(PixelForm::Rgb24, 0, 0));
    QCOMPARE(PicColor(*window_, viewWidth - 1, viewHeight - 1),
             PatternColor(PixelForm::Rgb24, viewWidth - 1, viewHeight - 1));
}

void MainWindowOpenTest::unknownFormatKeepsThePreviousPicture() {
    const QString good = ImagePath(QStringLiteral("a.png"));
    QVERIFY(WritePatternImage(good, FIF_PNG, PixelForm::Rgb24, 300, 200));
    OpenThroughDialog(good);
    const QString title = window_->windowTitle();
    FIBITMAP* image = window_->Document().image;

    const QString notes = ImagePath(QStringLiteral("notes.png"));
    QFile file(notes);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("these are not pixels\n");
    file.close();
    QString titleWhileTold;
    const auto record = Seams().showMessage;
    Seams().showMessage = [&](QWidget* parent, const MessageRequest& request) {
        titleWhileTold = window_->windowTitle();
        record(parent, request);
    };
    OpenThroughDialog(notes);

    QCOMPARE(seams_->messages.size(), 1);
    QCOMPARE(seams_->messages[0].request.text, QStringLiteral("Unknown image format."));
    QCOMPARE(seams_->messages[0].request.icon, MessageIcon::Critical);
    // The picture that was there is still there, and still usable.
    QCOMPARE(window_->Document().image, image);
    QVERIFY(window_->Pic()->isVisible());
    QCOMPARE(PicColor(*window_, 150, 77), PatternColor(PixelForm::Rgb24, 150, 77));
    QVERIFY(MenuEnabled("FileSave"));
    QVERIFY(MenuEnabled("Denoise"));
    QVERIFY(MenuVisible("ImageMenu"));
    QVERIFY(!window_->Document().loadingFlag);
    // The title named the chosen file while it was tried, and names the
    // picture still shown once the refusal has been told.
    QCOMPARE(titleWhileTold, QStringLiteral("Calmora   notes.png"));
    QCOMPARE(window_->windowTitle(), title);
}

void MainWindowOpenTest::cancelKeepsThePreviousFileName() {
    const QString good = ImagePath(QStringLiteral("a.png"));
    QVERIFY(WritePatternImage(good, FIF_PNG, PixelForm::Rgb24, 40, 30));
    OpenThroughDialog(good);
    const QString title = window_->windowTitle();

    seams_->nextFileResult = FileDialogResult{};  // cancelled
    window_->FileOpen_Click();
    QCOMPARE(window_->Document().fileName, good);
    QCOMPARE(window_->windowTitle(), title);
    QVERIFY(window_->Document().image);

    // The next dialog starts from that file again.
    window_->FileOpen_Click();
    QCOMPARE(seams_->fileRequests.size(), 3);
    QVERIFY2(seams_->fileRequests.last().initialName.endsWith(QStringLiteral("a.png")),
             qPrintable(seams_->fileRequests.last().initialName));
    QVERIFY(seams_->messages.isEmpty());
}

void MainWindowOpenTest::remembersTheOpenFolder() {
    const QString path = ImagePath(QStringLiteral("a.bmp"));
    QVERIFY(WritePatternImage(path, FIF_BMP, PixelForm::Rgb24, 20, 10));
    OpenThroughDialog(path);
    const QString folder = images_->path() + QStringLiteral("/foto di prova è");
    QCOMPARE(sandbox_->Read(QStringLiteral("InitFoldername")),
             QByteArray("\"") + folder.toUtf8() + "\"\r\n");

    // A window started later opens its dialog in that folder.
    window_.reset();
    window_ = std::make_unique<MainWindow>();
    seams_->nextFileResult = FileDialogResult{};
    window_->FileOpen_Click();
    QCOMPARE(seams_->fileRequests.last().initialFolder, folder);
}

void MainWindowOpenTest::failedDecodeLeavesNothingToSaveOrDenoise() {
    const QString good = ImagePath(QStringLiteral("a.png"));
    QVERIFY(WritePatternImage(good, FIF_PNG, PixelForm::Rgb24, 300, 200));
    OpenThroughDialog(good);
    QVERIFY(MenuEnabled("FileSave"));

    // A JPEG whose data stops half way: the header is sound, decoding is not.
    const QString whole = ImagePath(QStringLiteral("whole.jpg"));
    const QString cut = ImagePath(QStringLiteral("cut.jpg"));
    QVERIFY(WritePatternImage(whole, FIF_JPEG, PixelForm::Rgb24, 300, 200));
    QFile in(whole), out(cut);
    QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
    const QByteArray bytes = in.readAll();
    out.write(bytes.left(bytes.size() / 2));
    out.close();

    OpenThroughDialog(cut);

    QCOMPARE(seams_->messages.size(), 1);
    QCOMPARE(seams_->messages[0].request.text, MessageText(2, Language::English));
    QVERIFY(!window_->HasImage());
    QVERIFY(!window_->Document().loadingFlag);
    QVERIFY2(!MenuEnabled("FileSave"), "nothing is left to save");
    QVERIFY2(!MenuEnabled("Denoise"), "nothing is left to denoise");
    QVERIFY(!MenuVisible("ImageMenu"));
    QVERIFY(!MenuVisible("PaintSize"));
    QVERIFY(window_->Pic()->isHidden());
    QVERIFY(window_->HScroll1()->isHidden() && window_->VScroll1()->isHidden());
    // The menus that stay are usable again.
    QVERIFY(MenuEnabled("FileMenu"));
    QVERIFY(MenuEnabled("PrefMenu"));
    QCOMPARE(window_->WindowPointer(), kPointerDefault);

    // Commands that need an image do nothing rather than touch freed memory.
    window_->Ruota90_Click();
    window_->Denoise_Click();
    window_->PaintSizeScreenFit_Click();
    window_->RedrawView();
    QCOMPARE(seams_->messages.size(), 1);

    // And the next good file opens normally.
    OpenThroughDialog(good);
    QVERIFY(window_->HasImage());
    QVERIFY(MenuEnabled("FileSave") && MenuEnabled("Denoise"));
}

void MainWindowOpenTest::viewBitmapFailureIsReportedNotFatal() {
    const QString path = ImagePath(QStringLiteral("a.png"));
    QVERIFY(WritePatternImage(path, FIF_PNG, PixelForm::Rgb24, 1200, 900));
    Allocation().createDisplayBitmap = [](DisplayBitmap&, int32_t, int32_t) { return false; };

    OpenThroughDialog(path);

    QCOMPARE(seams_->messages.size(), 1);
    QCOMPARE(seams_->messages[0].request.text, QStringLiteral("Insufficient memory for Sin CreaDIB."));
    QVERIFY(!MenuVisible("PaintSize"));
    QVERIFY(!MenuEnabled("FileSave"));
    QVERIFY(!MenuEnabled("Denoise"));
    QVERIFY(window_->Pic()->isHidden());
    // Dragging or redrawing a view that was never made does nothing.
    QVERIFY(window_->HScroll1()->isHidden());
    window_->RedrawView();

    RestoreDefaultAllocation();
    OpenThroughDialog(path);
    QCOMPARE(seams_->messages.size(), 1);
    QVERIFY(window_->Pic()->isVisible());
}

void MainWindowOpenTest::italianCaptionsFromThePreferences() {
    window_.reset();
    sandbox_->Write(QStringLiteral("Pref"), "\"2\",\"1\"\r\n");
    window_ = std::make_unique<MainWindow>();
    QCOMPARE(CurrentPreferences().language, Language::Italian);
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora"));
    const auto text = [this](const char* name) { return window_->MenuAction(name)->text(); };
    QCOMPARE(text("FileMenu"), QStringLiteral("File"));
    QCOMPARE(text("FileOpen"), QStringLiteral("apri"));
    QCOMPARE(text("FileSave"), QStringLiteral("salva"));
    QCOMPARE(text("PaintSize"), QStringLiteral("Dimensioni"));
    QCOMPARE(text("PaintSizeTrue"), QStringLiteral("reali"));
    QCOMPARE(text("PaintSizeScreenFit"), QStringLiteral("adatta allo schermo"));
    QCOMPARE(text("ImageMenu"), QStringLiteral("Immagine"));
    QCOMPARE(text("Ruota90"), QStringLiteral("ruota (90° antiorari)"));
    QCOMPARE(text("Denoise"), QStringLiteral("riduci rumore"));
    QCOMPARE(text("PrefMenu"), QStringLiteral("Preferenze"));
    QCOMPARE(text("ShowGuida"), QStringLiteral("Guida"));
    QCOMPARE(text("ShowAbout"), QStringLiteral("Info"));

    QVERIFY(ShowWithClientSize(*window_, 640, 480));
    const QString path = ImagePath(QStringLiteral("b.gif"));
    QVERIFY(WritePatternImage(path, FIF_GIF, PixelForm::Palette8, 64, 48));
    OpenThroughDialog(path);
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   b.gif  (64x48)"));

    // Messages come in the language in use too.
    OpenThroughDialog(ImagePath(QStringLiteral("missing.png")));
    QCOMPARE(seams_->messages.size(), 1);
    QCOMPARE(seams_->messages[0].request.text, MessageText(2, Language::Italian));
}

QTEST_MAIN(MainWindowOpenTest)
#include "main_window_open_qtest.moc"
