// The installed program: cmake --install into a temporary prefix, the tree made
// read-only, the installed program started offscreen with a home of its own.
// Also where the root folder goes for writable and read-only trees.
#include "context/appcontext.h"
#include "platform/errorreport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

void writeAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(bytes);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Adds or drops the write bits of a whole tree.
void setTreeWritable(const QString& top, bool writable)
{
    const QFileDevice::Permissions w = QFileDevice::WriteOwner | QFileDevice::WriteUser;
    QDirIterator it(top, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    QStringList paths{top};
    while (it.hasNext())
        paths << it.next();
    for (const QString& p : paths) {
        const QFileDevice::Permissions perms = QFile::permissions(p);
        QFile::setPermissions(p, writable ? perms | w
                                          : perms & ~(w | QFileDevice::WriteGroup | QFileDevice::WriteOther));
    }
}

const QFileDevice::Permissions kReadOnlyDir = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                              | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
const QFileDevice::Permissions kWritableDir = kReadOnlyDir | QFileDevice::WriteOwner;

} // namespace

class TestInstall : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void resolvePaths_data();
    void resolvePaths();
    void perUserRootFromTemplates();

    void installedLayout_data();
    void installedLayout();
    void desktopEntry();
    void readOnlyInstallRunsFromUserRoot();

private:
    // Runs an installed program with a home of its own; exit code, -1 on a crash or hang.
    int runInstalled(const QString& program, const QStringList& args, QByteArray* output);

    QTemporaryDir m_tmp;
    QString m_prefix;
    QString m_home;
};

void TestInstall::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_home = m_tmp.filePath("home");
    QDir().mkpath(m_home + "/runtime");
    QFile::setPermissions(m_home + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_DATA_HOME", (m_home + "/data").toUtf8());

    m_prefix = m_tmp.filePath("prefix");
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(QUILLON_CMAKE_COMMAND),
            {QStringLiteral("--install"), QStringLiteral(QUILLON_BINARY_DIR), QStringLiteral("--prefix"), m_prefix});
    QVERIFY(p.waitForFinished(120000));
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, p.readAll().constData());
}

void TestInstall::cleanupTestCase()
{
    // So that the temporary folder can go, also for a user who is not root.
    if (!m_prefix.isEmpty() && QFileInfo::exists(m_prefix))
        setTreeWritable(m_prefix, true);
}

void TestInstall::resolvePaths_data()
{
    QTest::addColumn<bool>("programWritable");
    QTest::addColumn<bool>("rootWritable");
    QTest::addColumn<bool>("perUser");
    QTest::newRow("writable tree") << true << true << false;
    QTest::newRow("program folder read-only") << false << true << true;
    QTest::newRow("root folder read-only") << true << false << true;
    QTest::newRow("both read-only") << false << false << true;
}

void TestInstall::resolvePaths()
{
    QFETCH(bool, programWritable);
    QFETCH(bool, rootWritable);
    QFETCH(bool, perUser);
    QTemporaryDir dir;
    const QString root = dir.filePath("root");
    const QString bin = root + "/bin";
    QDir().mkpath(bin);
    QFile::setPermissions(bin, programWritable ? kWritableDir : kReadOnlyDir);
    QFile::setPermissions(root, rootWritable ? kWritableDir : kReadOnlyDir);

    const RuntimePaths p = ResolveRuntimePaths(bin);
    QFile::setPermissions(root, kWritableDir);
    QFile::setPermissions(bin, kWritableDir);

    QCOMPARE(p.bPerUserRoot, perUser);
    // The program's own files are always read where they were installed.
    QCOMPARE(p.g_strAppPath, bin + "/");
    const QString user = m_home + "/data/Quillon/Quillon/";
    QCOMPARE(p.g_strRootPath, perUser ? user : root + "/");
    QCOMPARE(p.g_strIniFile, p.g_strRootPath + "Vexo2005.INI");
    QCOMPARE(p.g_strWorkPath, perUser ? user + "bin/" : bin + "/");
}

