// The Debian package as an administrator meets it: built by cpack into a
// temporary folder, unpacked with dpkg -x, checked by lintian and appstreamcli,
// its programs run from the unpacked tree and through links.
#include "quillonversion.h"
#include <QtTest>

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

    QTemporaryDir m_tmp;
    QString m_deb;
    const QString m_root = m_tmp.filePath("root"), m_bin = m_root + "/opt/quillon/bin/";

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        const Run cpack = run(QUILLON_CPACK_COMMAND, {"-G", "DEB", "--config", QUILLON_BINARY_DIR "/CPackConfig.cmake",
                                                      "-B", m_tmp.filePath("out")}, 300000);
        QVERIFY2(cpack.status == 0, qPrintable(cpack.out));
        const QStringList debs = QDir(m_tmp.filePath("out")).entryList({"*.deb"});
        QCOMPARE(debs.size(), 1);
        m_deb = m_tmp.filePath("out/" + debs.first());
        const Run unpack = run("dpkg-deb", {"-x", m_deb, m_root});
        QVERIFY2(unpack.status == 0, qPrintable(unpack.out));
    }

    // The user's programs are linked onto the PATH, the driver and the simulator are not.
    // The other files are read by the checks below.
    void links()
    {
        for (const QString program : {"quillon", "quillon-convert", "vexowtcp", "scale-sim"}) {
            const QFileInfo link(m_root + "/usr/bin/" + program);
            const QString target = program.startsWith("quillon") ? "/opt/quillon/bin/" + program : QString();
            const bool ok = target.isEmpty() ? !link.exists() : QFileInfo(m_root + target).isExecutable();
            QVERIFY2(link.symLinkTarget() == target && ok, qPrintable(program));
        }
    }

    void versionsAgree()
    {
        const QString version = QUILLON_VERSION;
        QCOMPARE(run("dpkg-deb", {"-f", m_deb, "Version"}).out.trimmed(), version);
        const QString changelog = run("zcat", {m_root + "/usr/share/doc/quillon/changelog.gz"}).out;
        QVERIFY2(changelog.startsWith("quillon (" + version + ") "), qPrintable(changelog.left(80)));
        for (const QString program : {"quillon", "quillon-convert"}) {
            QCOMPARE(run(m_bin + program, {"--version"}).out, program + " " + version + "\n");
            // The manual page's header: .TH NAME SECTION DATE "PROGRAM VERSION" "User Commands"
            const QString page = run("zcat", {m_root + "/usr/share/man/man1/" + program + ".1.gz"}).out;
            QVERIFY2(page.contains('"' + program + ' ' + version + "\" \"User Commands\""), qPrintable(page.left(300)));
        }
    }

    // Lintian allows only the override for /opt; a missing copyright or override file fails here too.
    void validators()
    {
        // Judged by what it prints: with --show-overrides lintian fails on overridden errors too.
        const Run lintian = run("lintian", {"--show-overrides", m_deb}, 300000);
        const QString opt = "O: quillon: dir-or-file-in-opt ";
        QVERIFY2(lintian.out.contains(opt + "[opt/quillon/bin/quillon]"), qPrintable(lintian.out));
        for (const QString& line : lintian.out.split('\n', Qt::SkipEmptyParts))
            QVERIFY2(!line.startsWith("E: ") && !line.startsWith("W: ")
                         && (!line.startsWith("O: ") || line.startsWith(opt)), qPrintable(line));
        const QString metainfo = m_root + "/usr/share/metainfo/invalid.quillon.Quillon.metainfo.xml";
        const Run appstream = run("appstreamcli", {"validate", "--no-net", metainfo});
        QVERIFY2(appstream.status == 0, qPrintable(appstream.out));
        const Run desktop = run("desktop-file-validate", {m_root + "/usr/share/applications/quillon.desktop"});
        QVERIFY2(desktop.status == 0 && desktop.out.isEmpty(), qPrintable(desktop.out));
    }

    // Scripts call the link on the PATH: the program must still load the data files beside itself.
    void linkedProgramFindsItsFolder()
    {
        const QString link = m_tmp.filePath("quillon-convert"), csv = m_tmp.filePath("scales.csv");
        QVERIFY(QFile::link(m_bin + "quillon-convert", link));
        const Run convert = run("env", {"-u", "QUILLON_PROGRAM_DIR", "XDG_DATA_HOME=" + m_tmp.filePath("data"),
                                        "XDG_CONFIG_HOME=" + m_tmp.filePath("config"), link, "export-scales", csv});
        QVERIFY2(convert.status == 0, qPrintable(convert.out));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readLine().trimmed() == "Number,Address,Model,Store");
    }

    // The words after the program, the last one being completed, and what bash offers.
    void completion()
    {
        const std::pair<QString, QStringList> rows[] = {   // the first skips an option's value
            {"--program-dir /tmp export-", {"export-format", "export-scales", "export-text"}},
            {"export-text A.QLF B.DAT --", {"--program-dir", "--type"}},
            {"export-text --type ", {"10", "11"}}};
        for (const auto& [line, expected] : rows) {
            const QStringList words = QStringList{m_bin + "quillon-convert"} + line.split(' ');
            const QString script = "source " + m_root + "/usr/share/bash-completion/completions/quillon-convert\n"
                                   + "COMP_WORDS=('" + words.join("' '") + "')\n"
                                   + "COMP_CWORD=" + QString::number(words.size() - 1) + "\n"
                                   + "_quillon_convert 2>/dev/null\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n";
            const Run bash = run("bash", {"-c", script});
            QStringList got = bash.out.split('\n', Qt::SkipEmptyParts);
            got.sort();
            QVERIFY2(bash.status == 0 && got == expected, qPrintable(line + ": " + got.join(u' ')));
        }
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
