// FormDenoise: the modal dialog in which the user sets up, previews and
// applies the denoising of the main window's current image.
//
// Everything runs on the user-interface thread. A run calls the engine once
// per row and lets pending events run before every row, which is what keeps
// the stop button and the window's close box working during long runs.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "area_layout.h"
#include "display_bitmap.h"
#include "result_view_pictures.h"
#include "denoise_run/run_settings.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QScrollBar;
class QToolButton;

namespace calmora {

class DenoiseHost;
class PictureBox;

// A drawing surface that is never shown (PicSave, PicMask).
class WorkSurface : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    DisplayBitmap bitmap;
};

// A picture kept for a button, never shown itself (ImgOrig_scura, ...).
class ImageStore : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    QPixmap picture;
};

class FormDenoise : public QDialog {
    Q_OBJECT
public:
    FormDenoise(QWidget* owner, DenoiseHost& host);
    ~FormDenoise() override;

    // The load sequence: texts, layout, display bitmaps, first drawing. Shows
    // the dialog. False when a display bitmap could not be made: the message
    // has been shown and the dialog is hidden again.
    bool Load();

    // Whether the last full run handed its result to the host.
    [[nodiscard]] bool HandedBack() const { return handedBack_; }

    // Read-only state, for the tests and the benchmark.
    [[nodiscard]] bool AreaMode() const { return areaMode_; }
    [[nodiscard]] int SelectionMode() const { return selectionMode_; }
    [[nodiscard]] bool RectangleShown() const { return rectangleShown_; }
    [[nodiscard]] bool PreviewValid() const { return previewValid_; }
    [[nodiscard]] bool RunActive() const { return runActive_; }
    [[nodiscard]] int CurrentChannel() const { return currentChannel_; }
    [[nodiscard]] ResultView SelectedView() const { return selectedView_; }
    [[nodiscard]] const RunSettings& Settings() const { return settings_; }
    [[nodiscard]] int32_t ScrollX() const { return scrollX_; }
    [[nodiscard]] int32_t ScrollY() const { return scrollY_; }
    [[nodiscard]] int32_t RectLeft() const { return rectLeft_; }
    [[nodiscard]] int32_t RectTop() const { return rectTop_; }
    [[nodiscard]] int32_t RectWidth() const { return rectWidth_; }
    [[nodiscard]] int32_t RectHeight() const { return rectHeight_; }
    [[nodiscard]] AreaSize PreviewArea() const { return area_; }
    [[nodiscard]] const DisplayBitmap& AreaOriginal() const { return areaOrigBmp_; }
    [[nodiscard]] const DisplayBitmap& AreaDenoised() const { return areaDenBmp_; }
    [[nodiscard]] const DisplayBitmap& AreaNoise() const { return areaNoiseBmp_; }

    // Test seams: how display bitmaps are made (to simulate a lack of memory)
    // and a call made before every row of a run, before events are let through.
    using BitmapMaker =
        std::function<bool(DisplayBitmap& bitmap, int32_t width, int32_t height, const char* name)>;
    void SetBitmapMakerForTest(BitmapMaker maker) { makeBitmap_ = std::move(maker); }
    void SetBeforeRowHookForTest(std::function<void(int32_t row, int32_t height)> hook) {
        beforeRowHook_ = std::move(hook);
    }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction and texts (form_denoise.cpp).
    void BuildControls();
    void ApplyTexts();
    void ApplyBackground(const QColor& colour);
    void LayoutWholeImage();
    void LayoutAreaMode();
    void CentreComboOverPic();

    // Settings and coupling.
    void HScrollSigma_Change(int value);
    void HScrollrw_Change(int value);
    void HScrollColour_Change(QScrollBar* slider, QLineEdit* field, float& factor, int value);
    void FieldEdited(QLineEdit* field, QScrollBar* slider, int minimum, int maximum);
    void Txtrw_LostFocus();
    void ApplyEnablingRule();
    void ControlLock();
    void ControlUnlock();
    void ColoreWhite_Click();
    void ColoreGray_Click();
    void ShowGuida_Click();

    // Image view and preview rectangle (form_denoise_view.cpp).
    bool MakeBitmap(DisplayBitmap& bitmap, int32_t width, int32_t height, const char* name);
    bool CreateBitmapsAndDraw();
    void FailLoad(int message);
    void CmdSelectArea_Click();
    void CmdScroll_Click();
    void Pic_MouseDown(const QPoint& position, Qt::MouseButton button);
    void Pic_MouseMove(const QPoint& position);
    void Pic_MouseUp();
    void DragImage(const QPoint& position);
    void MoveRectangle(const QPoint& position);
    void SaveRectangleSurroundings();
    void DrawRectangle();
    void SetDragging(bool dragging);
    void ClearPanes();
    void SetViewButtonsEnabled(bool enabled);

    // Runs (form_denoise_runs.cpp).
    void CmdPreview_Click();
    void CmdOKDenoise_Click();
    void CmdInterrompiDenoise_Click();
    bool BeforeRow(int32_t row, int32_t height);
    void ShowPreviewRow(int32_t row, int16_t channel);
    void SetProgressVisible(bool visible);

