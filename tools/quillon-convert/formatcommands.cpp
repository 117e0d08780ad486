// The four conversions between format files and the scale's data files.
#include "commands.h"
#include "model/datafile.h"
#include "model/f52data.h"
#include "model/receiveddata.h"
#include "model/qlffile.h"
#include "model/f56f61data.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <cstdio>
#include <cctype>
#include <thread>
#include <vector>

namespace quillon::convert {

namespace {

bool openLabel(const QString& path, Label& label, int* status)
{
    const QlfReadResult r = OpenLabel(path, label);
    if (!r.ok()) {
        *status = Fail(path, r.error == QlfError::Format ? QStringLiteral("format error: ") + r.message : r.message);
        return false;
    }
    return true;
}

bool dataType(const Invocation& inv, qint32* type)
{
    const QString v = inv.options.value(QStringLiteral("--type"));
    if (v != QLatin1String("10") && v != QLatin1String("11"))
        return false;
    *type = v.toInt();
    return true;
}

// The first line of a data file, checked to be whole bytes of hexadecimal text.
bool readHexLine(const QString& path, QString* line, int* status)
{
    QByteArray bytes;
    const Result r = ReadFirstLine(path, &bytes);
    if (!r) {
        *status = Fail(path, r.error);
        return false;
    }
    const QByteArray trimmed = bytes.trimmed();
    if (trimmed != "E2") {
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            if (!std::isxdigit(uchar(bytes[i]))) {
                *status = Fail(path, QStringLiteral("malformed data: character %1 is not hexadecimal").arg(i + 1));
                return false;
            }
        }
        if (bytes.size() % 2) {
            *status = Fail(path, QStringLiteral("malformed data: odd number of hexadecimal characters"));
            return false;
        }
    }
    *line = QString::fromLatin1(bytes);
    return true;
}

// One conversion: the input files of one job, the output path; its status. A
// batch leaves flushing to the disk to one sync at its end.
using Job = int (*)(Invocation& inv, const QStringList& in, const QString& out, Sync sync);

int exportFormatJob(Invocation& inv, const QStringList& in, const QString& out, Sync sync)
{
    Label label(inv.app.tables);
    int status = kOk;
    if (!openLabel(in[0], label, &status))
        return status;
    const Result r = ExportFormatData(label, out, sync);
    return r ? kOk : Fail(out, r.error);
}

int exportTextJob(Invocation& inv, const QStringList& in, const QString& out, Sync sync)
{
    qint32 type = 0;
    dataType(inv, &type);
    Label label(inv.app.tables);
    int status = kOk;
    if (!openLabel(in[0], label, &status))
        return status;
    const Result r = ExportTextData(label, out, type, sync);
    return r ? kOk : Fail(out, r.error);
}

int importTextJob(Invocation& inv, const QStringList& in, const QString& out, Sync sync)
{
    qint32 type = 0;
    dataType(inv, &type);
    Label label(inv.app.tables);
    int status = kOk;
    if (!openLabel(in[0], label, &status))
        return status;
    QString line;
    if (!readHexLine(in[1], &line, &status))
        return status;
    ImportTextDataLine(label, line, type);
    const Result r = SaveToFile(label, out, sync);
    return r ? kOk : Fail(out, r.error);
}

// The batch form: one job per group of inputs, each written into --out-dir under
// its first input's name with `suffix`. A failing input fails alone; every input
// gets its own line on stderr.
int runBatch(Invocation& inv, int arity, const QString& suffix, Job job)
{
    const QString dirPath = inv.options.value(QStringLiteral("--out-dir"));
    if (!QFileInfo(dirPath).isDir() && !QDir().mkpath(dirPath))
        return Fail(dirPath, QStringLiteral("cannot create the folder"));
    const QDir dir(dirPath);
    const QString cwd = QDir::currentPath();
    const auto absolute = [&cwd](const QString& path) {
        return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : cwd + u'/' + path);
    };
    struct Item {
        QStringList in;
        QString out;
        QString refusal;   // not run: its output is taken
        QString line;      // its result line
        int status = kOk;
    };
    QList<Item> items;
    QSet<QString> written;
    QSet<QString> inputs;
    for (const QString& a : inv.args)
        inputs.insert(absolute(a));
    for (qsizetype k = 0; k < inv.args.size(); k += arity) {
        Item item;
        item.in = inv.args.mid(k, arity);
        item.out = dir.filePath(QFileInfo(item.in[0]).completeBaseName() + suffix);
        const QString key = absolute(item.out);
        if (inputs.contains(key))
            item.refusal = QStringLiteral("not converted: its output %1 is one of the inputs").arg(item.out);
        else if (written.contains(key))
            item.refusal = QStringLiteral("not converted: another input already wrote %1").arg(item.out);
        written.insert(key);
        items.append(item);
    }
    // The conversions are independent: one worker per core, results printed in input order.
    const auto work = [&](int first, int step) {
        for (qsizetype k = first; k < items.size(); k += step) {
            Item& item = items[k];
            CaptureFailures(&item.line);
            item.status = item.refusal.isEmpty() ? job(inv, item.in, item.out, Sync::Later) : Fail(item.in[0], item.refusal);
            CaptureFailures(nullptr);
            if (item.status == kOk)
                item.line = QDir::toNativeSeparators(item.in[0]) + QStringLiteral(": ok: ") + QDir::toNativeSeparators(item.out);
        }
    };
    const int workers = int(qBound(qsizetype(1), qsizetype(QThread::idealThreadCount()), qMin(items.size(), qsizetype(8))));
    std::vector<std::thread> threads;
    for (int w = 1; w < workers; ++w)
        threads.emplace_back(work, w, workers);
    work(0, workers);
    for (std::thread& t : threads)
        t.join();
    int failed = 0;
    for (const Item& item : items) {
        std::fprintf(stderr, "%s\n", qPrintable(item.line));
        failed += item.status != kOk;
    }
    const Result synced = SyncFolder(dir.absolutePath());
    if (!synced)
        return Fail(dirPath, synced.error);
    return failed ? kBadInput : kOk;
}

