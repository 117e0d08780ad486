#pragma once
// The transfer journal where other windows show it: each scale's last transfer in a scale list.
class QTreeWidget;

namespace quillon {

class Database;

// Adds (once) three columns at the end of a scale list, last transfer's time, label and result,
// and fills them for every row; `addressColumn` holds the rows' addresses.
void ShowLastTransfers(QTreeWidget* list, Database& db, int addressColumn);

} // namespace quillon