    // Result views and channels (result_view.cpp).
    void CmdOrigImg_Click();
    void CmdDenoisedImg_Click();
    void CmdNoiseImg_Click();
    void Combo1_Click(int index);
    void RedrawViewInChannel(int previousChannel, int newChannel);
    void ViewRefresh(int previousChannel, int newChannel);
    void FullRefresh(int previousChannel, int newChannel);
    void RedrawPanesInChannel(int channel);
    void SetViewPictures(ResultView selected);
    void BlitToViewTarget(const DisplayBitmap& bitmap);
    void ExtractChannel(int channel, const uint8_t* source, uint8_t* destination, int32_t width,
                        int32_t height);

    DenoiseHost& host_;
    QWidget* owner_ = nullptr;

    // Controls, named as in the design.
    QMenuBar* menuBar_ = nullptr;
    QWidget* client_ = nullptr;
    QMenu* ColoreSfondo = nullptr;
    QAction* ColoreWhite = nullptr;
    QAction* ColoreGray = nullptr;
    QAction* ShowGuida = nullptr;
    QFrame* FrameDenoise = nullptr;
    QLabel* LabSigma = nullptr;
    QScrollBar* HScrollSigma = nullptr;
    QLineEdit* TxtSigma = nullptr;
    QLabel* Labrw = nullptr;
    QScrollBar* HScrollrw = nullptr;
    QLineEdit* Txtrw = nullptr;
    QLabel* LabelRed = nullptr;
    QLabel* LabelGreen = nullptr;
    QLabel* LabelBlue = nullptr;
    QScrollBar* HScrollRed = nullptr;
    QScrollBar* HScrollGreen = nullptr;
    QScrollBar* HScrollBlue = nullptr;
    QLineEdit* TxtRed = nullptr;
    QLineEdit* TxtGreen = nullptr;
    QLineEdit* TxtBlue = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* CmdPreview = nullptr;
    QPushButton* CmdOKDenoise = nullptr;
    QPushButton* CmdInterrompiDenoise = nullptr;
    QToolButton* CmdSelectArea = nullptr;
    QToolButton* CmdScroll = nullptr;
    QToolButton* CmdOrigImg = nullptr;
    QToolButton* CmdDenoisedImg = nullptr;
    QToolButton* CmdNoiseImg = nullptr;
    QComboBox* Combo1 = nullptr;
    PictureBox* Pic = nullptr;
    PictureBox* PicR = nullptr;
    PictureBox* PicNoise = nullptr;
    WorkSurface* PicSave = nullptr;
    WorkSurface* PicMask = nullptr;
    ImageStore* ImgOrig_scura = nullptr;
    ImageStore* ImgOrig_chiara = nullptr;
    ImageStore* ImgDenoised_scura = nullptr;
    ImageStore* ImgDenoised_chiara = nullptr;
    ImageStore* ImgNoise_scura = nullptr;
    ImageStore* ImgNoise_chiara = nullptr;
    QFrame* Line1 = nullptr;
    QFrame* Shape1 = nullptr;
    QFrame* Shape2 = nullptr;

    // Settings.
    RunSettings settings_;
    int language_ = 1;
    QString titleTail_;

    // Modes and view state.
    bool areaMode_ = false;
    int selectionMode_ = 0;  // 0 scroll, 1 select area
    bool rectangleShown_ = false;
    bool previewValid_ = false;
    int currentChannel_ = 0;
    ResultView selectedView_ = ResultView::Denoised;
    std::array<bool, 5> savedStates_{};
    bool locked_ = false;
    int32_t imageWidth_ = 0;
    int32_t imageHeight_ = 0;
    const uint8_t* imageBits_ = nullptr;
    int32_t scrollX_ = 0, scrollY_ = 0;
    int32_t scrollLimitX_ = 0, scrollLimitY_ = 0;
    QPoint dragAnchor_;
    bool dragging_ = false;
    AreaSize area_;
    int32_t rectLeft_ = 0, rectTop_ = 0;
    int32_t rectWidth_ = 0, rectHeight_ = 0;
    RectangleRange rectRange_;
    QPoint moveAnchor_;

    // Display bitmaps.
    DisplayBitmap viewBmp_, viewChanBmp_, imageChanBmp_;
    DisplayBitmap areaOrigBmp_, areaOrigChanBmp_, areaDenBmp_, areaDenChanBmp_, areaNoiseBmp_,
        areaNoiseChanBmp_;
    DisplayBitmap outlineBmp_;  // white, for the rectangle's outline

    // Run state.
    bool stopFlag_ = false;
    bool closeRequest_ = false;
    bool runActive_ = false;
    bool previewStarted_ = false;  // some preview ran in this dialog
    bool handedBack_ = false;
    int progressFullWidth_ = 0;
    bool progressShown_ = false;

    BitmapMaker makeBitmap_;
    std::function<void(int32_t, int32_t)> beforeRowHook_;
};

}  // namespace calmora
