#pragma once
// A temporary runtime tree with its own databases, INI and placement store, a transfer
// controller whose dialogs are recorded, and helpers for the modal dialogs the tests drive.
#include "common/simprocess.h"
#include "context/appcontext.h"
#include "platform/database.h"
#include "platform/errorreport.h"
#include "platform/placement.h"
#include "scale/transfer.h"

#include <QApplication>
#include <QDir>
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
    AppContext ctx;
    RecordingReporter reporter;
    ErrorReporter* previousReporter = nullptr;

    // `ping` replaces the INI's "Ping=ping" line when given.
    bool setUp(const QString& ping = QString())
    {
        const QString root = tmp.path() + QStringLiteral("/root/");
        programDir = root + QStringLiteral("bin/");
        const QString src = QStringLiteral(QUILLON_SOURCE_DIR) + QStringLiteral("/data/");
        for (const char* sub : {"", "Icon/"}) {
            QDir().mkpath(programDir + QLatin1String(sub));
            const QDir from(src + QStringLiteral("program/") + QLatin1String(sub));
            for (const QString& f : from.entryList(QDir::Files))
                QFile::copy(from.filePath(f), programDir + QLatin1String(sub) + f);
        }
        QByteArray ini = transfertest::readAll(src + QStringLiteral("root/Vexo2005.INI"));
        if (!ping.isEmpty())
            ini.replace("Ping=ping", "Ping=" + ping.toUtf8());
        if (!tmp.isValid() || ini.isEmpty() || !transfertest::writeAll(root + QStringLiteral("Vexo2005.INI"), ini))
            return false;
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

    // Adds a scale row directly (as another tool would have stored it); `model` is an index.
    void addScale(int no, const QString& ip, int model, bool used = true)
    {
        QSqlQuery q(ctx.db().mainDb());
        q.prepare(QStringLiteral("insert into SCALE(SC_NO,DP_NO,SC_IP,SC_USED,SC_MODEL_ID) values(?,97,?,?,?)"));
        for (const QVariant& v : {QVariant(no), QVariant(ip), QVariant(used ? 1 : 0), QVariant(modelId(model))})
            q.addBindValue(v);
        QVERIFY2(q.exec(), qPrintable(ip));
    }
    int modelId(int index) const { return index < 0 ? 999 : ctx.tables.g_arrScaleModel.at(index).ID; }

    // SC_NO|DP_NO|SC_IP|SC_USED|SC_MODEL_ID of every row, sorted as text.
    QStringList rows()
    {
        QStringList out;
        QSqlQuery q(ctx.db().mainDb());
        q.exec(QStringLiteral("select SC_NO||'|'||DP_NO||'|'||SC_IP||'|'||SC_USED||'|'||SC_MODEL_ID from SCALE"));
        while (q.next())
            out << q.value(0).toString();
        out.sort();
        return out;
    }

    QString text(const char* section, const char* key)
    {
        return ctx.db().GetLangString(QString::fromLatin1(section), QString::fromLatin1(key));
    }
    // A line of a transfer report: the address padded to 16, the driver code's text.
    QString line(const QString& address, int code)
    {
        return address.leftJustified(16, QLatin1Char(' ')) + QLatin1Char(':') +
               ctx.db().GetLangString(QStringLiteral("Global"), QStringLiteral("msgTCPDriver%1").arg(code)) +
               QStringLiteral("\r\n");
    }
    // The send report: per type its heading, then "all successful" or the given failure lines.
    QString sendReport(const QStringList& failures)
    {
        const char* headings[] = {"msgSendFormatToScale", "msgSendTextToScale", "msgSendShopnameToScale"};
        QStringList parts;
        for (int k = 0; k < 3; ++k)
            parts << text("frmMain", headings[k]) +
                         (failures.value(k).isEmpty() ? text("frmMain", "msgAllSuccessful") + QStringLiteral("\r\n")
                                                      : QStringLiteral("\r\n") + failures.value(k));
        return parts.join(QStringLiteral("\r\n"));
    }
};

// Runs `action` on the next modal dialog of type T as soon as it is shown.
template <typename T>
void OnNextModal(std::function<void(T*)> action, int tries = 200)
{
    QTimer::singleShot(10, [action, tries]() {
        if (auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget()))
            action(dlg);
        else if (tries > 0)
            OnNextModal<T>(action, tries - 1);
    });
}

// A small executable shell script.
inline bool WriteScript(const QString& path, const QByteArray& body)
{
    return transfertest::writeAll(path, "#!/bin/sh\n" + body) &&
           QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

struct Popup {
    QString message, title;
    int kind = -1;
};

// A controller over the tree whose pop-ups and critical messages are recorded; `picks` answers
// the picker in turn ("" cancels). Set further callbacks in `cb` before start().
struct TransferHarness : ScaleTestEnv {
    TransferCallbacks cb;
    std::unique_ptr<TransferController> ctl;
    QStringList picks;
    QList<bool> pickModes;
    QList<Popup> popups;
    QStringList criticals;

    bool setUp(const QString& ping = QString())
    {
        cb.hasActiveDocument = [] { return true; };
        cb.pickScales = [this](bool multi) {
            pickModes << multi;
            const QString answer = picks.isEmpty() ? QString() : picks.takeFirst();
            return ScalePick{answer.isEmpty(), answer};
        };
        cb.showCritical = [this](const QString& t) { criticals << t; };
        cb.showPopup = [this](const QString& m, const QString& t, int k) { popups << Popup{m, t, k}; };
        return ScaleTestEnv::setUp(ping);
    }
    void start() { ctl = std::make_unique<TransferController>(ctx, nullptr, cb); }
    // Runs one command to its end.
    bool run(void (TransferController::*command)(), int ms = 40000)
    {
        (ctl.get()->*command)();
        return QTest::qWaitFor([this] { return !ctl->busy(); }, ms);
    }
    // Exchange files left in the program folder.
    QStringList leftovers() const
    {
        return QDir(programDir).entryList({QStringLiteral("SM*"), QStringLiteral("~tmp*")}, QDir::Files, QDir::Name);
    }
};

} // namespace quillon::scaletest
