#pragma once
// The scale list: every scale in use, with add, edit and delete. Each change is
// stored at once and the list is read back.
#include <QDialog>
#include <QMessageBox>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon {

class AppContext;
class ScaleEditDialog;

class ScaleListDialog : public QDialog {
    Q_OBJECT
public:
    explicit ScaleListDialog(AppContext& ctx, QWidget* parent = nullptr);
    ~ScaleListDialog() override;

    void RefreshList();
    void cmdAddNew_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    // The scale list to and from a CSV file (number, address, model name).
    void cmdImportCsv_Click();
    void cmdExportCsv_Click();

    QTreeWidget* lvwScale = nullptr;
    QPushButton* cmdAddNew = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdImportCsv = nullptr;
    QPushButton* cmdExportCsv = nullptr;

    // Tests and callers may watch each add/edit dialog just before it is shown.
    std::function<void(ScaleEditDialog&)> m_onEditDialog;

    // The CSV buttons' questions; empty: the file dialog and a message box.
    // The filter is "desc|pattern|desc|pattern" as the file commands give it.
    using CsvFileAsker = std::function<std::optional<QString>(QWidget* parent, const QString& title,
                                                              const QString& filter, bool save)>;
    using ResultShower = std::function<void(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                            const QString& text)>;
    CsvFileAsker m_askCsvFile;
    ResultShower m_showResult;

protected:
    void done(int r) override;

private:
    void EditRow(QTreeWidgetItem* row);
    int runEditDialog(ScaleEditDialog& dlg);
    std::optional<QString> askCsvFile(const QString& title, bool save);
    void showResult(QMessageBox::Icon icon, const QString& text);

    AppContext& m_ctx;
    QLabel* udtScaleEditCaption = nullptr;
    bool m_placementStored = false;
};

// The scale list for the main window's scale configuration command; returns when closed.
void ShowScaleConfig(AppContext& ctx, QWidget* parent);
// The same over the program's context.
void ShowScaleConfig(QWidget* parent);

} // namespace quillon
