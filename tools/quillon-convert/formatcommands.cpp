// The four conversions between format files and the scale's data files.
#include "commands.h"
#include "model/datafile.h"
#include "model/f52data.h"
#include "model/receiveddata.h"
#include "model/qlffile.h"
#include "model/f56f61data.h"

#include <QDir>
#include <QFileInfo>
#include <cctype>

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

int exportFormat(Invocation& inv)
{
    Label label(inv.app.tables);
    int status = kOk;
    if (!openLabel(inv.args[0], label, &status))
        return status;
    const Result r = ExportFormatData(label, inv.args[1]);
    return r ? kOk : Fail(inv.args[1], r.error);
}

int exportText(Invocation& inv)
{
    qint32 type = 0;
    if (!dataType(inv, &type))
        return Usage(QStringLiteral("export-text needs --type 10 or --type 11"));
    Label label(inv.app.tables);
    int status = kOk;
    if (!openLabel(inv.args[0], label, &status))
        return status;
    const Result r = ExportTextData(label, inv.args[1], type);
    return r ? kOk : Fail(inv.args[1], r.error);
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
    const QDir out(inv.args[1]);
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

int importText(Invocation& inv)
{
    qint32 type = 0;
    if (!dataType(inv, &type))
        return Usage(QStringLiteral("import-text needs --type 10 or --type 11"));
    Label label(inv.app.tables);
    int status = kOk;
    if (!openLabel(inv.args[0], label, &status))
        return status;
    QString line;
    if (!readHexLine(inv.args[1], &line, &status))
        return status;
    ImportTextDataLine(label, line, type);
    const Result r = SaveToFile(label, inv.args[2]);
    return r ? kOk : Fail(inv.args[2], r.error);
}

const SubcommandRegistration registrations[] = {
    SubcommandRegistration({QStringLiteral("export-format"), QStringLiteral("LABEL.QLF OUT.DAT"), {}, 2, exportFormat}),
    SubcommandRegistration({QStringLiteral("export-text"), QStringLiteral("LABEL.QLF OUT.DAT --type 10|11"),
                            {QStringLiteral("--type")}, 2, exportText}),
    SubcommandRegistration({QStringLiteral("import-format"), QStringLiteral("IN.DAT OUTDIR [--model-index I]"),
                            {QStringLiteral("--model-index")}, 2, importFormat}),
    SubcommandRegistration({QStringLiteral("import-text"), QStringLiteral("LABEL.QLF IN.DAT --type 10|11 OUT.QLF"),
                            {QStringLiteral("--type")}, 3, importText}),
};

} // namespace

} // namespace quillon::convert
