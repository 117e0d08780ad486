#pragma once
// The scale list: every scale in use, with add, edit and delete. Each change is
// stored at once and the list is read back.
#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon {

class AppContext;
class frmScaleEdit;

class frmScaleConfig : public QDialog {
    Q_OBJECT
public:
    explicit frmScaleConfig(AppContext& ctx, QWidget* parent = nullptr);
    ~frmScaleConfig() override;

    void RefreshList();
    void cmdAddNew_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();

    QTreeWidget* lvwScale = nullptr;
    QPushButton* cmdAddNew = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdOK = nullptr;

    // Tests and callers may watch each add/edit dialog just before it is shown.
    std::function<void(frmScaleEdit&)> m_onEditDialog;

protected:
    void done(int r) override;

private:
    void EditRow(QTreeWidgetItem* row);
    int runEditDialog(frmScaleEdit& dlg);

    AppContext& m_ctx;
    QLabel* udtScaleEditCaption = nullptr;
    bool m_placementStored = false;
};

// The scale list for the main window's scale configuration command; returns when closed.
void ShowScaleConfig(AppContext& ctx, QWidget* parent);
// The same over the program's context.
void ShowScaleConfig(QWidget* parent);

} // namespace quillon
