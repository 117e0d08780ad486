#include "platform/errorreport.h"
#include "platform/log.h"

#include <cstdio>

namespace quillon {

namespace {
StderrReporter g_stderrReporter;
ErrorReporter* g_reporter = nullptr;
} // namespace

void StderrReporter::report(const QString& source, const QString& description)
{
    const QByteArray line = (source + QStringLiteral(":    ") + description + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

void RecordingReporter::report(const QString& source, const QString& description)
{
    entries.append({source, description});
}

bool RecordingReporter::hasSource(const QString& sourcePrefix) const
{
    for (const Entry& e : entries)
        if (e.source.startsWith(sourcePrefix))
            return true;
    return false;
}

ErrorReporter* SetErrorReporter(ErrorReporter* reporter)
{
    ErrorReporter* previous = g_reporter;
    g_reporter = reporter;
    return previous;
}

ErrorReporter& CurrentErrorReporter()
{
    return g_reporter ? *g_reporter : g_stderrReporter;
}

void ReportError(const QString& source, const QString& description)
{
    WriteLog(source + QStringLiteral(":    ") + description);
    CurrentErrorReporter().report(source, description);
}

} // namespace quillon
