#include "app/aboutbox.h"
#include "context/texts.h"
#include "quillonversion.h"
#include <QDialogButtonBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace quillon {

QString AboutBox::VersionText()
{
    return QStringLiteral("Version %1").arg(QLatin1String(QUILLON_VERSION));
}

QString AboutBox::SystemInfoTool()
{
    static const char* const candidates[] = {"hardinfo2", "hardinfo", "gnome-system-monitor",
                                             "plasma-systemmonitor", "ksysguard", "xfce4-taskmanager",
                                             "mate-system-monitor"};
    for (const char* name : candidates) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(GetLangString("frmAbout", "Caption"));
    auto* name = new QLabel(GetLangString("Global", "SoftwareName"), this);
    QFont f = name->font();
    f.setPointSizeF(f.pointSizeF() * 1.5);
    f.setBold(true);
    name->setFont(f);
    auto* version = new QLabel(VersionText(), this);
    auto* description = new QLabel(GetLangString("frmAbout", "lblDescription"), this);
    description->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    auto* cmdOK = buttons->addButton(GetLangString("frmAbout", "cmdOK"), QDialogButtonBox::AcceptRole);
    cmdSysInfo = buttons->addButton(GetLangString("frmAbout", "cmdSysInfo"), QDialogButtonBox::ActionRole);
    const QString tool = SystemInfoTool();
    cmdSysInfo->setEnabled(!tool.isEmpty());
    connect(cmdSysInfo, &QPushButton::clicked, this, [tool] { QProcess::startDetached(tool, {}); });
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    cmdOK->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(description);
    layout->addStretch();
    layout->addWidget(buttons);
}

} // namespace quillon
