#pragma once
// A temporary runtime tree with its own databases, INI and placement store, and
// helpers to reach the SCALE table and the modal dialogs the tests drive.
#include "context/appcontext.h"
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/placement.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace quillon::scaletest {

class ScaleTestEnv {
public:
    QTemporaryDir tmp;
    QString programDir;   // ends with "/"
    QString rootDir;
    AppContext ctx;
    RecordingReporter reporter;
    ErrorReporter* previousReporter = nullptr;

    bool setUp(const QString& extraIni = QString())
    {
        if (!tmp.isValid())
            return false;
        rootDir = tmp.path() + QStringLiteral("/root/");
        programDir = rootDir + QStringLiteral("bin/");
        QDir().mkpath(programDir + QStringLiteral("Icon"));
        const QString src = QStringLiteral(QUILLON_SOURCE_DIR) + QStringLiteral("/data/");
        const QDir program(src + QStringLiteral("program"));
        for (const QString& f : program.entryList(QDir::Files))
            QFile::copy(program.filePath(f), programDir + f);
        const QDir icons(src + QStringLiteral("program/Icon"));
        for (const QString& f : icons.entryList(QDir::Files))
            QFile::copy(icons.filePath(f), programDir + QStringLiteral("Icon/") + f);
        QFile ini(rootDir + QStringLiteral("Vexo2005.INI"));
        QFile source(src + QStringLiteral("root/Vexo2005.INI"));
        if (!source.open(QIODevice::ReadOnly) || !ini.open(QIODevice::WriteOnly))
            return false;
        QByteArray text = source.readAll();
        if (!extraIni.isEmpty())
            text.replace("Ping=ping", extraIni.toUtf8());
        ini.write(text);
        ini.close();
        qputenv("QUILLON_PROGRAM_DIR", programDir.toUtf8());
        SetPlacementStoreFile(tmp.path() + QStringLiteral("/placement.ini"));
        previousReporter = SetErrorReporter(&reporter);
        if (!ctx.InitApplication(programDir))
            return false;
        SetApp(&ctx);
        return true;
    }

    ~ScaleTestEnv()
    {
        SetApp(nullptr);
        SetErrorReporter(previousReporter);
        SetPlacementStoreFile(QString());
    }

    void exec(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q(ctx.db().mainDb());
        QVERIFY2(q.prepare(sql), qPrintable(sql));
        for (const QVariant& v : values)
            q.addBindValue(v);
        QVERIFY2(q.exec(), qPrintable(sql));
    }

    // Adds a scale row directly (as another tool would have stored it).
    void addScale(int no, const QString& ip, int modelId, bool used = true)
    {
        exec(QStringLiteral("insert into SCALE(SC_NO,DP_NO,SC_IP,SC_USED,SC_MODEL_ID) values(?,97,?,?,?)"),
             {no, ip, used ? 1 : 0, modelId});
    }

    struct Row {
        int no = 0;
        int dp = 0;
        QString ip;
        bool used = false;
        int model = 0;
        bool operator==(const Row&) const = default;
    };
    QList<Row> rows()
    {
        QList<Row> out;
        QSqlQuery q(ctx.db().mainDb());
        q.exec(QStringLiteral("select SC_NO, DP_NO, SC_IP, SC_USED, SC_MODEL_ID from SCALE order by SC_IP"));
        while (q.next())
            out << Row{q.value(0).toInt(), q.value(1).toInt(), q.value(2).toString(), q.value(3).toBool(),
                       q.value(4).toInt()};
        return out;
    }
    int tableCount(const QString& name)
    {
        QSqlQuery q(ctx.db().mainDb());
        q.exec(QStringLiteral("select count(*) from sqlite_master where type='table' and name='%1'").arg(name));
        return q.next() ? q.value(0).toInt() : -1;
    }

    QString text(const char* section, const char* key)
    {
        return ctx.db().GetLangString(QString::fromLatin1(section), QString::fromLatin1(key));
    }
};

// Runs `action` on the next modal dialog of type T as soon as it is shown.
template <typename T>
void OnNextModal(std::function<void(T*)> action, int tries = 200)
{
    QTimer::singleShot(10, [action, tries]() {
        if (auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget())) {
            action(dlg);
            return;
        }
        if (tries > 0)
            OnNextModal<T>(action, tries - 1);
    });
}

// A small executable script in `dir`.
inline bool WriteScript(const QString& path, const QByteArray& body)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write("#!/bin/sh\n" + body);
    f.close();
    return f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace quillon::scaletest
