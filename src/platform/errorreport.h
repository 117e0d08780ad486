#pragma once
// The common error path: a log line, then the installed reporter (a message box
// in the program, stderr in tools and tests).
#include <QList>
#include <QString>

namespace quillon {

class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void report(const QString& source, const QString& description) = 0;
};

// Writes "source:    description" to stderr; the default.
class StderrReporter : public ErrorReporter {
public:
    void report(const QString& source, const QString& description) override;
};

// Keeps every report; for tests and for callers that show errors their own way.
class RecordingReporter : public ErrorReporter {
public:
    struct Entry {
        QString source;
        QString description;
    };
    void report(const QString& source, const QString& description) override;
    QList<Entry> entries;
    bool hasSource(const QString& sourcePrefix) const;
    void clear() { entries.clear(); }
};

// Installs `reporter` (not owned; nullptr restores the stderr reporter) and returns the previous one.
ErrorReporter* SetErrorReporter(ErrorReporter* reporter);
ErrorReporter& CurrentErrorReporter();

// Installs a reporter for the lifetime of this object.
class ScopedErrorReporter {
public:
    explicit ScopedErrorReporter(ErrorReporter* reporter) : m_previous(SetErrorReporter(reporter)) {}
    ~ScopedErrorReporter() { SetErrorReporter(m_previous); }
    ScopedErrorReporter(const ScopedErrorReporter&) = delete;
    ScopedErrorReporter& operator=(const ScopedErrorReporter&) = delete;

private:
    ErrorReporter* m_previous;
};

// Logs "source:    description" and hands the error to the installed reporter.
void ReportError(const QString& source, const QString& description);

} // namespace quillon
