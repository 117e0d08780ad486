#pragma once
// Add or edit one scale: its address, model and store.
#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillon {

class AppContext;

class ScaleEditDialog : public QDialog {
    Q_OBJECT
public:
    explicit ScaleEditDialog(AppContext& ctx, QWidget* parent = nullptr);

    bool m_bAddNew = true;
    QString m_strIP;
    qint16 m_iScaleModalIndex = 0;
    QString m_strStore;
    bool m_bCancel = true;

    // Called on OK with the typed address: a non-empty text keeps the dialog open
    // and shows that text as the reason.
    std::function<QString(const QString& ip)> m_validate;

    // Fills the controls from the variables; exec() does this itself.
    void Form_Load();
    int exec() override;

    QLineEdit* txtIP = nullptr;
    QComboBox* cboScaleModal = nullptr;
    QLineEdit* txtStore = nullptr;
    QLabel* lblProblem = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    void cmdOK_Click();

private:
    AppContext& m_ctx;
    QLabel* lblIP = nullptr;
    QLabel* lblScaleModal = nullptr;
    QLabel* lblStore = nullptr;
};

// Why an address cannot be stored as a scale ("" when it can).
QString ScaleAddressProblem(const QString& ip);

} // namespace quillon
