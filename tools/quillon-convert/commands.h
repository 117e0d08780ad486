#pragma once
// The subcommands of quillon-convert. Each lives in its own function; a file
// adds its own with a static SubcommandRegistration.
#include "context/appcontext.h"

#include <QHash>
#include <QStringList>

namespace quillon::convert {

// Exit statuses.
constexpr int kOk = 0;
constexpr int kBadInput = 1;
constexpr int kUsage = 2;

// One line on stderr naming the file and what is wrong; returns kBadInput.
int Fail(const QString& file, const QString& what);
// While set (per thread), Fail puts its line here instead of printing it.
void CaptureFailures(QString* line);
// The reason and the synopsis on stderr; returns kUsage.
int Usage(const QString& why = QString());
// Writes the label files as OUTDIR/1.QLF, 2.QLF, ..., making the folder when missing.
int WriteNumberedLabels(const QString& outDir, const QList<QByteArray>& files);

struct Invocation {
    AppContext& app;
    QStringList args;                 // positional arguments after the subcommand
    QHash<QString, QString> options;  // "--type" -> "10"
};

struct Subcommand {
    QString name;
    QString synopsis;                 // arguments after the name
    QStringList options;              // options it takes ("--type", ...)
    int positional = 0;               // number of positional arguments
    int (*run)(Invocation&);
    // The batch form with --out-dir: the synopsis after the name, and how many
    // positional arguments make one input (0: no batch form).
    QString batchSynopsis = {};
    int batchArity = 0;
};

QList<Subcommand>& Subcommands();

struct SubcommandRegistration {
    explicit SubcommandRegistration(const Subcommand& s) { Subcommands().append(s); }
};

} // namespace quillon::convert