void TestInstall::perUserRootFromTemplates()
{
    QTemporaryDir dir;
    const QString installed = dir.filePath("opt/");
    writeAll(installed + "Vexo2005.INI", "[Setting]\r\nLanguage=Chinese\r\n");
    writeAll(installed + "Database/language.sqlite", "shipped texts");
    setTreeWritable(installed, false);

    RuntimePaths p;
    p.g_strRootPath = dir.filePath("user/");
    p.g_strIniFile = p.g_strRootPath + "Vexo2005.INI";
    p.g_strWorkPath = p.g_strRootPath + "bin/";
    p.bPerUserRoot = true;
    RecordingReporter reporter;
    ScopedErrorReporter scoped(&reporter);
    QVERIFY(PreparePerUserRoot(p, installed));
    QVERIFY(QFileInfo(p.g_strWorkPath).isDir());
    QCOMPARE(readAll(p.g_strIniFile), QByteArray("[Setting]\r\nLanguage=Chinese\r\n"));
    QCOMPARE(readAll(p.g_strRootPath + "Database/language.sqlite"), QByteArray("shipped texts"));
    QVERIFY(!QFileInfo::exists(p.g_strRootPath + "Database/VEXO2005.sqlite")); // made from the seeds later
    // The copies can be written: the language menu writes the INI file.
    QVERIFY(QFile::permissions(p.g_strIniFile) & QFileDevice::WriteOwner);
    QVERIFY(QFile::permissions(p.g_strRootPath + "Database/language.sqlite") & QFileDevice::WriteOwner);

    // The user's own settings are never replaced by the template.
    writeAll(p.g_strIniFile, "[Setting]\r\nLanguage=Other\r\n");
    QVERIFY(PreparePerUserRoot(p, installed));
    QCOMPARE(readAll(p.g_strIniFile), QByteArray("[Setting]\r\nLanguage=Other\r\n"));
    QVERIFY(reporter.entries.isEmpty());
    setTreeWritable(installed, true);

    // A root folder that cannot be made is reported and stops the start.
    writeAll(dir.filePath("blocked"), "a file");
    p.g_strRootPath = dir.filePath("blocked/user/");
    p.g_strWorkPath = p.g_strRootPath + "bin/";
    p.g_strIniFile = p.g_strRootPath + "Vexo2005.INI";
    QVERIFY(!PreparePerUserRoot(p, installed));
    QVERIFY(reporter.hasSource(QStringLiteral("MakeDir")));
}

void TestInstall::installedLayout_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    const QString program = QStringLiteral(QUILLON_PROGRAM_DIR_BUILD) + "/";
    for (const char* exe : {"quillon", "quillon-convert", "vexowtcp", "scale-sim"})
        if (QFile::exists(program + exe))
            QTest::newRow(exe) << QStringLiteral("opt/quillon/bin/") + exe << true;
    const QDir data(QStringLiteral(QUILLON_SOURCE_DIR) + "/data/program");
    QDirIterator it(data.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = data.relativeFilePath(it.next());
        QTest::newRow(qPrintable(rel)) << "opt/quillon/bin/" + rel << false;
    }
    QTest::newRow("INI template") << "opt/quillon/Vexo2005.INI" << false;
    QTest::newRow("menu entry") << "usr/share/applications/quillon.desktop" << false;
    QTest::newRow("icon 64") << "usr/share/icons/hicolor/64x64/apps/quillon.png" << false;
    QTest::newRow("icon 256") << "usr/share/icons/hicolor/256x256/apps/quillon.png" << false;
}

void TestInstall::installedLayout()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    const QFileInfo f(m_prefix + "/" + path);
    QVERIFY2(f.isFile(), qPrintable(f.filePath()));
    QCOMPARE(f.isExecutable(), executable);
    if (path.endsWith(".png")) {
        const QByteArray png = readAll(f.filePath());
        QVERIFY(png.startsWith("\x89PNG"));
        // Width in the header: the folder names the size.
        const int size = path.contains("256x256") ? 256 : 64;
        QCOMPARE(int(quint8(png[18])) * 256 + quint8(png[19]), size);
    }
}

