// FormMain: the program's window. It owns the image document, shows it at true
// size or fitted to the window, scrolls it with the bars and by dragging,
// rotates it, and starts the denoise, preferences and About windows.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QStringList>
#include <functional>

#include "denoise/denoise_host.h"
#include "history.h"
#include "image_document.h"
#include "unsaved_changes.h"
#include "view_model.h"

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QMenu;
class QScrollBar;

namespace calmora {

class BusyPointers;
class GCommonDialog;
class PictureBox;
struct LoadRefusal;

// Mouse pointers by their codes: default, four-way arrow while dragging, busy.
constexpr int kPointerDefault = 0;
constexpr int kPointerSizeAll = 5;
constexpr int kPointerBusy = 11;

class MainWindow : public QMainWindow, public DenoiseHost {
    Q_OBJECT
public:
    // Form_Load: reads the preferences and the remembered open folder, sets
    // every caption in the chosen language, and lays out an empty view.
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Loads path as if it had been confirmed in the open dialog (used for a
    // file named on the command line).
    void OpenFile(const QString& path);

    // Menu commands.
    void FileOpen_Click();
    void FileSave_Click();
    void PaintSizeTrue_Click();
    void PaintSizeScreenFit_Click();
    // Zoom one level in or out around the view centre (zoom_view.cpp).
    void ZoomIn_Click();
    void ZoomOut_Click();
    void Ruota90_Click();
    void Denoise_Click();
    void PrefMenu_Click();
    void ShowGuida_Click();
    void ShowAbout_Click();
    // Added commands: the Edit menu, quitting, and a file of the recent list.
    void EditUndo_Click();
    void EditRedo_Click();
    void EditRevert_Click();
    void FileQuit_Click();
    void OpenRecent_Click(const QString& path);

    // Unsaved changes: a denoise or a turn since the last load or save that
    // is not undone. SettleChanges asks whether to save them; with Later,
    // proceed runs once the save that was chosen has written the picture.
    [[nodiscard]] bool HasUnsavedChanges() const {
        return HasImage() && history_.HasUnsavedChanges();
    }
    void MarkSaved() { history_.MarkSaved(); }
    [[nodiscard]] ChangesSettled SettleChanges(std::function<void()> proceed);
    [[nodiscard]] const History& ImageHistory() const { return history_; }
    // The files of the recent list, newest first.
    [[nodiscard]] QStringList RecentFiles() const;

    // Captions of the menus and the save frames in one language, and the
    // switch of the window title to its twin in the language now in use.
    void ApplyEnglishCaptions();
    void ApplyItalianCaptions();
    void SwapCaptionLanguage();

    // The menus that long work locks: FileMenu, PaintSize, ShowAbout,
    // ShowGuida, Denoise and PrefMenu. Denoise only comes back when there is
    // an image to denoise.
    void DisableMainMenus();
    void EnableMainMenus();

    // Sets a mouse pointer by code (0, 5, 11) on the window and on Pic.
    void SetWindowPointer(int code);
    void SetPicPointer(int code);
    [[nodiscard]] int PicPointer() const { return picPointer_; }
    [[nodiscard]] int WindowPointer() const { return windowPointer_; }

    [[nodiscard]] ImageDocument& Document() { return doc_; }
    [[nodiscard]] const ImageDocument& Document() const { return doc_; }
    [[nodiscard]] const MainViewModel& View() const { return view_; }
    [[nodiscard]] bool HasImage() const { return doc_.image != nullptr; }
    [[nodiscard]] PictureBox* Pic() const { return pic_; }
    [[nodiscard]] QScrollBar* HScroll1() const { return hScroll_; }
    [[nodiscard]] QScrollBar* VScroll1() const { return vScroll_; }
    // The area below the menu bar where Pic, the bars and the frames live.
    [[nodiscard]] QWidget* ClientArea() const { return client_; }
    [[nodiscard]] QAction* MenuAction(const char* objectName) const;
    [[nodiscard]] bool ViewReady() const { return doc_.viewReadyFlag; }
    void SetViewReady(bool ready) { doc_.viewReadyFlag = ready; }

    // How the Denoise command opens its dialog; by default the denoise
    // dialog when the program is built with it. Tests put a fake in.
    using DenoiseDialogLauncher = std::function<void(QWidget* owner, DenoiseHost& host)>;
    void SetDenoiseDialogLauncher(DenoiseDialogLauncher launcher) {
        denoiseDialog_ = std::move(launcher);
    }

    // DenoiseHost.
    [[nodiscard]] const uint8_t* ImageBits() const override { return doc_.imageBits; }
    [[nodiscard]] int32_t ImageWidth() const override { return doc_.width; }
    [[nodiscard]] int32_t ImageHeight() const override { return doc_.height; }
    [[nodiscard]] DenoiseDestination Destination() const override;
    void AdoptDenoised() override;
    void AppendTitleSuffix(const QString& english, const QString& italian) override;
    // Copies the block at the scroll position into the view and shows it.
    void RedrawView() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenus();
    // The commands added beside the original menus and every shortcut.
    void ConnectAddedCommands();
    // FileMenu, PaintSize, ShowAbout, ShowGuida, Denoise, PrefMenu: in the
    // order the lock sets them.
    [[nodiscard]] QList<QAction*> LockedMenus() const;
    void CreateClientArea();
    void ApplyCaptions(Language language);
    void ShowStartPicture();

    // Loading.
    [[nodiscard]] QString SplitPath(const QString& path);
    void WriteOpenFolder();
    void BeginLoad(const QString& path);
    void LoadImageFile();
    // Ends a load that failed once the window was locked: the menus come back
    // when the load's lock ends, after the message.
    void FailLoad(BusyPointers& busy, const LoadRefusal& refusal, bool hidePaintSize);
    // Shows why a file was refused: its own text, or the catalogue's message.
    void TellRefusal(const LoadRefusal& refusal);
    void ReleaseDocument();

    // View.
    [[nodiscard]] QSize ClientSize() const;
    // Tells the view model the client area's size and the bars' thickness.
    void SyncClientSize();
    [[nodiscard]] TrueSizeLayout ComputeLayout(int32_t width, int32_t height);
    [[nodiscard]] FitGeometry ComputeFitFor(int32_t width, int32_t height);
    void ApplyLayout(const TrueSizeLayout& layout);
    // The bars' ranges and steps for a view laid out as layout.
    void SetBarRanges(const TrueSizeLayout& layout);
    // A new layout with the bars at (x, y), set while the view is not ready,
    // so the bars' own changes draw nothing half way.
    void InstallLayout(const TrueSizeLayout& layout, int32_t x, int32_t y);
    void ApplyMarks(const SizeMarks& marks);
    void PlaceScrollBars();
    // Places Pic for a view given in the view's device pixels, or (the start
    // picture) in the window's own pixels.
    void PlacePic(int left, int top, int width, int height, bool devicePixels = true);
    // Fills bitmap with the view block of the current image at (x, y): 0, or
    // the number of the message that tells why it could not.
    [[nodiscard]] int MakeTrueView(DisplayBitmap& bitmap, const uint8_t* bits, int32_t width,
                                   int32_t height, const TrueSizeLayout& layout, int32_t x,
                                   int32_t y) const;
    [[nodiscard]] int MakeFitView(DisplayBitmap& bitmap, const uint8_t* bits, int32_t width,
                                  int32_t height, const FitGeometry& fit) const;
    void ShowTrueView();
    void ShowFitView();
    void UpdateFitGeometry();
    void DropFitBitmap();
    void RelayoutForClientSize();

    // Zoom levels besides true size and screen fit (zoom_view.cpp).
    // Steps steps levels (positive = in), keeping the image point under spot
    // of the client area there, or under the view centre without a spot.
    void ZoomBy(int steps, const ClientSpot* spot);
    // Shows the picture at scale with point under spot (the new view's centre
    // without one); true size and the fit level go to their own views.
    void ShowZoomLevel(double scale, ImagePoint point, const ClientSpot* spot);
    // From a zoomed view back to true size, the point under the centre kept.
    void LeaveZoom();
    void PlaceZoomBars(const TrueSizeLayout& layout);
    void RedrawZoomedView();
    void RelayoutZoomed();
    [[nodiscard]] bool ZoomAllowed() const;
    // Arrow keys and Page Up/Down move the bars; the zoom shortcuts (zoom_keys.cpp).
    void InstallViewKeys();
    // One step of bar by a key: single (arrow) or page; nothing while hidden or disabled.
    void KeyScroll(QScrollBar* bar, bool forward, bool page);
    void SetTitle(const QString& title) { setWindowTitle(title); }

    // Drag scrolling.
    void Pic_MouseDown(Qt::MouseButton button, QPointF position);
    void Pic_MouseMove(QPointF position);
    void Pic_Mouseup();
    [[nodiscard]] bool AnyScrollBarShown() const;
    // One axis of a drag: moves bar by the mouse's travel from start over a
    // picture extent long; true when the bar moved (start then follows).
    bool DragAxis(QScrollBar* bar, double position, int32_t& start, int32_t extent);
    void HScroll1_Change();
    void Vscroll1_Change();

    void Form_Unload();

    // History.
    // The picture shown now as a history state; doc_ gives its image up.
    [[nodiscard]] HistoryState TakeCurrentState();
    // A command replaced the image: the picture before it (given up by doc_)
    // with its angle and caption goes on the undo list.
    void RecordStep(FIBITMAP* before, int16_t rotation, const CaptionPair& caption);
    // The views of a picture that replaces the one shown (a turn, a step of
    // the history), made before anything of the current one moves so that a
    // failure leaves everything as it was; then the picture taken in with
    // them, its caption, and the bars at (x, y) where the layout allows.
    struct ReplacementViews {
        TrueSizeLayout layout;
        FitGeometry fit;
        DisplayBitmap trueView;
        DisplayBitmap fitted;
        int32_t x = 0;
        int32_t y = 0;
    };
    [[nodiscard]] int MakeReplacementViews(ReplacementViews& views, FIBITMAP* image, int32_t x,
                                           int32_t y);
    void ShowReplacement(FIBITMAP* image, ReplacementViews& views, const CaptionPair& caption);
    // Shows target, the state move of the history brings in; nothing changes
    // when its views cannot be made.
    void GoToState(const HistoryState* target,
                   std::optional<HistoryState> (History::*move)(HistoryState&));
    void UpdateEditMenu();
    [[nodiscard]] bool CommandsLocked() const;

    // Opening after the question about unsaved changes (open, drop, recent).
    void OpenAsked(const QString& path);
    void AddRecentFile(const QString& path);
    void RefreshRecentMenu();
    void InstallWheel();

    ImageDocument doc_;
    MainViewModel view_;
    FIBITMAP* destination_ = nullptr;  // the denoise run's output while its dialog is open
    bool denoiseDialogOpen_ = false;
    DenoiseDialogLauncher denoiseDialog_;
    bool unloaded_ = false;
    int picPointer_ = kPointerDefault;
    int windowPointer_ = kPointerDefault;
    bool startPictureShown_ = false;
    DisplayBitmap zoomBitmap_;  // the visible block of a zoomed view

    QWidget* client_ = nullptr;
    PictureBox* pic_ = nullptr;
    QScrollBar* hScroll_ = nullptr;
    QScrollBar* vScroll_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* paintSizeMenu_ = nullptr;
    QMenu* imageMenu_ = nullptr;
    QAction* fileOpen_ = nullptr;
    QAction* fileSave_ = nullptr;
    QAction* paintSizeTrue_ = nullptr;
    QAction* paintSizeScreenFit_ = nullptr;
    QAction* ruota90_ = nullptr;
    QAction* denoise_ = nullptr;
    QAction* prefMenu_ = nullptr;
    QAction* showGuida_ = nullptr;
    QAction* showAbout_ = nullptr;
    // Added beside the original menus.
    QMenu* fileRecentMenu_ = nullptr;
    QAction* fileQuit_ = nullptr;
    QAction* zoomIn_ = nullptr;
    QAction* zoomOut_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QAction* editUndo_ = nullptr;
    QAction* editRedo_ = nullptr;
    QAction* editRevert_ = nullptr;
    GCommonDialog* openDialog_ = nullptr;
    History history_;
    QString shownFile_;  // the file of the picture on screen
};

}  // namespace calmora
