// Kills a process that keeps saving, at random moments, and checks that every
// file on disk is always one whole version: never partial, never missing.
#include "common/simprocess.h"
#include "common/testtables.h"
#include "model/f52data.h"
#include "model/f56f61data.h"
#include "model/qlffile.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <csignal>

using namespace quillon;

class TestCrashSave : public QObject {
    Q_OBJECT
private slots:
    void killDuringSave()
    {
        const Tables t = test::manyFields(240);
        const Label a = test::makeLabel(t, 0), b = test::makeLabel(t, 1);
        const QByteArray versions[][2] = {
            {FormatFileBytes(a), FormatFileBytes(b)},
            {FormatRecord(a).toLatin1() + "\r\n", FormatRecord(b).toLatin1() + "\r\n"},
            {TextDataRecord(a, FT_TEXT).toLatin1() + "\r\n", TextDataRecord(b, FT_TEXT).toLatin1() + "\r\n"}};
        const char* files[] = {"label.QLF", "F52.DAT", "F56.DAT"};
        QTemporaryDir dir;
        int seen[2] = {0, 0};
        for (int k = 0; k < 50; ++k) {
            QProcess p;
            p.start(QStringLiteral(QUILLON_BINARY_DIR "/tests/robust-saver"), {dir.path()});
            // Killed only once it is in its loop, within two rounds of its own pace (slow under
            // the sanitizers or a busy disk), so that kills land in every phase of a save.
            QVERIFY(p.waitForReadyRead(20000));
            QCOMPARE(p.readLine().trimmed(), QByteArray("ready"));
            QElapsedTimer round;
            round.start();
            QVERIFY(p.canReadLine() || p.waitForReadyRead(20000));
            const qint64 pace = qMax<qint64>(1000, round.nsecsElapsed() / 1000);
            QThread::usleep(QRandomGenerator::global()->bounded(quint64(2 * pace)));
            ::kill(pid_t(p.processId()), SIGKILL);
            QVERIFY(p.waitForFinished(10000));
            for (int f = 0; f < 3; ++f) {
                const QByteArray bytes = transfertest::readAll(dir.filePath(QLatin1String(files[f])));
                const int which = bytes == versions[f][0] ? 0 : bytes == versions[f][1] ? 1 : -1;
                QVERIFY2(which >= 0, qPrintable(QStringLiteral("kill %1: %2 holds %3 bytes of neither version")
                                                     .arg(k).arg(QLatin1String(files[f])).arg(bytes.size())));
                ++seen[which];
            }
        }
        QVERIFY(seen[0] > 0 && seen[1] > 0);
    }
};

QTEST_GUILESS_MAIN(TestCrashSave)
#include "test_crashsave.moc"
