#pragma once
// Every question the editor and the main window put to the user goes through
// these functions, so the flows can be driven without modal dialogs (tests
// replace the providers).
#include <QMessageBox>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace quillon {

// The two filters of the file commands.
inline const QString kFormatFileFilter = QStringLiteral("Quillon File(*.QLF)|*.QLF|All Files (*.*)|*.*");
inline const QString kDataFileFilter = QStringLiteral("Data Files (*.DAT)|*.DAT|All Files (*.*)|*.*||");

struct FileRequest {
    QString title;
    QString filter;     // "Text (*.X)|*.X|All Files (*.*)|*.*" as the commands give it
    bool save = false;  // save variant (asks before replacing) or open variant
};

// Filter of the commands ("desc|pattern|desc|pattern[||]") as a Qt file dialog filter.
QString QtFileFilter(const QString& filter);

// A chosen path, or nothing when the user cancelled. The dialog starts at the
// name chosen last time.
using FileNameProvider = std::function<std::optional<QString>(QWidget* parent, const FileRequest&)>;
void SetFileNameProvider(FileNameProvider provider);   // empty: the real file dialog
std::optional<QString> AskFileName(QWidget* parent, const FileRequest& request);
QString LastFileName();

// A message box: icon, text, buttons; returns the button pressed.
using MessageProvider = std::function<QMessageBox::StandardButton(
    QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
    QMessageBox::StandardButtons buttons)>;
void SetMessageProvider(MessageProvider provider);      // empty: the real message box
QMessageBox::StandardButton AskUser(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                    const QString& text,
                                    QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// Log line and message for a failed operation (source: the operation and its argument).
void ReportFailure(const QString& source, const QString& description);

} // namespace quillon
