// The Debian package as an administrator meets it: built by cpack into a
// temporary folder, unpacked with dpkg -x, checked by lintian and appstreamcli,
// its programs run from the unpacked tree and through links.
#include "quillonversion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QString out;
};

Run run(const QString& program, const QStringList& args, int timeoutMs = 120000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAll())};
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void contents_data();
    void contents();
    void versionsAgree();
    void lintianAllowsOnlyTheOptOverride();
    void validators();
    void linkedProgramFindsItsFolder();
    void completion_data();
    void completion();

private:
    QTemporaryDir m_tmp;
    QString m_deb;
    QString m_root;
};

void TestPackage::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    const Run cpack = run(QStringLiteral(QUILLON_CPACK_COMMAND),
                          {"-G", "DEB", "--config", QUILLON_BINARY_DIR "/CPackConfig.cmake", "-B", m_tmp.filePath("out")},
                          300000);
    QVERIFY2(cpack.status == 0, qPrintable(cpack.out));
    const QStringList debs = QDir(m_tmp.filePath("out")).entryList({"*.deb"});
    QCOMPARE(debs.size(), 1);
    m_deb = m_tmp.filePath("out/" + debs.first());
    m_root = m_tmp.filePath("root");
    const Run unpack = run("dpkg-deb", {"-x", m_deb, m_root});
    QVERIFY2(unpack.status == 0, qPrintable(unpack.out));
}

void TestPackage::contents_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("linkTarget"); // "" a file, "-" absent
    QTest::newRow("quillon on the PATH") << "usr/bin/quillon" << "/opt/quillon/bin/quillon";
    QTest::newRow("quillon-convert on the PATH") << "usr/bin/quillon-convert" << "/opt/quillon/bin/quillon-convert";
    QTest::newRow("driver not on the PATH") << "usr/bin/vexowtcp" << "-";
    QTest::newRow("simulator not on the PATH") << "usr/bin/scale-sim" << "-";
    QTest::newRow("manual page") << "usr/share/man/man1/quillon.1.gz" << "";
    QTest::newRow("converter manual page") << "usr/share/man/man1/quillon-convert.1.gz" << "";
    QTest::newRow("copyright") << "usr/share/doc/quillon/copyright" << "";
    QTest::newRow("changelog") << "usr/share/doc/quillon/changelog.gz" << "";
    QTest::newRow("lintian override") << "usr/share/lintian/overrides/quillon" << "";
    QTest::newRow("metainfo") << "usr/share/metainfo/invalid.quillon.Quillon.metainfo.xml" << "";
    QTest::newRow("completion") << "usr/share/bash-completion/completions/quillon-convert" << "";
}

void TestPackage::contents()
{
    QFETCH(QString, path);
    QFETCH(QString, linkTarget);
    const QFileInfo info(m_root + "/" + path);
    if (linkTarget == "-") {
        QVERIFY2(!info.exists() && !info.isSymLink(), qPrintable(path));
    } else if (linkTarget.isEmpty()) {
        QVERIFY2(info.isFile() && !info.isSymLink() && info.size() > 0, qPrintable(path));
    } else {
        QVERIFY2(info.isSymLink(), qPrintable(path));
        QCOMPARE(info.symLinkTarget(), linkTarget);
        QVERIFY(QFileInfo(m_root + linkTarget).isExecutable());
    }
}

void TestPackage::versionsAgree()
{
    const QString version = QStringLiteral(QUILLON_VERSION);
    QCOMPARE(run("dpkg-deb", {"-f", m_deb, "Version"}).out.trimmed(), version);
    for (const QString program : {"quillon", "quillon-convert"})
        QCOMPARE(run(m_root + "/opt/quillon/bin/" + program, {"--version"}).out, program + " " + version + "\n");
    const QString changelog = run("zcat", {m_root + "/usr/share/doc/quillon/changelog.gz"}).out;
    QVERIFY2(changelog.startsWith("quillon (" + version + ") "), qPrintable(changelog.left(80)));
    for (const QString page : {"quillon", "quillon-convert"}) {
        const QString text = run("zcat", {m_root + "/usr/share/man/man1/" + page + ".1.gz"}).out;
        // The page header: .TH NAME SECTION DATE "PROGRAM VERSION" "User Commands"
        QVERIFY2(text.contains('"' + page + ' ' + version + "\" \"User Commands\""), qPrintable(text.left(300)));
    }
}

