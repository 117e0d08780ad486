#pragma once
// The text content editor: up to 20 lines of a TEXT or SHOPNAME field, each with
// its character size.
#include "model/label.h"
#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace quillon {

class TextEditorDialog : public QDialog {
    Q_OBJECT
public:
    explicit TextEditorDialog(const Tables& tables, QWidget* parent = nullptr);
    ~TextEditorDialog() override;

    // Arrays are 1-based like the field record's ([1]..[20]).
    void Init(qint16 iTextLine, const std::array<QString, kMaxTextLines + 1>& strText,
              const std::array<QString, kMaxTextLines + 1>& strCharSize);

    qint16 m_iTextLine = 0;
    std::array<QString, kMaxTextLines + 1> m_strText;
    std::array<QString, kMaxTextLines + 1> m_strCharSize;
    bool m_bCancel = true;

    // The rows as the user sees them (row k is line k + 1), for the owner and for tests.
    int rowCount() const;
    QLineEdit* txtContents(int row) const;
    QComboBox* cboFont(int row) const;
    QPushButton* cmdOK() const;
    QPushButton* cmdCancel() const;

protected:
    void showEvent(QShowEvent* e) override;
    void done(int r) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    struct Impl;
    Impl* d;
};

} // namespace quillon