bool batchForm(const Invocation& inv) { return inv.options.contains(QStringLiteral("--out-dir")); }

int exportFormat(Invocation& inv)
{
    if (batchForm(inv))
        return runBatch(inv, 1, QStringLiteral(".DAT"), exportFormatJob);
    return exportFormatJob(inv, inv.args, inv.args[1], Sync::Now);
}

int exportText(Invocation& inv)
{
    qint32 type = 0;
    if (!dataType(inv, &type))
        return Usage(QStringLiteral("export-text needs --type 10 or --type 11"));
    if (batchForm(inv))
        return runBatch(inv, 1, QStringLiteral(".DAT"), exportTextJob);
    return exportTextJob(inv, inv.args, inv.args[1], Sync::Now);
}

int importFormat(Invocation& inv)
{
    const Tables& t = inv.app.tables;
    int model = 0;
    if (inv.options.contains(QStringLiteral("--model-index"))) {
        bool ok = false;
        model = inv.options.value(QStringLiteral("--model-index")).toInt(&ok);
        if (!ok || model < 0 || (model > t.g_iScaleModelMax() && model != 0))
            return Usage(QStringLiteral("--model-index must be 0 to %1").arg(qMax(0, t.g_iScaleModelMax())));
    }
    const QString in = inv.args[0];
    QString line;
    int status = kOk;
    if (!readHexLine(in, &line, &status))
        return status;
    QString trailing;
    const QStringList records = SplitFormatRecords(line, &trailing);
    if (!trailing.isEmpty())
        return Fail(in, QStringLiteral("malformed data: record %1 is incomplete or has a bad length field")
                            .arg(records.size() + 1));

    // Every record is converted before anything is written.
    QList<QByteArray> files;
    for (int k = 0; k < records.size(); ++k) {
        Label label(t);
        if (!ImportReceivedRecord(label, records[k], model))
            return Fail(in, QStringLiteral("malformed data: record %1 has a bad length field").arg(k + 1));
        QString why;
        if (!LabelIsStorable(label, &why))
            return Fail(in, why);
        files.append(FormatFileBytes(label));
    }
    return WriteNumberedLabels(inv.args[1], files);
}

int importText(Invocation& inv)
{
    qint32 type = 0;
    if (!dataType(inv, &type))
        return Usage(QStringLiteral("import-text needs --type 10 or --type 11"));
    if (batchForm(inv))
        return runBatch(inv, 2, QStringLiteral(".QLF"), importTextJob);
    return importTextJob(inv, inv.args, inv.args[2], Sync::Now);
}

const SubcommandRegistration registrations[] = {
    SubcommandRegistration({QStringLiteral("export-format"), QStringLiteral("LABEL.QLF OUT.DAT"), {}, 2, exportFormat,
                            QStringLiteral("--out-dir DIR LABEL.QLF..."), 1}),
    SubcommandRegistration({QStringLiteral("export-text"), QStringLiteral("LABEL.QLF OUT.DAT --type 10|11"),
                            {QStringLiteral("--type")}, 2, exportText,
                            QStringLiteral("--out-dir DIR LABEL.QLF... --type 10|11"), 1}),
    SubcommandRegistration({QStringLiteral("import-format"), QStringLiteral("IN.DAT OUTDIR [--model-index I]"),
                            {QStringLiteral("--model-index")}, 2, importFormat}),
    SubcommandRegistration({QStringLiteral("import-text"), QStringLiteral("LABEL.QLF IN.DAT --type 10|11 OUT.QLF"),
                            {QStringLiteral("--type")}, 3, importText,
                            QStringLiteral("--out-dir DIR LABEL.QLF IN.DAT [LABEL.QLF IN.DAT]... --type 10|11"), 2}),
};

} // namespace

int WriteNumberedLabels(const QString& outDir, const QList<QByteArray>& files)
{
    const QDir out(outDir);
    if (!out.exists() && !QDir().mkpath(out.path()))
        return Fail(out.path(), QStringLiteral("cannot create the folder"));
    for (int k = 0; k < files.size(); ++k) {
        const QString path = out.filePath(QStringLiteral("%1.QLF").arg(k + 1));
        const Result r = WriteFileAtomic(path, files[k]);
        if (!r)
            return Fail(path, r.error);
    }
    return kOk;
}

} // namespace quillon::convert
