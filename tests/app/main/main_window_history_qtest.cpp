// The Edit menu's undo, redo and revert over turns and denoise runs, the
// question about unsaved changes before closing, opening or dropping a file,
// the recent-files submenu, quitting and the added shortcuts.
#include <QTest>

#include <QAbstractButton>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include "main_testkit.h"
#include "main_window.h"
#include "preferences.h"
#include "recent_files.h"
#include "seams_recorder.h"

using namespace calmora;
using namespace calmora::testing;

class MainWindowHistoryTest : public MainWindowTestBase {
    Q_OBJECT

private slots:
    void undoRedoAndRevertFollowTurnsAndRuns();
    void editItemsFollowTheHistoryAndTheLock();
    void unchangedPictureClosesWithoutAQuestion();
    void closingAsksAndCancelKeepsEverything();
    void closingWithSaveWritesThenCloses();
    void failedSaveKeepsTheWindowAndThePicture();
    void jpegSaveClosesOnlyWhenTheFrameIsAnswered();
    void openingAnotherFileAsksFirst();
    void droppedFileOpensThroughTheQuestion();
    void recentFilesListAndAMissingEntry();
    void quitAndShortcuts();
    void fitTurnAndDenoiseKeys();
    void windowHasTheProgramsIcon();

private:
    // A stand-in denoise dialog that inverts the picture and names it.
    void FakeDenoise(const QString& intensity);
    [[nodiscard]] QString Base() const { return QStringLiteral("Calmora   h.png  (40x30)"); }
};

void MainWindowHistoryTest::FakeDenoise(const QString& intensity) {
    window_->SetDenoiseDialogLauncher([intensity](QWidget*, DenoiseHost& host) {
        const DenoiseDestination target = host.Destination();
        const size_t bytes = size_t(target.stride) * size_t(target.height);
        for (size_t i = 0; i < bytes; ++i) target.bits[i] = uint8_t(255 - host.ImageBits()[i]);
        host.AdoptDenoised();
        host.AppendTitleSuffix(QStringLiteral("   denoised  (Intensity:") + intensity + ')',
                               QStringLiteral("   rumore ridotto  (Intensità:") + intensity + ')');
    });
    window_->Denoise_Click();
}

void MainWindowHistoryTest::undoRedoAndRevertFollowTurnsAndRuns() {
    QVERIFY(OpenPattern(QStringLiteral("h.png"), 40, 30));
    const QRgb corner = PicColor(*window_, 0, 0);
    FakeDenoise(QStringLiteral("5"));
    const QString once = Base() + QStringLiteral("   denoised  (Intensity:5)");
    QCOMPARE(window_->windowTitle(), once);
    FakeDenoise(QStringLiteral("9"));
    QCOMPARE(window_->windowTitle(), once + QStringLiteral("   denoised  (Intensity:9)"));
    window_->Ruota90_Click();
    QCOMPARE(window_->windowTitle(), Base() + QStringLiteral("  90° rotated"));
    QCOMPARE(window_->ImageWidth(), 30);

    // Each undo brings back the picture, size, angle and title before the step.
    window_->EditUndo_Click();
    QCOMPARE(window_->ImageWidth(), 40);
    QCOMPARE(int(window_->Document().rotation), 0);
    QCOMPARE(window_->windowTitle(), once + QStringLiteral("   denoised  (Intensity:9)"));
    QCOMPARE(PicColor(*window_, 0, 0), corner);  // inverted twice
    window_->EditUndo_Click();
    QCOMPARE(window_->windowTitle(), once);
    QCOMPARE(PicColor(*window_, 0, 0), qRgb(255 - qRed(corner), 255 - qGreen(corner),
                                            255 - qBlue(corner)));
    window_->EditRedo_Click();
    window_->EditRedo_Click();
    QCOMPARE(window_->windowTitle(), Base() + QStringLiteral("  90° rotated"));
    QCOMPARE(int(window_->Document().rotation), 90);

    // Revert: the picture as loaded, and every step can be redone.
    window_->EditRevert_Click();
    QCOMPARE(window_->windowTitle(), Base());
    QCOMPARE(PicColor(*window_, 0, 0), corner);
    QCOMPARE(window_->Document().image != nullptr, true);
    QVERIFY(!window_->HasUnsavedChanges());
    // In the other language, the title of an undone state is its twin.
    window_->EditRedo_Click();
    CurrentPreferences().language = Language::Italian;
    window_->ApplyItalianCaptions();
    window_->SwapCaptionLanguage();
    QCOMPARE(window_->windowTitle(), Base() + QStringLiteral("   rumore ridotto  (Intensità:5)"));
    QVERIFY(seams_->messages.isEmpty());
}

