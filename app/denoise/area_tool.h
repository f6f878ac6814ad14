// The denoise dialog's image view as a tool: scroll mode drags the image
// under the view, select-area mode shows the preview rectangle (a white
// outline in a dark band) and moves it with the mouse. It keeps the view's
// pictures and the pixels under the band, so that the view can be drawn again
// in any channel and a moved rectangle leaves no trace.
#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <functional>

#include "preview_state.h"

class QAbstractButton;
class QColor;

namespace calmora {

class PictureBox;

// A drawing surface that is never shown (PicSave, PicMask).
class WorkSurface : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    DisplayBitmap bitmap;
};

// How display bitmaps are made; a test puts a failing one in.
using BitmapMaker =
    std::function<bool(DisplayBitmap& bitmap, int32_t width, int32_t height, const char* name)>;

struct AreaToolControls {
    PictureBox* pic = nullptr;
    QAbstractButton* selectArea = nullptr;
    QAbstractButton* scroll = nullptr;
    WorkSurface* save = nullptr;  // the pixels under the rectangle and its band
    WorkSurface* mask = nullptr;  // the band's dark mask
};

class AreaTool : public QObject {
    Q_OBJECT
public:
    // Writes the view's fields of state (mode, rectangle, scroll, area).
    AreaTool(const AreaToolControls& controls, PreviewState& state);
    ~AreaTool() override;

    // The image the view shows, read only.
    void SetImage(const uint8_t* bits, int32_t width, int32_t height);

    // Makes the view's and the preview area's bitmaps, draws the image into
    // the view and sizes the rectangle; in area mode the preview area has the
    // result panes' size paneSize (less where the view is smaller). Returns
    // 0, or the number of the message that says what could not be made.
    [[nodiscard]] int Prepare(const BitmapMaker& make, QSize paneSize);

    // The mode buttons.
    void SelectArea();
    void Scroll();

    // Draws the view again in newChannel (the image's own pixels).
    void RedrawInChannel(int previousChannel, int newChannel);
    // Keeps the pixels under the rectangle's band, and draws the rectangle.
    void SaveSurroundings();
    void DrawRectangle();
    // Puts bitmap (the preview area's size) inside the rectangle.
    void ShowInRectangle(const DisplayBitmap& bitmap);

signals:
    // Select-area or scroll mode was entered.
    void selectionModeChanged();
    // The panes no longer show the area under the view (it moved).
    void panesOutdated();
    // Neither panes nor view buttons fit the area any more.
    void previewOutdated();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MouseDown(const QPoint& position, Qt::MouseButton button);
    void MouseMove(const QPoint& position);
    void MouseUp();
    void DragImage(const QPoint& position);
    void MoveRectangle(const QPoint& position);
    void SetDragging(bool dragging);
    void ShowMode(QAbstractButton* active, QAbstractButton* idle);

    AreaToolControls c_;
    PreviewState& state_;
    const uint8_t* imageBits_ = nullptr;
    int32_t imageWidth_ = 0, imageHeight_ = 0;
    // The view in colour and in the channel on show, and the whole image in that channel.
    DisplayBitmap viewBmp_, viewChanBmp_, imageChanBmp_;
    DisplayBitmap outlineBmp_;  // white, for the rectangle's outline
    RectangleRange rectRange_;
    QPoint dragAnchor_, moveAnchor_;
    bool dragging_ = false;
};

}  // namespace calmora
