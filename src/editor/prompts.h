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
    QString proposed;   // the path the dialog starts with; "" for the name chosen last time
};

// The suffix of the filter's first pattern ("QLF" for "*.QLF"), "" when it has none.
QString FilterSuffix(const QString& filter);
// A saved file's path as typed, with the filter's suffix when the user typed none.
QString WithFilterSuffix(const QString& path, const QString& filter);

// Filter of the commands ("desc|pattern|desc|pattern[||]") as a Qt file dialog filter.
QString QtFileFilter(const QString& filter);

// Where a save or export of a document proposes to write: beside its label file
// under the label's name with the filter's suffix; an untitled one by its caption
// in the folder chosen last.
class DocumentWindow;
QString ProposedFileName(const DocumentWindow* doc, const QString& filter);

// A chosen path, or nothing when the user cancelled. The dialog starts at the
// proposed path, or at the name chosen last time. A save adds the filter's
// suffix to a name typed without one.
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
