#pragma once
// The scale picker: the scales in use with a tick each, sorted by store and
// address, a filter, and a live check of which of them answer (a ping, or a
// connect to the transfer port).
#include <QDialog>
#include <QList>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon {

class AppContext;
class ReachabilityCheck;

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

    // Fills the list, ticks the set ticked last time (all when there is none) and
    // starts the checks; exec() does this itself.
    void Form_Load();
    int exec() override;

    // The check state of a row (PingState of scaledialog.h) and its status text.
    int pingState(int row) const;
    QString statusText(int row) const;
    // Checks queued or under way.
    int pendingPings() const;

    // Shows the rows whose number, address, model or store contains the text.
    void setFilter(const QString& text);
    // Ticks the rows shown by the filter, and only them.
    void tickShown();
    // Ticks the scales of one store, and only them.
    void tickStore(const QString& store);
    // The addresses ticked, in list order.
    QStringList tickedAddresses() const;

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
    QLineEdit* txtFilter = nullptr;
    QComboBox* cboStore = nullptr;
    QPushButton* cmdTickAll = nullptr;
    QPushButton* cmdTickNone = nullptr;
    QPushButton* cmdTickShown = nullptr;
    QMenu* mnuPopup = nullptr;

protected:
    void done(int r) override;

private:
    void checkChanged(int index);
    void setState(QTreeWidgetItem* row, int state, const QString& status);
    void rowChanged(QTreeWidgetItem* row, int column);
    void setAllChecks(bool checked, bool highlightedOnly);
    void storeChosen(int index);

    AppContext& m_ctx;
    QLabel* udtScaleSelectCaption = nullptr;
    ReachabilityCheck* m_check = nullptr;
    QList<QTreeWidgetItem*> m_checkRows; // the row of each address checked
    bool m_loaded = false;
    bool m_updatingChecks = false;
    bool m_placementStored = false;
};

} // namespace quillon
