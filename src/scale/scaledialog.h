#pragma once
// What the scale dialogs share: placement in twips and the ping-state pictures.
#include <QPixmap>
#include <QString>

class QLabel;
class QTreeWidget;
class QWidget;

namespace quillon {

// Keys prefix + "Left", "Top", "Width", "Height" (defaults 1000, 1000, 6500, 6500).
// A size that would hide the window, or a place off every screen, is not restored.
void RestoreDialogPlacement(QWidget* w, const QString& prefix, int defaultWidthTwips = 6500);
// Unless minimised.
void StoreDialogPlacement(QWidget* w, const QString& prefix);

// The bold caption strip across the top of a scale dialog.
QLabel* MakeCaptionStrip(QWidget* parent, const QString& objectName, const QString& caption);
// The scale list in report mode: number, address, model.
QTreeWidget* MakeScaleList(QWidget* parent, const QString& numberTitle, const QString& addressTitle,
                           const QString& modelTitle);

enum PingState { PingChecking = 1, PingOK = 2, PingTimeOut = 3, PingInvalid = 4, PingQueued = 5, PingNotStarted = 6 };
// 16 x 16 pictures: an hourglass-like clock (grey while queued), a green tick, a
// red cross, a grey bar.
QPixmap PingStateIcon(int state);

} // namespace quillon