void TestInstall::desktopEntry()
{
    // Read as the desktop does: "key=value" lines, where ";" is part of the value.
    QHash<QString, QString> entry;
    QString group;
    for (const QByteArray& raw : readAll(m_prefix + "/usr/share/applications/quillon.desktop").split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'['))
            group = line;
        else if (group == "[Desktop Entry]" && line.contains(u'='))
            entry.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    }
    QCOMPARE(entry.value("Type"), QStringLiteral("Application"));
    QCOMPARE(entry.value("Exec"), QStringLiteral("/opt/quillon/bin/quillon %F"));
    QCOMPARE(entry.value("Icon"), QStringLiteral("quillon"));
    QCOMPARE(entry.value("Terminal"), QStringLiteral("false"));
    QVERIFY(!entry.value("Name").isEmpty());
    QVERIFY(entry.value("Categories").endsWith(u';'));
}

int TestInstall::runInstalled(const QString& program, const QStringList& args, QByteArray* output)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QUILLON_PROGRAM_DIR");
    env.insert("HOME", m_home);
    env.insert("XDG_DATA_HOME", m_home + "/data");
    env.insert("XDG_CONFIG_HOME", m_home + "/config");
    env.insert("XDG_RUNTIME_DIR", m_home + "/runtime");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert(kQuitAfterStartVariable, "200");
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_home);
    p.start(m_prefix + "/opt/quillon/bin/" + program, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        *output = p.readAll();
        return -1;
    }
    *output = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void TestInstall::readOnlyInstallRunsFromUserRoot()
{
    const QString opt = m_prefix + "/opt/quillon";
    if (!QFile::exists(opt + "/bin/quillon"))
        QSKIP("The program is not built in this tree.");
    setTreeWritable(opt, false);

    QByteArray out;
    QCOMPARE(runInstalled("quillon", {}, &out), 0);
    const QString user = m_home + "/data/Quillon/Quillon/";
    QVERIFY2(QFile::exists(user + "Vexo2005.INI"), out.constData());
    QCOMPARE(readAll(user + "Vexo2005.INI"), readAll(opt + "/Vexo2005.INI"));
    QVERIFY(QFile::exists(user + "Database/VEXO2005.sqlite"));
    QVERIFY(QFile::exists(user + "Database/language.sqlite"));
    QVERIFY(!QDir(user + "bin/log").entryList({"QLN2005_*.log"}, QDir::Files).isEmpty());
    // Nothing was written into the installed tree.
    QVERIFY(!QFileInfo::exists(opt + "/Database"));
    QVERIFY(!QFileInfo::exists(opt + "/bin/log"));

    // The user's settings survive the next start; the tools share the same root.
    writeAll(user + "Vexo2005.INI", readAll(user + "Vexo2005.INI") + "\r\n; mine\r\n");
    const QByteArray ini = readAll(user + "Vexo2005.INI");
    QCOMPARE(runInstalled("quillon", {}, &out), 0);
    QCOMPARE(readAll(user + "Vexo2005.INI"), ini);
    if (QFile::exists(opt + "/bin/quillon-convert")) {
        writeAll(m_home + "/in.csv", "Number,Address,Model\r\n7,10.0.0.7,QC-20 Counter\r\n");
        QCOMPARE(runInstalled("quillon-convert", {"import-scales", m_home + "/in.csv"}, &out), 0);
        QCOMPARE(runInstalled("quillon-convert", {"export-scales", m_home + "/out.csv"}, &out), 0);
        QCOMPARE(readAll(m_home + "/out.csv"), readAll(m_home + "/in.csv"));
    }
    setTreeWritable(opt, true);
}

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
