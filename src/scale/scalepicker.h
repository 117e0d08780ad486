#pragma once
// The picker the transfer commands use: set the members, Show, read the choice.
#include <QString>
#include <QStringList>

class QWidget;

namespace quillon {

class AppContext;

class ScalePicker {
public:
    explicit ScalePicker(AppContext& ctx, QWidget* parent = nullptr) : m_ctx(ctx), m_parent(parent) {}

    bool m_bMultiSelect = true;
    qint16 m_iDeptID = -1;   // -1: every department (the only value the commands use)
    QString m_strScales;     // chosen addresses joined by ";"
    bool m_bCancel = true;
    QStringList m_preselected; // non-empty: exactly these addresses start ticked

    // Shows the picker modally; returns when the user has closed it.
    void Show();

private:
    AppContext& m_ctx;
    QWidget* m_parent;
};

} // namespace quillon