void TestPackage::lintianAllowsOnlyTheOptOverride()
{
    // Judged by what it prints: with --show-overrides lintian fails on overridden errors too.
    const Run lintian = run("lintian", {"--show-overrides", m_deb}, 300000);
    QVERIFY2(lintian.out.contains("O: quillon: dir-or-file-in-opt [opt/quillon/bin/quillon]"), qPrintable(lintian.out));
    for (const QString& line : lintian.out.split('\n', Qt::SkipEmptyParts)) {
        QVERIFY2(!line.startsWith("E: ") && !line.startsWith("W: "), qPrintable(line));
        if (line.startsWith("O: "))
            QVERIFY2(line.startsWith("O: quillon: dir-or-file-in-opt "), qPrintable(line));
    }
}

void TestPackage::validators()
{
    const Run appstream = run("appstreamcli",
                              {"validate", "--no-net", m_root + "/usr/share/metainfo/invalid.quillon.Quillon.metainfo.xml"});
    QVERIFY2(appstream.status == 0, qPrintable(appstream.out));
    const Run desktop = run("desktop-file-validate", {m_root + "/usr/share/applications/quillon.desktop"});
    QVERIFY2(desktop.status == 0 && desktop.out.isEmpty(), qPrintable(desktop.out));
}

void TestPackage::linkedProgramFindsItsFolder()
{
    // Scripts call the link on the PATH: the program must still load the data files beside itself.
    const QString link = m_tmp.filePath("quillon-convert");
    QVERIFY(QFile::link(m_root + "/opt/quillon/bin/quillon-convert", link));
    const QString csv = m_tmp.filePath("scales.csv");
    const Run convert = run("env", {"-u", "QUILLON_PROGRAM_DIR", "XDG_DATA_HOME=" + m_tmp.filePath("data"),
                                    "XDG_CONFIG_HOME=" + m_tmp.filePath("config"), link, "export-scales", csv});
    QVERIFY2(convert.status == 0, qPrintable(convert.out));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readLine().trimmed(), QByteArray("Number,Address,Model"));
}

void TestPackage::completion_data()
{
    QTest::addColumn<QString>("line"); // the words after the program, the last one being completed
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("commands") << "export-" << QStringList{"export-format", "export-scales", "export-text"};
    QTest::newRow("options before a command") << "--" << QStringList{"--help", "--program-dir", "--version"};
    QTest::newRow("options of a command") << "export-text A.QLF B.DAT --" << QStringList{"--program-dir", "--type"};
    QTest::newRow("values of an option") << "export-text --type " << QStringList{"10", "11"};
    QTest::newRow("command after an option's value") << "--program-dir /tmp ren" << QStringList{"render"};
    QTest::newRow("no options where none") << "import-scales --" << QStringList{"--program-dir"};
    QTest::newRow("free values") << "render A.QLF B.png --zoom " << QStringList{};
}

void TestPackage::completion()
{
    QFETCH(QString, line);
    QFETCH(QStringList, expected);
    QStringList words = line.split(' ');
    words.prepend(m_root + "/opt/quillon/bin/quillon-convert");
    QString script = "source " + m_root + "/usr/share/bash-completion/completions/quillon-convert\n";
    script += "COMP_WORDS=('" + words.join("' '") + "')\n";
    script += QString("COMP_CWORD=%1\n_quillon_convert 2>/dev/null\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n").arg(words.size() - 1);
    const Run bash = run("bash", {"-c", script});
    QCOMPARE(bash.status, 0);
    QStringList got = bash.out.split('\n', Qt::SkipEmptyParts);
    got.sort();
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