void MainWindowHistoryTest::editItemsFollowTheHistoryAndTheLock() {
    QAction* undo = window_->MenuAction("EditUndo");
    QAction* redo = window_->MenuAction("EditRedo");
    QAction* revert = window_->MenuAction("EditRevert");
    QVERIFY(!undo->isEnabled() && !redo->isEnabled() && !revert->isEnabled());
    QVERIFY(OpenPattern(QStringLiteral("h.png"), 40, 30));
    QVERIFY(!undo->isEnabled() && !redo->isEnabled() && !revert->isEnabled());
    window_->Ruota90_Click();
    QVERIFY(undo->isEnabled() && !redo->isEnabled() && revert->isEnabled());
    undo->trigger();
    QVERIFY(!undo->isEnabled() && redo->isEnabled() && !revert->isEnabled());
    redo->trigger();
    QVERIFY(undo->isEnabled() && !redo->isEnabled());

    // While a save frame waits, turning and the history are greyed out.
    seams_->nextFileResult = FileDialogResult{true, images_->filePath(QStringLiteral("s.jpg")), 0};
    window_->FileSave_Click();
    QVERIFY(!window_->MenuAction("Ruota90")->isEnabled());
    QVERIFY(!undo->isEnabled() && !revert->isEnabled());
    undo->trigger();
    QCOMPARE(window_->ImageWidth(), 30);
    window_->findChild<QAbstractButton*>(QStringLiteral("AnnullajpgQual"))->click();
    QVERIFY(window_->MenuAction("Ruota90")->isEnabled());
    QVERIFY(undo->isEnabled() && revert->isEnabled());

    // A newly opened picture starts a history of its own.
    QVERIFY(OpenPattern(QStringLiteral("other.png"), 20, 10));
    QVERIFY(!undo->isEnabled() && !redo->isEnabled() && !revert->isEnabled());
    QCOMPARE(seams_->questions.size(), 1);  // the turn was not saved
}

void MainWindowHistoryTest::unchangedPictureClosesWithoutAQuestion() {
    QVERIFY(OpenPattern(QStringLiteral("h.png"), 40, 30));
    window_->Ruota90_Click();
    window_->EditUndo_Click();  // back to the picture as loaded
    QVERIFY(window_->close());
    QVERIFY(seams_->questions.isEmpty());
}

void MainWindowHistoryTest::closingAsksAndCancelKeepsEverything() {
    QVERIFY(OpenPattern(QStringLiteral("h.png"), 40, 30));
    FakeDenoise(QStringLiteral("5"));
    FIBITMAP* denoised = window_->Document().image;
    seams_->nextAnswer = QuestionAnswer::Cancel;
    QVERIFY(!window_->close());
    QCOMPARE(seams_->questions.size(), 1);
    const QuestionRequest& question = seams_->questions[0];
    QVERIFY2(question.text.contains(QStringLiteral("h.png")), qPrintable(question.text));
    QCOMPARE(question.saveCaption, QStringLiteral("Save"));
    QCOMPARE(question.discardCaption, QStringLiteral("Discard"));
    QCOMPARE(question.cancelCaption, QStringLiteral("Cancel"));
    QVERIFY(window_->isVisible());
    QCOMPARE(window_->Document().image, denoised);
    QVERIFY(sandbox_->Read(QStringLiteral("Pref")).isEmpty());

    // In Italian the question is Italian.
    CurrentPreferences().language = Language::Italian;
    QVERIFY(!window_->close());
    QCOMPARE(seams_->questions[1].saveCaption, QStringLiteral("Salva"));
    QVERIFY(seams_->questions[1].text.startsWith(QStringLiteral("Le modifiche a h.png")));

    seams_->nextAnswer = QuestionAnswer::Discard;
    QVERIFY(window_->close());
    QVERIFY(!window_->HasImage());
}

