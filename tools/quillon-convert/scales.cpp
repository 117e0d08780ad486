// export-scales, import-scales, import-db: the scale list as CSV, and the tables
// of a legacy Access database read through mdbtools.
#include "commands.h"
#include "platform/database.h"
#include "scale/scalelistimport.h"

#include <QFile>
#include <QSaveFile>
#include <cstdio>

namespace quillon::convert {

namespace {

// A scale list is a few hundred lines; anything far larger is not one.
constexpr qint64 kMaxCsvSize = 16 * 1024 * 1024;

void printNotes(const QString& file, const scalelist::Report& r)
{
    for (const QString& n : r.notes)
        std::fprintf(stderr, "%s: %s\n", qPrintable(file), qPrintable(n));
}

int exportScales(Invocation& inv)
{
    const QString out = inv.args[0];
    QByteArray csv;
    const scalelist::Report r = scalelist::ExportScales(inv.app.db(), &csv);
    if (!r.ok)
        return Fail(out, r.error);
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly))
        return Fail(out, file.errorString());
    if (file.write(csv) != csv.size() || !file.commit())
        return Fail(out, file.errorString());
    std::fprintf(stdout, "%d scale(s) written to %s\n", r.added, qPrintable(out));
    return kOk;
}

int importScales(Invocation& inv)
{
    const QString in = inv.args[0];
    QFile file(in);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(in, file.errorString());
    if (file.size() > kMaxCsvSize)
        return Fail(in, QStringLiteral("the file is too large to be a scale list"));
    const scalelist::Report r = scalelist::ImportScales(inv.app.db(), file.readAll());
    printNotes(in, r);
    if (!r.ok)
        return Fail(in, r.error + QStringLiteral("; the scale list is unchanged"));
    std::fprintf(stdout, "%d scale(s) added, %d skipped\n", r.added, r.skipped);
    return kOk;
}

int importDb(Invocation& inv)
{
    const QString in = inv.args[0];
    const scalelist::LegacyReport r = scalelist::ImportLegacyDatabase(inv.app.db(), in);
    if (!r.error.isEmpty())
        return Fail(in, r.error + QStringLiteral("; nothing was imported"));
    if (r.main) {
        printNotes(in, *r.main);
        if (r.main->ok)
            std::fprintf(stdout, "scale models and scales: %d added, %d skipped\n", r.main->added, r.main->skipped);
        else
            Fail(in, r.main->error + QStringLiteral("; the scale models and scales are unchanged"));
    }
    if (r.language) {
        printNotes(in, *r.language);
        if (r.language->ok)
            std::fprintf(stdout, "texts: %d added, %d replaced, %d skipped\n", r.language->added,
                         r.language->replaced, r.language->skipped);
        else
            Fail(in, r.language->error + QStringLiteral("; the texts are unchanged"));
    }
    return r.ok() ? kOk : kBadInput;
}

const SubcommandRegistration exportRegistration({QStringLiteral("export-scales"), QStringLiteral("FILE.csv"), {}, 1,
                                                 exportScales});
const SubcommandRegistration importRegistration({QStringLiteral("import-scales"), QStringLiteral("FILE.csv"), {}, 1,
                                                 importScales});
const SubcommandRegistration importDbRegistration({QStringLiteral("import-db"), QStringLiteral("FILE.mdb"), {}, 1,
                                                   importDb});

} // namespace

} // namespace quillon::convert
