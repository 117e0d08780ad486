// send, receive: the program's transfers without its windows, for scripts and cron. They run
// the driver as the program does (same settings, same run), in a folder of their own, so a
// program open on the same workstation is not disturbed.
#include "commands.h"
#include "context/texts.h"
#include "model/datafile.h"
#include "model/f52data.h"
#include "model/f56f61data.h"
#include "model/qlffile.h"
#include "model/receiveddata.h"
#include "scale/driverrun.h"
#include "scale/scaledata.h"
#include "scale/transferjournal.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace quillon::convert {

namespace {

constexpr int kSomeFailed = 3;
// The driver's own default; given explicitly because the exchange folder has no INI beside it.
constexpr int kDefaultScalePort = 3001;

QString codeText(int code)
{
    return GetLangString(QStringLiteral("Global"), QStringLiteral("msgTCPDriver%1").arg(code));
}

// One line per scale ("address code outcome"), or with --json one object per scale and type.
void printOutcomes(const Invocation& inv, const QList<ScaleOutcome>& outcomes)
{
    const bool json = inv.options.contains(QStringLiteral("--json"));
    for (const ScaleOutcome& o : outcomes) {
        if (!json) {
            const int overall = OverallOutcome(o);
            std::printf("%s %d %s\n", qPrintable(o.address), overall, qPrintable(OutcomePhrase(overall)));
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            const int code = o.codes[k] == kNotRun ? kNotAttemptedCode : o.codes[k];
            const QJsonObject line{{QStringLiteral("address"), o.address},
                                   {QStringLiteral("type"), kTransferTypes[k]},
                                   {QStringLiteral("code"), code},
                                   {QStringLiteral("text"), codeText(code)}};
            std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
        }
    }
    std::fflush(stdout);
}

int g_stopPipe[2] = {-1, -1};

void onStop(int)
{
    const char c = 0;
    [[maybe_unused]] ssize_t n = ::write(g_stopPipe[1], &c, 1);
}

// SIGTERM or Ctrl+C (a cron job's time limit, say) cancels the run like the program's Cancel
// button: the finished scales are reported as they are, the rest as cancelled.
void cancelOnSignals(DriverRun& run)
{
    if (g_stopPipe[0] < 0 && ::pipe2(g_stopPipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_stopPipe[0], QSocketNotifier::Read, &run);
    QObject::connect(notifier, &QSocketNotifier::activated, &run, [&run] {
        char buf[16];
        while (::read(g_stopPipe[0], buf, sizeof buf) > 0) {
        }
        run.cancel();
    });
    struct sigaction sa {};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

struct Exchange {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/quillon-transfer-XXXXXX")};
    TransferSettings settings;
};

bool prepare(Invocation& inv, Exchange* ex)
{
    if (!ex->dir.isValid()) {
        Fail(ex->dir.path(), QStringLiteral("cannot create the exchange folder: ") + ex->dir.errorString());
        return false;
    }
    ex->settings = ReadTransferSettings(inv.app.paths.g_strIniFile);
    if (ex->settings.port == 0)
        ex->settings.port = kDefaultScalePort;
    return true;
}

// The run's end as the exit status; a run that could not start has said why.
int runStatus(const DriverRun& run, const QList<ScaleOutcome>& outcomes)
{
    switch (run.failure()) {
    case DriverRun::Failure::ResultNotDeleted:
        return Fail(run.resultFile(), QStringLiteral("the result file of an earlier run cannot be deleted"));
    case DriverRun::Failure::DriverNotStarted:
        return Fail(QStringLiteral("vexowtcp"), QStringLiteral("the transfer driver cannot be started"));
    case DriverRun::Failure::DriverStalled:
        std::fprintf(stderr, "quillon-convert: the transfer driver stopped reporting and was ended\n");
        break;
    case DriverRun::Failure::None:
        break;
    }
    for (const ScaleOutcome& o : outcomes)
        if (OverallOutcome(o) != 0)
            return kSomeFailed;
    return run.failure() == DriverRun::Failure::None ? kOk : kSomeFailed;
}

// The picked addresses; an address that is no dotted address is the caller's mistake.
bool targets(Invocation& inv, QStringList* out, int* status)
{
    const QStringList given = inv.options.value(QStringLiteral("--to")).split(u'\n', Qt::SkipEmptyParts);
    const int ways = int(inv.options.contains(QStringLiteral("--to"))) + int(inv.options.contains(QStringLiteral("--all")))
                     + int(inv.options.contains(QStringLiteral("--store")));
    if (ways != 1) {
        *status = Usage(QStringLiteral("send takes exactly one of --to, --store and --all"));
        return false;
    }
    if (inv.options.contains(QStringLiteral("--to"))) {
        for (const QString& a : given)
            if (!IsDottedIPv4(a)) {
                *status = Fail(a, QStringLiteral("not a scale address (four numbers 0 to 255 joined by dots)"));
                return false;
            }
        *out = given;
    } else if (inv.options.contains(QStringLiteral("--store"))) {
        bool ok = false;
        const QString store = inv.options.value(QStringLiteral("--store"));
        *out = ScalesOfStore(inv.app.db(), store, &ok);
        if (!ok) {
            *status = Fail(store, QStringLiteral("the scale list could not be read"));
            return false;
        }
    } else {
        bool ok = false;
        for (const ScaleRow& r : ListScales(inv.app.db(), &ok))
            *out << r.SC_IP;
        if (!ok) {
            *status = Fail(QStringLiteral("--all"), QStringLiteral("the scale list could not be read"));
            return false;
        }
    }
    out->removeDuplicates();
    if (out->isEmpty()) {
        *status = Fail(QStringLiteral("send"), QStringLiteral("no scale to send to"));
        return false;
    }
    return true;
}

int send(Invocation& inv)
{
    const QString labelPath = inv.args[0];
    int status = kOk;
    QStringList addresses;
    if (!targets(inv, &addresses, &status))
        return status;
    Label label(inv.app.tables);
    const QlfReadResult read = OpenLabel(labelPath, label);
    if (!read.ok())
        return Fail(labelPath, read.error == QlfError::Format ? QStringLiteral("format error: ") + read.message
                                                              : read.message);
    Exchange ex;
    if (!prepare(inv, &ex))
        return kBadInput;
    const QStringList exports = SendExportFiles(ex.dir.path());
    for (const Result& r : {ExportFormatData(label, exports[0], Sync::Later),
                            ExportTextData(label, exports[1], FT_TEXT, Sync::Later),
                            ExportTextData(label, exports[2], FT_SHOPNAME, Sync::Later)})
        if (!r)
            return Fail(labelPath, r.error);

    // A listed scale with a damaged address is reported, as the program does.
    QStringList valid;
    QList<ScaleOutcome> outcomes = PickedOutcomes(addresses, &valid);
    PlaceSendFiles(ex.dir.path(), valid, exports);
    DriverRun run(inv.app.paths.g_strAppPath + QStringLiteral("vexowtcp"), ex.dir.path(), ex.settings);
    cancelOnSignals(run);
    run.exec(DriverRun::Direction::Send, outcomes);
    outcomes = run.outcomes();
    if (run.failure() == DriverRun::Failure::None || run.failure() == DriverRun::Failure::DriverStalled) {
        printOutcomes(inv, outcomes);
        RecordTransfer(inv.app.db(), NewJournalRun(TransferDirection::Send, QFileInfo(labelPath).fileName(), exports),
                       outcomes);
    }
    return runStatus(run, outcomes);
}

// The label of each received format record as OUTDIR/<n>.QLF, with the texts that arrived.
int saveReceived(Invocation& inv, const QString& address, const QStringList& files, const QString& outDir, int* saved)
{
    QByteArray line;
    const Result r = ReadFirstLine(files[0], &line);
    if (!r)
        return Fail(files[0], r.error);
    const ReceivedFormatData data = SplitReceivedFormatData(QString::fromLatin1(line));
    QByteArray texts[2];
    for (int k = 1; k < 3; ++k)
        if (!files[k].isEmpty() && !ReadFirstLine(files[k], &texts[k - 1]))
            texts[k - 1].clear();
    const int model = GetScaleModelIndexByIP(inv.app, address);
    QList<QByteArray> labels;
    for (const QString& record : data.records) {
        Label label(inv.app.tables);
        if (!ImportReceivedRecord(label, record, model))
            return Fail(address, QStringLiteral("malformed data from the scale: a record has a bad length field"));
        if (!files[1].isEmpty())
            ImportTextDataLine(label, QString::fromLatin1(texts[0]), FT_TEXT);
        if (!files[2].isEmpty())
            ImportTextDataLine(label, QString::fromLatin1(texts[1]), FT_SHOPNAME);
        QString why;
        if (!LabelIsStorable(label, &why))
            return Fail(address, why);
        labels << FormatFileBytes(label);
    }
    *saved = int(labels.size());
    return WriteNumberedLabels(outDir, labels);
}

int receive(Invocation& inv)
{
    const QString address = inv.args[0];
    if (!IsDottedIPv4(address))
        return Fail(address, QStringLiteral("not a scale address (four numbers 0 to 255 joined by dots)"));
    Exchange ex;
    if (!prepare(inv, &ex))
        return kBadInput;
    DriverRun run(inv.app.paths.g_strAppPath + QStringLiteral("vexowtcp"), ex.dir.path(), ex.settings);
    cancelOnSignals(run);
    run.exec(DriverRun::Direction::Receive, {ScaleOutcome{address}});
    const QList<ScaleOutcome> outcomes = run.outcomes();
    if (run.failure() == DriverRun::Failure::ResultNotDeleted || run.failure() == DriverRun::Failure::DriverNotStarted)
        return runStatus(run, outcomes);
    printOutcomes(inv, outcomes);
    const ScaleOutcome& o = outcomes[0];
    QStringList files;
    for (int k = 0; k < 3; ++k)
        files << (o.codes[k] == 0 ? ScaleFilePath(ex.dir.path(), address, kTransferTypes[k]) : QString());
    RecordTransfer(inv.app.db(), NewJournalRun(TransferDirection::Receive, QString(), files), outcomes);
    if (o.codes[0] != 0)
        return kSomeFailed;
    int saved = 0;
    const int status = saveReceived(inv, address, files, inv.args[1], &saved);
    if (status != kOk)
        return status;
    if (saved == 0) {
        std::fprintf(stderr, "%s: the scale holds no label\n", qPrintable(address));
        return kSomeFailed;
    }
    if (o.codes[1] != 0 || o.codes[2] != 0) {
        // Saved, but a label sent back from these files would replace the texts on the scale.
        for (int k = 1; k < 3; ++k)
            if (o.codes[k] != 0)
                std::fprintf(stderr, "%s: saved without its %s: %s\n", qPrintable(address),
                             k == 1 ? "text data" : "shop-name data", qPrintable(OutcomePhrase(o.codes[k])));
        return kSomeFailed;
    }
    return kOk;
}

const SubcommandRegistration registrations[] = {
    SubcommandRegistration({QStringLiteral("send"), QStringLiteral("LABEL.QLF (--to ADDR... | --store NAME | --all) [--json]"),
                            {QStringLiteral("--to"), QStringLiteral("--store"), QStringLiteral("--all"),
                             QStringLiteral("--json")},
                            1, send}),
    SubcommandRegistration({QStringLiteral("receive"), QStringLiteral("ADDR OUTDIR [--json]"),
                            {QStringLiteral("--json")}, 2, receive}),
};

} // namespace

} // namespace quillon::convert