void MainWindowHistoryTest::closingWithSaveWritesThenCloses() {
    QVERIFY(OpenPattern(QStringLiteral("h.png"), 40, 30));
    window_->Ruota90_Click();
    const QString target = images_->filePath(QStringLiteral("turned.png"));
    seams_->nextAnswer = QuestionAnswer::Save;
    seams_->nextFileResult = FileDialogResult{true, target, 0};
    QVERIFY(window_->close());
    QCOMPARE(seams_->questions.size(), 1);
    QVERIFY(QFileInfo::exists(target));
    FIBITMAP* written = FreeImage_Load(FIF_PNG, target.toUtf8().constData());
    QVERIFY(written);
    QCOMPARE(int(FreeImage_GetWidth(written)), 30);
    FreeImage_Unload(written);

    // A save cancelled in its dialog closes nothing.
    window_ = std::make_unique<MainWindow>();
    QVERIFY(ShowWithClientSize(*window_, 640, 480));
    QVERIFY(OpenPattern(QStringLiteral("h.png"), 40, 30));
    window_->Ruota90_Click();
    seams_->nextFileResult = FileDialogResult{};
    QVERIFY(!window_->close());
    QVERIFY(window_->HasImage());
    QVERIFY(window_->HasUnsavedChanges());
}

void MainWindowHistoryTest::failedSaveKeepsTheWindowAndThePicture() {
    QVERIFY(OpenPattern(QStringLiteral("h.png"), 40, 30));
    FakeDenoise(QStringLiteral("5"));
    FIBITMAP* denoised = window_->Document().image;
    seams_->nextAnswer = QuestionAnswer::Save;
    seams_->nextFileResult =
        FileDialogResult{true, images_->filePath(QStringLiteral("no/such/folder/x.png")), 0};
    QVERIFY(!window_->close());
    QCoreApplication::processEvents();
    QCOMPARE(seams_->messages.size(), 1);  // why the save failed
    QCOMPARE(seams_->messages[0].request.icon, MessageIcon::Critical);
    QVERIFY(window_->isVisible());
    QCOMPARE(window_->Document().image, denoised);
    QVERIFY(window_->HasUnsavedChanges());
    QVERIFY(sandbox_->Read(QStringLiteral("Pref")).isEmpty());
}

void MainWindowHistoryTest::jpegSaveClosesOnlyWhenTheFrameIsAnswered() {
    QVERIFY(OpenPattern(QStringLiteral("h.png"), 40, 30));
    window_->Ruota90_Click();
    seams_->nextAnswer = QuestionAnswer::Save;
    seams_->nextFileResult = FileDialogResult{true, images_->filePath(QStringLiteral("a.jpg")), 0};
    QVERIFY(!window_->close());
    auto* frame = window_->findChild<QWidget*>(QStringLiteral("FrameJPGQuality"));
    QVERIFY(frame && frame->isVisible());
    // The frame's Cancel: nothing written, the window stays.
    window_->findChild<QAbstractButton*>(QStringLiteral("AnnullajpgQual"))->click();
    QCoreApplication::processEvents();
    QVERIFY(window_->isVisible());

    QVERIFY(!window_->close());
    window_->findChild<QAbstractButton*>(QStringLiteral("OkjpgQual"))->click();
    QVERIFY(QFileInfo::exists(images_->filePath(QStringLiteral("a.jpg"))));
    QTRY_VERIFY(!window_->isVisible());
    QVERIFY(!window_->HasImage());
    QCOMPARE(seams_->questions.size(), 2);
}

void MainWindowHistoryTest::openingAnotherFileAsksFirst() {
    QVERIFY(OpenPattern(QStringLiteral("h.png"), 40, 30));
    window_->Ruota90_Click();
    const QString other = images_->filePath(QStringLiteral("o.png"));
    QVERIFY(WritePatternImage(other, FIF_PNG, PixelForm::Rgb24, 20, 10));
    seams_->nextAnswer = QuestionAnswer::Cancel;
    seams_->nextFileResult = FileDialogResult{true, other, 0};
    window_->FileOpen_Click();
    QCOMPARE(seams_->questions.size(), 1);
    QCOMPARE(window_->ImageWidth(), 30);
    QCOMPARE(window_->windowTitle(), Base() + QStringLiteral("  90° rotated"));

    seams_->nextAnswer = QuestionAnswer::Discard;
    window_->FileOpen_Click();
    QCOMPARE(window_->ImageWidth(), 20);
    QVERIFY(!window_->HasUnsavedChanges());
}

