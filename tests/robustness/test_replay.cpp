// Replays the regression corpus (tests/corpus/<target>/) and the writers' seeds
// through the fuzz targets, built with the normal compiler: every property the
// fuzzers check holds for every input that ever broke one.
#include "targets.h"

#include <QDir>
#include <QTest>
#include <stdexcept>

using namespace quillon::fuzz;

class TestReplay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // A corpus folder nobody replays would be a regression test that never runs.
        const QDir corpus(QStringLiteral(QUILLON_SOURCE_DIR "/tests/corpus"));
        for (const QString& name : corpus.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QVERIFY2(FindTarget(name), qPrintable(name));
        SetFailureHandler([](const char* target, const char* what) {
            throw std::runtime_error(std::string(target) + ": " + what);
        });
    }
    void cleanupTestCase() { SetFailureHandler(nullptr); }

    void replay_data()
    {
        QTest::addColumn<QString>("target");
        for (const Target& t : Targets())
            QTest::newRow(t.name) << QString::fromLatin1(t.name);
    }
    void replay()
    {
        QFETCH(QString, target);
        const Target* t = FindTarget(target);
        QVERIFY(t);
        QList<Seed> inputs = Seeds(target);
        QVERIFY2(!inputs.isEmpty(), "no seeds");
        const QDir dir(QStringLiteral(QUILLON_SOURCE_DIR "/tests/corpus/") + target);
        for (const QString& name : dir.entryList(QDir::Files)) {
            QFile f(dir.filePath(name));
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(name));
            inputs.append(Seed{name, f.readAll()});
        }
        QStringList failures;
        for (const Seed& s : inputs) {
            try {
                t->run(reinterpret_cast<const std::uint8_t*>(s.bytes.constData()), std::size_t(s.bytes.size()));
            } catch (const std::exception& e) {
                failures << s.name + QStringLiteral(": ") + QString::fromUtf8(e.what());
            }
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestReplay)
#include "test_replay.moc"
