#include "platform/messageboxreporter.h"

#include <QMessageBox>

namespace quillon {

void MessageBoxReporter::report(const QString& source, const QString& description)
{
    QMessageBox box(QMessageBox::NoIcon, source, description, QMessageBox::Ok);
    box.exec();
}

} // namespace quillon
