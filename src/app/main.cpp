// Main: one copy per root folder (a later start hands its files to it), the
// start-up steps, then the main window.
#include "app/mainwindow.h"
#include "context/appcontext.h"
#include "context/texts.h"
#include "platform/database.h"
#include "platform/messageboxreporter.h"
#include "platform/singleinstance.h"
#include "quillonversion.h"
#include <QApplication>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <utility>

int main(int argc, char* argv[])
{
    // Answered before the window system is needed, so that it works in any terminal.
    if (argc == 2 && qstrcmp(argv[1], "--version") == 0) {
        std::printf("quillon %s\n", QUILLON_VERSION);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setOrganizationName(QStringLiteral("Quillon"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));

    const QString programDir = quillon::ProgramDirectory(QCoreApplication::applicationDirPath());
    const quillon::RuntimePaths paths = quillon::ComputeRuntimePaths(programDir);

    // Files named on the command line, as the running copy cannot know this one's working folder.
    QStringList files;
    for (const QString& arg : QCoreApplication::arguments().mid(1))
        files << QFileInfo(arg).absoluteFilePath();

    // Another copy already runs on this root folder: it opens the files and comes to the front.
    quillon::SingleInstance instance(paths.g_strRootPath);
    if (!instance.tryLock()) {
        if (instance.handOver(files))
            return 0;
        // A second copy on the same root would share its databases and transfer files, so none
        // starts. Without files there is nothing to lose and the end stays silent.
        if (files.isEmpty())
            return 0;
        std::fprintf(stderr, "quillon: the running copy did not answer; not opened: %s\n",
                     qPrintable(files.join(QStringLiteral(", "))));
        return 1;
    }
    // Hand-overs that come while starting wait for the main window.
    QStringList handedOver;
    quillon::MainWindow* window = nullptr;
    const auto openHandedOver = [&handedOver, &window](const QStringList& paths) {
        handedOver << paths;
        if (!window)
            return;
        for (const QString& path : std::exchange(handedOver, {}))
            window->OpenInNewDocument(path);
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        window->raise();
        window->activateWindow();
    };
    instance.listen(openHandedOver);

    quillon::MessageBoxReporter reporter;
    quillon::ScopedErrorReporter scoped(&reporter);

    quillon::AppContext ctx;
    quillon::SetApp(&ctx);
    // A shared scale list on a database server may need a password: asked here, never stored or logged.
    // The text database opens before the main one, so the question is in the user's language.
    quillon::SetDatabasePasswordPrompt([&ctx](const quillon::MainDatabaseSettings& s) -> std::optional<QString> {
        bool ok = false;
        const QString text = quillon::GetLangString(QStringLiteral("frmMain"), QStringLiteral("msgDatabasePassword"));
        const QString password = QInputDialog::getText(nullptr, s.describe(), text, QLineEdit::Password, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return password;
    });
    // Start-up failures were already shown.
    if (!ctx.InitApplication(programDir))
        return 1;

    quillon::MainWindow mainWindow(ctx);
    if (!mainWindow.Form_Load())
        return 1;
    mainWindow.show();
    // Label files named on the command line open as they would when dropped.
    // They wait for the first pass of the event loop, when the window has its final layout.
    QTimer::singleShot(0, &mainWindow, [&] {
        for (const QString& path : files)
            mainWindow.OpenInNewDocument(path);
        window = &mainWindow;
        if (!handedOver.isEmpty())
            openHandedOver({});
    });
    const int rc = app.exec();
    window = nullptr;
    quillon::SetDatabasePasswordPrompt({});
    quillon::SetApp(nullptr);
    return rc;
}
