// Replays the regression corpus (tests/corpus/<target>/) and the writers' seeds
// through the fuzz targets, built with the normal compiler: every property the
// fuzzers check holds for every input that ever broke one.
#include "targets.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>
#include <stdexcept>

using namespace quillon::fuzz;

namespace {

void throwOnFailure(const char* target, const char* what)
{
    throw std::runtime_error(std::string(target) + ": " + what);
}

QString runOne(const Target& t, const QByteArray& bytes)
{
    try {
        t.run(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace

class TestReplay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetFailureHandler(throwOnFailure); }
    void cleanupTestCase() { SetFailureHandler(nullptr); }
    void replay_data();
    void replay();
    void everyCorpusFolderHasATarget();
};

void TestReplay::replay_data()
{
    QTest::addColumn<QString>("target");
    for (const Target& t : Targets())
        QTest::newRow(t.name) << QString::fromLatin1(t.name);
}

void TestReplay::replay()
{
    QFETCH(QString, target);
    const Target* t = FindTarget(target);
    QVERIFY(t);
    QStringList failures;
    const QList<Seed> seeds = Seeds(target);
    QVERIFY2(!seeds.isEmpty(), "no seeds");
    for (const Seed& s : seeds) {
        const QString why = runOne(*t, s.bytes);
        if (!why.isEmpty())
            failures << QStringLiteral("seed %1: %2").arg(s.name, why);
    }
    const QString dir = QStringLiteral(QUILLON_SOURCE_DIR "/tests/corpus/") + target;
    QDirIterator it(dir, QDir::Files);
    int files = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
        const QString why = runOne(*t, f.readAll());
        ++files;
        if (!why.isEmpty())
            failures << QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), why);
    }
    qInfo("%s: %lld seeds, %d corpus files", qPrintable(target), qlonglong(seeds.size()), files);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
}

void TestReplay::everyCorpusFolderHasATarget()
{
    // A folder nobody replays would be a regression test that never runs.
    const QDir corpus(QStringLiteral(QUILLON_SOURCE_DIR "/tests/corpus"));
    for (const QString& name : corpus.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QVERIFY2(FindTarget(name), qPrintable(name));
}

QTEST_GUILESS_MAIN(TestReplay)
#include "test_replay.moc"
