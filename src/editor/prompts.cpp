#include "editor/prompts.h"
#include "editor/documentwindow.h"
#include <QDir>
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

QString FilterSuffix(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    if (parts.size() < 2)
        return {};
    QString pattern = parts[1].trimmed().section(QLatin1Char(';'), 0, 0).trimmed();
    if (!pattern.startsWith(QLatin1String("*.")))
        return {};
    pattern = pattern.mid(2);
    if (pattern.isEmpty() || pattern.contains(QLatin1Char('*')) || pattern.contains(QLatin1Char('?')))
        return {};
    return pattern;
}

QString WithFilterSuffix(const QString& path, const QString& filter)
{
    const QString suffix = FilterSuffix(filter);
    if (suffix.isEmpty() || path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + (path.endsWith(QLatin1Char('.')) ? suffix : QLatin1Char('.') + suffix);
}

QString ProposedFileName(const DocumentWindow* doc, const QString& filter)
{
    if (!doc)
        return {};
    const QString suffix = FilterSuffix(filter);
    QString folder, name;
    if (doc->IsUntitled()) {
        name = doc->Caption();
        folder = LastFileName().isEmpty() ? QDir::homePath() : QFileInfo(LastFileName()).absolutePath();
    } else {
        const QFileInfo label(doc->Caption());
        name = label.completeBaseName();
        folder = label.absolutePath();
    }
    return QDir(folder).filePath(suffix.isEmpty() ? name : name + QLatin1Char('.') + suffix);
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
        // The dialog's own suffix rule, so that its "replace?" question asks about the real file.
        if (request.save)
            dlg.setDefaultSuffix(FilterSuffix(request.filter));
        const QString start = request.proposed.isEmpty() ? lastName() : request.proposed;
        if (!start.isEmpty()) {
            const QFileInfo info(start);
            dlg.setDirectory(info.absolutePath());
            dlg.selectFile(info.fileName());
        }
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
            chosen = dlg.selectedFiles().constFirst();
    }
    if (chosen && chosen->isEmpty())
        chosen.reset();
    if (chosen && request.save)
        chosen = WithFilterSuffix(*chosen, request.filter);
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
