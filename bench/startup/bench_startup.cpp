// Time from process start to the main window shown, offscreen.
// The program starts itself as a child for each run, so loading the libraries
// and the whole start-up are counted; the child reports when its window is up.
#include "app/mainwindow.h"
#include "context/appcontext.h"
#include "context/texts.h"
#include "platform/database.h"
#include "platform/placement.h"
#include "platform/singleinstance.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>

namespace {

int runChild(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString programDir = quillon::ProgramDirectory(QStringLiteral(QUILLON_STAGED_PROGRAM_DIR));
    const quillon::RuntimePaths paths = quillon::ComputeRuntimePaths(programDir);
    quillon::SingleInstance instance(paths.g_strRootPath);
    instance.tryLock();
    QTemporaryDir store;
    quillon::SetPlacementStoreFile(store.filePath(QStringLiteral("placement.ini")));

    quillon::AppContext ctx;
    quillon::SetApp(&ctx);
    if (!ctx.InitApplication(programDir))
        return 2;
    quillon::MainWindow window(ctx);
    if (!window.Form_Load())
        return 3;
    window.show();
    // Shown means exposed and painted once: wait for the first pass of the event loop.
    QTimer::singleShot(0, &app, [&] {
        std::fputs("shown\n", stdout);
        std::fflush(stdout);
        app.quit();
    });
    const int rc = app.exec();
    quillon::SetApp(nullptr);
    return rc;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);

    QCoreApplication app(argc, argv);
    const int runs = 7;
    QList<double> ms;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer t;
        t.start();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        bool shown = false;
        while (!shown && child.waitForReadyRead(30000))
            shown = child.readAll().contains("shown");
        const double elapsed = double(t.nsecsElapsed()) / 1e6;
        child.waitForFinished(30000);
        if (!shown) {
            std::fprintf(stderr, "run %d: the main window was not shown (exit code %d)\n", i + 1, child.exitCode());
            return 1;
        }
        ms << elapsed;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("startup to main window shown (offscreen), %d runs: median %.1f ms, best %.1f ms, worst %.1f ms\n",
                runs, ms[runs / 2], ms.first(), ms.last());
    return 0;
}
