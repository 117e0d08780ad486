#include "scale/transferjournalgui.h"

#include "context/texts.h"
#include "platform/database.h"
#include "scale/transferjournal.h"

#include <QTreeWidget>

namespace quillon {

namespace {
// Marks the header of the first of the three columns, wherever other columns put it.
constexpr int kMarkRole = Qt::UserRole + 41;
}

void ShowLastTransfers(QTreeWidget* list, Database& db, int addressColumn)
{
    QTreeWidgetItem* header = list->headerItem();
    int first = -1;
    for (int c = 0; c < list->columnCount() && first < 0; ++c)
        if (header->data(c, kMarkRole).toBool())
            first = c;
    if (first < 0) {
        first = list->columnCount();
        list->setColumnCount(first + 3);
        header->setText(first, GetLangString(QStringLiteral("frmScaleConfig"), QStringLiteral("lvwLastTransfer")));
        header->setText(first + 1, GetLangString(QStringLiteral("frmScaleConfig"), QStringLiteral("lvwLastLabel")));
        header->setText(first + 2, GetLangString(QStringLiteral("frmScaleConfig"), QStringLiteral("lvwLastResult")));
        header->setData(first, kMarkRole, true);
    }
    QStringList addresses;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        addresses << list->topLevelItem(i)->text(addressColumn);
    QSqlDatabase main = db.mainDb();
    const QHash<QString, JournalEntry> last = main.isOpen() ? LastTransfers(main, addresses) : QHash<QString, JournalEntry>();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        const auto it = last.constFind(row->text(addressColumn));
        if (it == last.cend())
            continue;
        row->setText(first, it->utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        row->setText(first + 1, it->label);
        row->setText(first + 2, it->text);
    }
}

} // namespace quillon
