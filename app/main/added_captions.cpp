#include "added_captions.h"

namespace calmora {

const ControlCaption kAddedCaptions[kAddedCaptionCount] = {
    {"FileRecent", "recent files", "file recenti"},
    {"FileQuit", "quit", "esci"},
    {"PaintSizeZoomIn", "zoom in", "ingrandisci"},
    {"PaintSizeZoomOut", "zoom out", "riduci"},
    {"EditMenu", "Edit", "Modifica"},
    {"EditUndo", "undo", "annulla"},
    {"EditRedo", "redo", "ripeti"},
    {"EditRevert", "revert to original", "torna all'originale"},
};

}  // namespace calmora
