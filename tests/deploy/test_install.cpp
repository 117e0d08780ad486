// The installed program: cmake --install into a temporary prefix, the tree made
// read-only, the installed program started offscreen with a home of its own.
// Also where the root folder goes for writable and read-only trees.
#include "context/appcontext.h"
#include "platform/errorreport.h"
#include <QtTest>

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

// Adds or drops the write bits of a folder, or of a whole tree.
void setWritable(const QString& top, bool writable, bool tree = true)
{
    const QFileDevice::Permissions w = QFileDevice::WriteOwner | QFileDevice::WriteUser, all = w | QFile::WriteOther;
    QStringList paths{top};
    for (QDirIterator it(top, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
         tree && it.hasNext();)
        paths << it.next();
    for (const QString& p : paths)
        QFile::setPermissions(p, writable ? QFile::permissions(p) | w
                                          : QFile::permissions(p) & ~(all | QFileDevice::WriteGroup));
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;
    const QString m_home = m_tmp.filePath("home"), m_prefix = m_tmp.filePath("prefix");
    const QString m_user = m_home + "/data/Quillon/Quillon/";   // the per-user root folder

    // Runs an installed program with a home of its own; its exit code, -1 on a crash or hang.
    int runInstalled(const QString& program, const QStringList& args = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QUILLON_PROGRAM_DIR");
        for (const auto& [name, value] : {std::pair<QString, QString>{"HOME", m_home}, {"XDG_DATA_HOME", m_home + "/data"},
                                          {"XDG_CONFIG_HOME", m_home + "/config"}, {"XDG_RUNTIME_DIR", m_home + "/runtime"},
                                          {"QT_QPA_PLATFORM", "offscreen"}, {kQuitAfterStartVariable, "200"}})
            env.insert(name, value);
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(m_home);
        p.start(m_prefix + "/opt/quillon/bin/" + program, args);
        const bool finished = p.waitForFinished(60000);
        if (!finished)
            p.kill();
        p.waitForFinished();
        const int code = finished && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        if (code != 0)
            qWarning().noquote() << program << "failed:" << p.readAll();
        return code;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        QDir().mkpath(m_home + "/runtime");
        QFile::setPermissions(m_home + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_DATA_HOME", (m_home + "/data").toUtf8());
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QUILLON_CMAKE_COMMAND, {"--install", QUILLON_BINARY_DIR, "--prefix", m_prefix});
        QVERIFY(p.waitForFinished(120000));
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, p.readAll().constData());
    }
    // So that the temporary folder can go, also for a user who is not root.
    void cleanupTestCase() { setWritable(m_prefix, true); }

    // A program or root folder that cannot be written sends the root folder to the user's
    // data folder, made there from the installed templates; the program's own files are
    // always read where they were installed.
    void perUserRoot()
    {
        for (const auto& [programWritable, rootWritable] : {std::pair(true, true), {true, false}, {false, true}}) {
            QTemporaryDir dir;
            const QString root = dir.filePath("root"), bin = root + "/bin";
            QDir().mkpath(bin);
            setWritable(bin, programWritable, false);
            setWritable(root, rootWritable, false);
            const RuntimePaths p = ResolveRuntimePaths(bin);
            setWritable(root, true);
            const bool perUser = !programWritable || !rootWritable;
            QVERIFY(p.bPerUserRoot == perUser && p.g_strAppPath == bin + "/"
                    && p.g_strIniFile == p.g_strRootPath + "Vexo2005.INI");
            QCOMPARE(p.g_strRootPath, perUser ? m_user : root + "/");
            QCOMPARE(p.g_strWorkPath, perUser ? m_user + "bin/" : bin + "/");
        }
        // A root folder that cannot be made is reported and stops the start. The one made
        // from the templates is checked where the installed program starts.
        QTemporaryDir dir;
        writeAll(dir.filePath("blocked"), "a file");
        const QString user = dir.filePath("blocked/user/");
        RecordingReporter reporter;
        ScopedErrorReporter scoped(&reporter);
        QVERIFY(!PreparePerUserRoot({{}, user, user + "Vexo2005.INI", user + "bin/", true}, dir.path()));
        QVERIFY(reporter.hasSource("MakeDir"));
    }

    // Programs, data files, INI template, menu entry and icons land where the desktop looks.
    void installedLayout()
    {
        QHash<QString, bool> expected;   // path under the prefix, executable
        for (const QString exe : {"quillon", "quillon-convert", "vexowtcp", "scale-sim"})
            expected.insert("opt/quillon/bin/" + exe, true);
        const QDir data(QUILLON_SOURCE_DIR "/data/program");
        for (QDirIterator it(data.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            expected.insert("opt/quillon/bin/" + data.relativeFilePath(it.next()), false);
        for (const QString f : {"opt/quillon/Vexo2005.INI", "usr/share/applications/quillon.desktop",
                                "usr/share/icons/hicolor/64x64/apps/quillon.png",
                                "usr/share/icons/hicolor/256x256/apps/quillon.png"})
            expected.insert(f, false);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const QFileInfo f(m_prefix + "/" + it.key());
            QVERIFY2(f.isFile() && f.isExecutable() == it.value(), qPrintable(f.filePath()));
        }
        // What the menu starts; the package test validates the rest of the entry and the icon sizes.
        const QByteArrayList entry = readAll(m_prefix + "/usr/share/applications/quillon.desktop").split('\n');
        QVERIFY(entry.contains("Exec=/opt/quillon/bin/quillon %F") && entry.contains("Icon=quillon"));
    }

    void readOnlyInstallRunsFromUserRoot()
    {
        const QString opt = m_prefix + "/opt/quillon";
        setWritable(opt, false);
        QCOMPARE(runInstalled("quillon"), 0);
        QCOMPARE(readAll(m_user + "Vexo2005.INI"), readAll(opt + "/Vexo2005.INI"));
        // The copy can be written: the language menu writes the INI file.
        QVERIFY(QFile::permissions(m_user + "Vexo2005.INI") & QFileDevice::WriteOwner);
        QVERIFY(QFile::exists(m_user + "Database/VEXO2005.sqlite") && QFile::exists(m_user + "Database/language.sqlite"));
        QVERIFY(!QDir(m_user + "bin/log").entryList({"QLN2005_*.log"}, QDir::Files).isEmpty());
        // Nothing was written into the installed tree.
        QVERIFY(!QFileInfo::exists(opt + "/Database") && !QFileInfo::exists(opt + "/bin/log"));
        // The user's settings survive the next start; the tools share the same root.
        writeAll(m_user + "Vexo2005.INI", readAll(m_user + "Vexo2005.INI") + "\r\n; mine\r\n");
        const QByteArray ini = readAll(m_user + "Vexo2005.INI");
        QCOMPARE(runInstalled("quillon"), 0);
        QCOMPARE(readAll(m_user + "Vexo2005.INI"), ini);
        writeAll(m_home + "/in.csv", "Number,Address,Model,Store\r\n7,10.0.0.7,QC-20 Counter,\r\n");
        QCOMPARE(runInstalled("quillon-convert", {"import-scales", m_home + "/in.csv"}), 0);
        QCOMPARE(runInstalled("quillon-convert", {"export-scales", m_home + "/out.csv"}), 0);
        QCOMPARE(readAll(m_home + "/out.csv"), readAll(m_home + "/in.csv"));
        setWritable(opt, true);
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
