// Labels per second of one whole quillon-convert run turning many label files
// into F52 data files (process start, reading, converting and writing included).
#include "context/appcontext.h"
#include "model/qlffile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

using namespace quillon;

namespace {

// Every catalogue field placed, a few lines of text on the text fields.
Label makeLabel(const Tables& t)
{
    Label l(t);
    for (int i = 0; i < l.fieldCount(); ++i) {
        FieldRecord& r = l.m_arrFields[i];
        r.bUsed = true;
        r.sngX = float(i % 30);
        r.sngY = float(i % 20);
        if (l.fieldType(i) == FT_TEXT || l.fieldType(i) == FT_SHOPNAME) {
            r.iTextLine = 3;
            for (int j = 1; j <= 3; ++j) {
                r.strCharSize[j] = t.g_arrFieldFont.value(0).Name;
                r.strText[j] = QStringLiteral("Fresh bread line %1").arg(j);
            }
        }
        l.NormaliseField(i);
    }
    return l;
}

} // namespace

// An optional argument sets the number of labels (10,000 by default).
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? qMax(1, std::atoi(argv[1])) : 10000;
    const QString programDir = qEnvironmentVariable("QUILLON_PROGRAM_DIR", QStringLiteral(QUILLON_STAGED_PROGRAM_DIR));
    AppContext ctx;
    if (!ctx.LoadAll(programDir))
        return 1;
    QTemporaryDir work;
    const QByteArray bytes = FormatFileBytes(makeLabel(ctx.tables));
    QStringList args{QStringLiteral("export-format"), QStringLiteral("--out-dir"), work.filePath(QStringLiteral("out"))};
    for (int i = 0; i < count; ++i) {
        const QString path = work.filePath(QStringLiteral("L%1.QLF").arg(i));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
        args << path;
    }
    QProcess convert;
    convert.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    convert.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    convert.start(QDir(programDir).filePath(QStringLiteral("quillon-convert")), args);
    if (!convert.waitForFinished(600000) || convert.exitCode() != 0) {
        std::fprintf(stderr, "quillon-convert failed (exit %d)\n", convert.exitCode());
        return 1;
    }
    const double s = timer.nsecsElapsed() / 1e9;
    std::printf("%d labels to F52 in one run: %.3f s, %.0f labels/s\n", count, s, count / s);
    return 0;
}
