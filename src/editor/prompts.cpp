#include "editor/prompts.h"
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace quillon {

namespace {
FileNameProvider& fileProvider() { static FileNameProvider p; return p; }
MessageProvider& messageProvider() { static MessageProvider p; return p; }
QString& lastName() { static QString s; return s; }
} // namespace

QString QtFileFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i].trimmed();
        QString pattern = parts[i + 1].trimmed();
        if (desc.isEmpty() && pattern.isEmpty())
            continue;
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the parentheses at the end of the text.
        if (desc.endsWith(QLatin1Char(')')) && desc.contains(QLatin1Char('(')))
            out << desc;
        else
            out << desc + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

void SetFileNameProvider(FileNameProvider provider) { fileProvider() = std::move(provider); }

QString LastFileName() { return lastName(); }

std::optional<QString> AskFileName(QWidget* parent, const FileRequest& request)
{
    std::optional<QString> chosen;
    if (fileProvider()) {
        chosen = fileProvider()(parent, request);
    } else {
        QFileDialog dlg(parent, request.title);
        dlg.setNameFilter(QtFileFilter(request.filter));
        dlg.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dlg.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        if (!lastName().isEmpty()) {
            const QFileInfo last(lastName());
            dlg.setDirectory(last.absolutePath());
            dlg.selectFile(last.fileName());
        }
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
            chosen = dlg.selectedFiles().constFirst();
    }
    if (chosen && chosen->isEmpty())
        chosen.reset();
    if (chosen)
        lastName() = *chosen;
    return chosen;
}

void SetMessageProvider(MessageProvider provider) { messageProvider() = std::move(provider); }

QMessageBox::StandardButton AskUser(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                    const QString& text, QMessageBox::StandardButtons buttons)
{
    if (messageProvider())
        return messageProvider()(parent, icon, title, text, buttons);
    QMessageBox box(icon, title, text, buttons, parent);
    return QMessageBox::StandardButton(box.exec());
}

} // namespace quillon

#include "platform/errorreport.h"

namespace quillon {

void ReportFailure(const QString& source, const QString& description)
{
    ReportError(source, description);
}

} // namespace quillon
