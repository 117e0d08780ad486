// Kills a process that keeps saving, at random moments, and checks that every
// file on disk is always one whole version: never partial, never missing.
#include "robustlabels.h"

#include "model/f52data.h"
#include "model/qlffile.h"
#include "model/f56f61data.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <sys/types.h>

using namespace quillon;

class TestCrashSave : public QObject {
    Q_OBJECT
private slots:
    void killDuringSave();
};

void TestCrashSave::killDuringSave()
{
    const QString helper = QStringLiteral(QUILLON_BINARY_DIR "/tests/robust-saver");
    QVERIFY2(QFile::exists(helper), qPrintable(helper));
    const Tables t = robust::makeTables();
    const Label labels[2] = {robust::makeLabel(t, 0), robust::makeLabel(t, 1)};
    struct Expected {
        const char* file;
        QByteArray versions[2];
    };
    Expected expected[] = {
        {"label.QLF", {FormatFileBytes(labels[0]), FormatFileBytes(labels[1])}},
        {"F52.DAT", {FormatRecord(labels[0]).toLatin1() + "\r\n", FormatRecord(labels[1]).toLatin1() + "\r\n"}},
        {"F56.DAT", {TextDataRecord(labels[0], FT_TEXT).toLatin1() + "\r\n", TextDataRecord(labels[1], FT_TEXT).toLatin1() + "\r\n"}},
    };
    for (const Expected& e : expected)
        QVERIFY(e.versions[0] != e.versions[1]);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    constexpr int kKills = 50;
    int seen[2] = {0, 0};
    QElapsedTimer clock;
    clock.start();
    for (int k = 0; k < kKills; ++k) {
        QProcess p;
        p.start(helper, {dir.path()});
        QVERIFY(p.waitForStarted(10000));
        // Killed only once it is in its loop, so that most kills land in a save.
        QVERIFY(p.waitForReadyRead(20000));
        QCOMPARE(p.readLine().trimmed(), QByteArray("ready"));
        QThread::usleep(QRandomGenerator::global()->bounded(30000));
        ::kill(pid_t(p.processId()), SIGKILL);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        for (const Expected& e : expected) {
            QFile f(dir.filePath(QLatin1String(e.file)));
            QVERIFY2(f.open(QIODevice::ReadOnly), e.file);
            const QByteArray bytes = f.readAll();
            const int which = bytes == e.versions[0] ? 0 : bytes == e.versions[1] ? 1 : -1;
            QVERIFY2(which >= 0, qPrintable(QStringLiteral("kill %1: %2 holds %3 bytes of neither version")
                                                 .arg(k).arg(QLatin1String(e.file)).arg(bytes.size())));
            ++seen[which];
        }
    }
    // Leftovers of interrupted saves are temporary files beside the target, never the target.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files);
    qInfo("%d kills in %lld ms; versions seen %d/%d; %lld files in the folder", kKills, clock.elapsed(), seen[0],
          seen[1], qlonglong(left.size()));
    QVERIFY(seen[0] > 0 && seen[1] > 0);
}

QTEST_GUILESS_MAIN(TestCrashSave)
#include "test_crashsave.moc"
