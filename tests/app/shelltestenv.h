#pragma once
// A temporary runtime tree, a loaded AppContext and scripted answers for every
// dialog, so the main window's flows run without a user.
#include "app/mainwindow.h"
#include "context/appcontext.h"
#include "editor/documentwindow.h"
#include "context/texts.h"
#include "editor/prompts.h"
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/placement.h"
#include "app/recentfiles.h"
#include <QDir>
#include <QFile>
#include <QQueue>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

namespace quillon::testing {

// Closes a test's main window without the save prompt, and lets it and its documents go.
inline void DiscardWindow(std::unique_ptr<MainWindow>& w)
{
    if (w) {
        for (DocumentWindow* d : w->documents())
            d->label().m_bModified = false;
        w->close();
        w.reset();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

struct ShownMessage {
    QMessageBox::Icon icon;
    QString text;
};

class ShellTestEnv {
public:
    QTemporaryDir tmp;
    QString programDir;
    QString rootDir;
    AppContext ctx;
    RecordingReporter reporter;
    ErrorReporter* previousReporter = nullptr;

    QQueue<std::optional<QString>> fileAnswers;   // nullopt: the user cancels
    QList<FileRequest> fileRequests;
    QQueue<QMessageBox::StandardButton> messageAnswers;   // empty: the default button
    QList<ShownMessage> messages;

    bool setUp()
    {
        if (!tmp.isValid())
            return false;
        rootDir = tmp.path() + QStringLiteral("/root/");
        programDir = rootDir + QStringLiteral("bin/");
        QDir().mkpath(programDir);
        const QString src = QStringLiteral(QUILLON_SOURCE_DIR) + QStringLiteral("/data/");
        const QDir program(src + QStringLiteral("program"));
        for (const QString& f : program.entryList(QDir::Files))
            QFile::copy(program.filePath(f), programDir + f);
        QFile::copy(src + QStringLiteral("root/Vexo2005.INI"), rootDir + QStringLiteral("Vexo2005.INI"));
        QFile::setPermissions(rootDir + QStringLiteral("Vexo2005.INI"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        qputenv("QUILLON_PROGRAM_DIR", programDir.toUtf8());

        SetPlacementStoreFile(tmp.path() + QStringLiteral("/placement.ini"));
        SetRecentFilesStoreFile(tmp.path() + QStringLiteral("/recent.ini"));
        previousReporter = SetErrorReporter(&reporter);

        SetFileNameProvider([this](QWidget*, const FileRequest& r) -> std::optional<QString> {
            fileRequests << r;
            return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.dequeue();
        });
        SetMessageProvider([this](QWidget*, QMessageBox::Icon icon, const QString&, const QString& text,
                                  QMessageBox::StandardButtons buttons) {
            messages << ShownMessage{icon, text};
            if (!messageAnswers.isEmpty())
                return messageAnswers.dequeue();
            return (buttons & QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Cancel;
        });

        if (!ctx.InitApplication(programDir))
            return false;
        SetTextLookup([this](const QString& s, const QString& k) { return ctx.db().GetLangString(s, k); });
        return true;
    }

    void tearDown()
    {
        SetTextLookup({});
        SetFileNameProvider({});
        SetMessageProvider({});
        SetErrorReporter(previousReporter);
        SetPlacementStoreFile(QString());
        SetRecentFilesStoreFile(QString());
    }

    QString text(const char* section, const char* key) { return ctx.db().GetLangString(section, key); }
    QString path(const QString& name) const { return tmp.path() + QLatin1Char('/') + name; }
};

} // namespace quillon::testing