void MainWindowHistoryTest::droppedFileOpensThroughTheQuestion() {
    QVERIFY(OpenPattern(QStringLiteral("h.png"), 40, 30));
    window_->Ruota90_Click();
    const QString other = images_->filePath(QStringLiteral("dropped.png"));
    QVERIFY(WritePatternImage(other, FIF_PNG, PixelForm::Rgb24, 20, 10));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(other)});
    const QPoint spot(100, 100);
    QDragEnterEvent enter(spot, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(spot, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &drop);
    QTRY_COMPARE(seams_->questions.size(), 1);
    QCOMPARE(window_->ImageWidth(), 20);
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   dropped.png  (20x10)"));

    // Two files, or something that is not a file, are not taken.
    QMimeData two;
    two.setUrls({QUrl::fromLocalFile(other), QUrl::fromLocalFile(other)});
    QDragEnterEvent twoEnter(spot, Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &twoEnter);
    QVERIFY(!twoEnter.isAccepted());
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/a.png"))});
    QDropEvent webDrop(spot, Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &webDrop);
    QCoreApplication::processEvents();
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   dropped.png  (20x10)"));
    QVERIFY(seams_->messages.isEmpty());
}

void MainWindowHistoryTest::recentFilesListAndAMissingEntry() {
    QStringList opened;
    for (int i = 1; i <= 10; ++i) {
        const QString name = QStringLiteral("r%1.png").arg(i);
        QVERIFY(OpenPattern(name, 8 + i, 8));
        opened.prepend(images_->filePath(name));
    }
    QCOMPARE(window_->RecentFiles(), opened.mid(0, 8));
    auto* menu = window_->findChild<QMenu*>(QStringLiteral("FileRecent"));
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 8);
    QCOMPARE(menu->actions()[0]->data().toString(), opened[0]);
    QCOMPARE(menu->actions()[0]->text(), QStringLiteral("&1 r10.png"));

    // An entry opens its file; one whose file has gone is removed with a message.
    menu->actions()[3]->trigger();
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   r7.png  (15x8)"));
    QCOMPARE(window_->RecentFiles().first(), images_->filePath(QStringLiteral("r7.png")));
    const QString gone = images_->filePath(QStringLiteral("r9.png"));
    QVERIFY(QFile::remove(gone));
    QAction* goneItem = nullptr;
    for (QAction* item : menu->actions()) {
        if (item->data().toString() == gone) goneItem = item;
    }
    QVERIFY(goneItem);
    goneItem->trigger();
    QCOMPARE(seams_->messages.size(), 1);
    QVERIFY(seams_->messages[0].request.text.startsWith(gone));
    QVERIFY(!window_->RecentFiles().contains(gone));
    QCOMPARE(menu->actions().size(), 7);
    QCOMPARE(window_->windowTitle(), QStringLiteral("Calmora   r7.png  (15x8)"));

    // The list is in the settings folder for the next start.
    QVERIFY(sandbox_->Read(QString::fromLatin1(kRecentFilesFile))
                .startsWith(images_->filePath(QStringLiteral("r7.png")).toUtf8() + '\n'));
    window_ = std::make_unique<MainWindow>();
    QCOMPARE(window_->findChild<QMenu*>(QStringLiteral("FileRecent"))->actions().size(), 7);
}

