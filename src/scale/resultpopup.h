#pragma once
// The small report window in the main window's bottom-right corner.
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
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
    QPushButton* copyButton() const { return m_copy; }
    QPushButton* saveCsvButton() const { return m_saveCsv; }

    // Offers the report as CSV ("Save as CSV..."); empty: no such offer.
    void setCsv(const QByteArray& csv);
    QByteArray csv() const { return m_csv; }
    // Writes the CSV to `path` (replaced as a whole); false with *error when it could not.
    bool saveCsv(const QString& path, QString* error) const;
    // A button after the others that runs `action` and closes the pop-up; call after showing.
    QPushButton* addActionButton(const QString& caption, std::function<void()> action);

protected:
    void paintEvent(QPaintEvent* e) override;
    // The pop-up has no frame: it is dragged by its background, so it never has to cover the label.
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    friend ResultPopup* ShowPopupMsg(QWidget*, const QString&, const QString&, const QString&, int);
    explicit ResultPopup(QWidget* mainWindow);

    QLabel* m_title = nullptr;
    QToolButton* m_close = nullptr;
    QLabel* m_kind = nullptr;
    QLabel* m_message = nullptr;
    QWidget* m_messageArea = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_saveCsv = nullptr;
    QByteArray m_csv;
    QPoint m_dragOffset;
    bool m_dragging = false;
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
