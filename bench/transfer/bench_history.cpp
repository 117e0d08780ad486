// Transfer History opening over a journal of 1,000,000 rows (333,334 runs of three types, 2,000
// scales, one label in ten), then filtered by one scale and by a label. Prints seconds; target 1 s.
#include "common/simprocess.h"
#include "context/appcontext.h"
#include "platform/database.h"
#include "platform/placement.h"
#include "scale/transferhistorydialog.h"
#include "scale/transferjournal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

using namespace quillon;

namespace {
constexpr int kRows = 1000000;

// Rows made by the database itself: a million inserts through the driver would take longer than the rest.
bool fillJournal(QSqlDatabase db)
{
    QSqlQuery q(db);
    const bool ok = db.transaction() &&
                    q.exec(QStringLiteral(
                        "with recursive n(i) as (select 0 union all select i + 1 from n where i < %1) "
                        "insert into TRANSFER_JOURNAL (TJ_RUN, TJ_TIME, TJ_HOST, TJ_USER, TJ_DIRECTION, TJ_LABEL, "
                        "TJ_HASH, TJ_ADDRESS, TJ_TYPE, TJ_CODE, TJ_TEXT) "
                        "select 'run-' || (i / 3), strftime('%Y-%m-%dT%H:%M:%fZ', 'now', '-' || (i / 3) || ' seconds'), "
                        "'store-pc', 'tech', 'send', 'Label' || (i / 3000 % 10) || '.qlf', '', "
                        "'10.' || (i / 3 % 2000 / 250) || '.0.' || (i / 3 % 250 + 1), 52 + (i % 3) * 4 + (i % 3) / 2, "
                        "case when i % 97 = 0 then 3 else 0 end, 'Transfer completed' from n")
                               .arg(kRows - 1)) &&
                    db.commit();
    if (!ok)
        std::fprintf(stderr, "cannot fill the journal: %s\n", qPrintable(q.lastError().text()));
    return ok;
}

double seconds(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e9;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    const QString programDir = transfertest::makeRuntimeTree(tmp.filePath(QStringLiteral("root")));
    SetPlacementStoreFile(tmp.filePath(QStringLiteral("placement.ini")));
    AppContext ctx;
    if (!ctx.InitApplication(programDir))
        return 2;
    QElapsedTimer fill;
    fill.start();
    if (!fillJournal(ctx.db().mainDb()))
        return 3;
    std::printf("journal of %d rows written in %.1f s\n", kRows, seconds(fill));

    QElapsedTimer open;
    open.start();
    TransferHistoryDialog dlg(ctx);
    dlg.show();
    QApplication::processEvents();
    const double opened = seconds(open);
    std::printf("Transfer History opened on %d journal rows: %.3f s (target 1 s), %d rows fetched\n", kRows, opened,
                int(dlg.model()->rowCount()));

    const struct { const char* what; const char* address; const char* label; } filters[] = {
        {"one scale", "10.3.0.17", ""}, {"one label", "", "label7"}, {"one label at one scale", "10.3.0.17", "label6"}};
    for (const auto& f : filters) {
        QElapsedTimer t;
        t.start();
        dlg.txtAddress->setText(QString::fromLatin1(f.address));
        dlg.txtLabel->setText(QString::fromLatin1(f.label));
        dlg.applyFilter();
        QApplication::processEvents();
        std::printf("filtered to %s: %.3f s, %d rows fetched\n", f.what, seconds(t), int(dlg.model()->rowCount()));
    }
    dlg.txtAddress->clear();
    dlg.txtLabel->clear();
    dlg.applyFilter();
    for (int column : {int(JournalModel::ColAddress), int(JournalModel::ColCode)}) {
        QElapsedTimer t;
        t.start();
        dlg.model()->sort(column, Qt::AscendingOrder);
        std::printf("sorted by column %d: %.3f s\n", column, seconds(t));
    }
    return opened < 1.0 ? 0 : 1;
}