void MainWindowHistoryTest::quitAndShortcuts() {
    QCOMPARE(window_->MenuAction("FileOpen")->shortcut(), QKeySequence(QKeySequence::Open));
    QCOMPARE(window_->MenuAction("FileSave")->shortcut(), QKeySequence(QKeySequence::Save));
    QVERIFY(!window_->MenuAction("FileQuit")->shortcut().isEmpty());
    QCOMPARE(window_->MenuAction("EditUndo")->shortcut(), QKeySequence(QKeySequence::Undo));
    QCOMPARE(window_->MenuAction("EditRedo")->shortcut(), QKeySequence(QKeySequence::Redo));
    QCOMPARE(window_->MenuAction("ShowGuida")->shortcut(), QKeySequence(Qt::Key_F1));
    // The captions stay as they were.
    QCOMPARE(window_->MenuAction("FileOpen")->text(), QStringLiteral("open"));

    QVERIFY(OpenPattern(QStringLiteral("h.png"), 40, 30));
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(window_.get(), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(window_->ImageWidth(), 30);
    QTest::keySequence(window_.get(), QKeySequence(QKeySequence::Undo));
    QCOMPARE(window_->ImageWidth(), 40);
    QTest::keyClick(window_.get(), Qt::Key_F1);
    QCOMPARE(seams_->openedUrls.size(), 1);

    // Quit goes the way of closing: the turn redone is asked about.
    // Redo's key depends on the platform (Ctrl+Shift+Z or Ctrl+Y): whichever Qt gives.
    QTest::keySequence(window_.get(), window_->MenuAction("EditRedo")->shortcut());
    QCOMPARE(window_->ImageWidth(), 30);
    seams_->nextAnswer = QuestionAnswer::Cancel;
    window_->MenuAction("FileQuit")->trigger();
    QCOMPARE(seams_->questions.size(), 1);
    QVERIFY(window_->isVisible());
    seams_->nextAnswer = QuestionAnswer::Discard;
    QTest::keySequence(window_.get(), window_->MenuAction("FileQuit")->shortcut());
    QVERIFY(!window_->isVisible());
}

void MainWindowHistoryTest::fitTurnAndDenoiseKeys() {
    QCOMPARE(window_->MenuAction("PaintSizeScreenFit")->shortcut(),
             QKeySequence(Qt::CTRL | Qt::Key_F));
    QCOMPARE(window_->MenuAction("Ruota90")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    QCOMPARE(window_->MenuAction("Denoise")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
    QCOMPARE(window_->MenuAction("PaintSizeScreenFit")->text(), QStringLiteral("screen fit"));
    QCOMPARE(window_->MenuAction("Denoise")->text(), QStringLiteral("denoise"));
    int runs = 0;
    window_->SetDenoiseDialogLauncher([&runs](QWidget*, DenoiseHost&) { ++runs; });
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));

    // Without a picture the keys do nothing.
    for (const Qt::Key key : {Qt::Key_F, Qt::Key_R, Qt::Key_D})
        QTest::keyClick(window_.get(), key, Qt::ControlModifier);
    QCOMPARE(runs, 0);
    QVERIFY(!window_->HasImage());
    QVERIFY(seams_->messages.isEmpty());

    // A picture larger than the window: fit, turn (true size again), denoise.
    QVERIFY(OpenPattern(QStringLiteral("k.png"), 1200, 900));
    QTest::keyClick(window_.get(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(window_->View().Mode(), kScreenFit);
    QVERIFY(window_->MenuAction("PaintSizeScreenFit")->isChecked());
    QVERIFY(window_->windowTitle().contains(QStringLiteral("view size (")));
    QTest::keyClick(window_.get(), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(window_->ImageWidth(), 900);
    QTest::keyClick(window_.get(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(runs, 1);
    QVERIFY(seams_->messages.isEmpty());
}

void MainWindowHistoryTest::windowHasTheProgramsIcon() {
    const QIcon icon = window_->windowIcon();
    QVERIFY(!icon.isNull());
    // An installed icon theme may give its own; otherwise the program's
    // pictures, every size of them.
    if (QIcon::hasThemeIcon(QStringLiteral("io.github.calmora.Calmora"))) return;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QVERIFY2(icon.availableSizes().contains(QSize(size, size)),
                 qPrintable(QString::number(size)));
    }
    const QImage own(QStringLiteral(":/calmora/icons/calmora-48.png"));
    QVERIFY(!own.isNull());
    // A pixmap holds premultiplied pixels; the file's, premultiplied, match them.
    QCOMPARE(icon.pixmap(QSize(48, 48), 1.0).toImage().convertToFormat(
                 QImage::Format_ARGB32_Premultiplied),
             own.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

QTEST_MAIN(MainWindowHistoryTest)
#include "main_window_history_qtest.moc"
