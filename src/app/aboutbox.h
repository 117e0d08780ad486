#pragma once
// The about box: program name, version, and the system information tool when
// this machine has one.
#include <QDialog>

class QPushButton;

namespace quillon {


class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

    // The first system information tool found on the PATH, "" when none.
    static QString SystemInfoTool();
    static QString VersionText();

    QPushButton* cmdSysInfo = nullptr;
};

} // namespace quillon
