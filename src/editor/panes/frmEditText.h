#pragma once
// The text content editor: up to 20 lines of a TEXT or SHOPNAME field, each with
// its character size.
#include "model/label.h"
#include <QDialog>

namespace quillon {

class frmEditText : public QDialog {
    Q_OBJECT
public:
    explicit frmEditText(const Tables& tables, QWidget* parent = nullptr);
    ~frmEditText() override;

    // Arrays are 1-based like the field record's ([1]..[20]).
    void Init(qint16 iTextLine, const std::array<QString, kMaxTextLines + 1>& strText,
              const std::array<QString, kMaxTextLines + 1>& strCharSize);

    qint16 m_iTextLine = 0;
    std::array<QString, kMaxTextLines + 1> m_strText;
    std::array<QString, kMaxTextLines + 1> m_strCharSize;
    bool m_bCancel = true;

private:
    struct Impl;
    Impl* d;
};

} // namespace quillon
