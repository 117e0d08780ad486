#pragma once
// Scale > Transfer History: the transfer journal newest first, filtered by address, label
// and days; a past run's report shown again, its failed scales sent to again, CSV export.
#include <QDialog>
#include <QStringList>
#include <functional>
#include <optional>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace quillon {

class AppContext;
class JournalModel;
class ResultPopup;

class TransferHistoryDialog : public QDialog {
    Q_OBJECT
public:
    explicit TransferHistoryDialog(AppContext& ctx, QWidget* parent = nullptr);
    ~TransferHistoryDialog() override;

    // Where the export goes (default: a save dialog); nullopt cancels.
    std::function<std::optional<QString>(QWidget* parent, const QString& title)> m_askCsvFile;
    // Sends the label again to these addresses; without it the button is hidden. The dialog
    // closes first, so the picker opens over the main window.
    std::function<void(const QStringList& addresses, const QString& label)> m_sendAgain;

    JournalModel* model() const { return m_model; }
    // The filter fields as they stand now (typing applies them after a short pause).
    void applyFilter();
    // The run of the current row: its failed addresses and its label.
    QStringList failedOfCurrentRun(QString* label = nullptr) const;

    void cmdShowReport_Click();
    void cmdSendAgain_Click();
    void cmdExportCsv_Click();
    // The report pop-up cmdShowReport_Click opened last.
    ResultPopup* shownReport() const;

    QLineEdit* txtAddress = nullptr;
    QLineEdit* txtLabel = nullptr;
    QCheckBox* chkFrom = nullptr;
    QDateEdit* dtpFrom = nullptr;
    QCheckBox* chkTo = nullptr;
    QDateEdit* dtpTo = nullptr;
    QTableView* lvwJournal = nullptr;
    QPushButton* cmdShowReport = nullptr;
    QPushButton* cmdSendAgain = nullptr;
    QPushButton* cmdExportCsv = nullptr;
    QPushButton* cmdClose = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    void done(int r) override;

private:
    void updateButtons();

    AppContext& m_ctx;
    JournalModel* m_model = nullptr;
    QTimer* m_filterDelay = nullptr;
    bool m_placementStored = false;
};

} // namespace quillon
