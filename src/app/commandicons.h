#pragma once
// Toolbar pictures drawn as vectors, so they stay sharp at any scale factor.
#include <QIcon>

namespace quillon {

enum class CommandIcon {
    ZoomIn, ZoomOut, ZoomFit, Preview, SendToScale, ReceiveFromScale, ScaleList,
    AlignLeft, AlignRight, AlignTop, AlignBottom, AlignCentre, AlignMiddle,
    DistributeH, DistributeV, SameWidth, SameHeight
};

// The picture follows the application palette when it is drawn (light or dark
// theme); the disabled mode is drawn in the palette's disabled text colour.
QIcon MakeCommandIcon(CommandIcon kind);

} // namespace quillon
