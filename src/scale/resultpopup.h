#pragma once
// The small report window in the main window's bottom-right corner.
#include <QWidget>

class QLabel;
class QToolButton;

namespace quillon {

class ResultPopup : public QWidget {
    Q_OBJECT
public:
    enum Kind { KindError = 0, KindInformation = 1 };

    // The pop-up shown now, or nullptr.
    static ResultPopup* current();

    QLabel* titleItem() const { return m_title; }
    QToolButton* closeItem() const { return m_close; }
    QLabel* kindItem() const { return m_kind; }
    QLabel* messageItem() const { return m_message; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    friend ResultPopup* ShowPopupMsg(QWidget*, const QString&, const QString&, const QString&, int);
    explicit ResultPopup(QWidget* mainWindow);

    QLabel* m_title = nullptr;
    QToolButton* m_close = nullptr;
    QLabel* m_kind = nullptr;
    QLabel* m_message = nullptr;
    QWidget* m_messageArea = nullptr;
};

// Closes the pop-up shown, then shows `message` (line breaks kept) under `title`
// ("Error" for kind 0 and "Information" otherwise when empty) with the kind's icon
// from programDir + "Icon/". Half the main window's size, its bottom-right corner
// on the main window's, never beyond the screen.
ResultPopup* ShowPopupMsg(QWidget* mainWindow, const QString& programDir, const QString& message,
                       const QString& title, int kind);
// The same with the bitmaps of the program's folder.
ResultPopup* ShowPopupMsg(QWidget* mainWindow, const QString& message, const QString& title, int kind);

} // namespace quillon
