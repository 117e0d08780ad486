#pragma once
// What the scale dialogs share: placement in twips and the ping-state pictures.
#include <QPixmap>
#include <QString>

class QWidget;

namespace quillon {

// Keys prefix + "Left", "Top", "Width", "Height" (defaults 1000, 1000, 6500, 6500).
// A size that would hide the window, or a place off every screen, is not restored.
void RestoreDialogPlacement(QWidget* w, const QString& prefix);
// Unless minimised.
void StoreDialogPlacement(QWidget* w, const QString& prefix);

enum PingState { PingChecking = 1, PingOK = 2, PingTimeOut = 3, PingInvalid = 4 };
// 16 x 16 pictures: an hourglass-like clock, a green tick, a red cross, a grey bar.
QPixmap PingStateIcon(int state);

} // namespace quillon
