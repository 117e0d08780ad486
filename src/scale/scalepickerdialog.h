#pragma once
// The scale picker: the scales in use with a tick each, and a live check of
// which of them answer a ping.
#include <QDialog>
#include <QList>
#include <QStringList>

class QLabel;
class QMenu;
class QProcess;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon {

class AppContext;

class ScalePickerDialog : public QDialog {
    Q_OBJECT
public:
    explicit ScalePickerDialog(AppContext& ctx, QWidget* parent = nullptr);
    ~ScalePickerDialog() override;

    bool m_bJustOneSelected = false;
    QString m_strScales;
    bool m_bCancel = true;
    // Non-empty: exactly these addresses start ticked (a resend to the scales that failed).
    QStringList m_preselected;

    // Fills the list and starts one ping per scale; exec() does this itself.
    void Form_Load();
    int exec() override;

    // The ping state of a row (PingState of scaledialog.h).
    int pingState(int row) const;
    int pendingPings() const;

    void cmdOK_Click();
    void mnuSelect_Click();
    void mnuUnselect_Click();
    void mnuSelectAll_Click();
    void mnuUnselectAll_Click();
    // A double-click on a row, as the list delivers it.
    void RowDoubleClicked(QTreeWidgetItem* row);

    QTreeWidget* lvwScale = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QTimer* tmrCheckPing = nullptr;
    QMenu* mnuPopup = nullptr;

protected:
    void done(int r) override;

private:
    struct Ping {
        QProcess* process = nullptr;
        QTreeWidgetItem* row = nullptr;
    };
    void tmrCheckPing_Timer();
    void setState(QTreeWidgetItem* row, int state);
    void rowChanged(QTreeWidgetItem* row, int column);
    void setAllChecks(bool checked, bool highlightedOnly);
    void stopPings();

    AppContext& m_ctx;
    QLabel* udtScaleSelectCaption = nullptr;
    QList<Ping> m_pings;
    bool m_loaded = false;
    bool m_updatingChecks = false;
    bool m_placementStored = false;
};

} // namespace quillon
