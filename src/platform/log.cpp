#include "platform/log.h"

#include <QFile>
#include <QStringEncoder>

namespace quillon {

namespace {
QString g_logFolder;
}

void SetLogFolder(const QString& folder)
{
    g_logFolder = folder;
}

QString LogFolder()
{
    return g_logFolder;
}

QString LogFilePath(const QDateTime& when)
{
    if (g_logFolder.isEmpty())
        return {};
    QString folder = g_logFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("QLN2005_") + when.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".log");
}

void WriteLog(const QString& message)
{
    try {
        // One clock reading for both name and line, so a line written at midnight
        // never lands in the file of the other day.
        const QDateTime now = QDateTime::currentDateTime();
        const QString path = LogFilePath(now);
        if (path.isEmpty())
            return;

        // A message with line breaks would look like several events.
        QString text = message;
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        const QString line = QLatin1Char('[') + now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                             + QStringLiteral("]  ") + text + QStringLiteral("\r\n");

        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return;
        QByteArray bytes;
        if (file.size() == 0)
            bytes.append("\xFF\xFE", 2);
        QStringEncoder toUtf16(QStringEncoder::Utf16LE);
        bytes.append(QByteArray(toUtf16(line)));
        file.write(bytes);
        file.close();
    } catch (...) {
        // The log must never take the program down.
    }
}

} // namespace quillon
