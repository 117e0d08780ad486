// The main window's file, data-exchange, print and picture-export commands.
#include "app/mainwindow.h"
#include "app/labelprint.h"
#include "app/labeltypedialog.h"
#include "app/recentfiles.h"
#include "context/appcontext.h"
#include "context/texts.h"
#include "editor/documentwindow.h"
#include "editor/prompts.h"
#include "render/labelpainter.h"
#include "model/datafile.h"
#include "model/receiveddata.h"
#include "platform/errorreport.h"
#include <QFileInfo>
#include <QMdiArea>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStatusBar>

namespace quillon {

namespace {

// An export never writes over a label file: Enter on a preselected .QLF would
// otherwise turn the saved label into a picture or data.
bool RefusedAsExportTarget(QWidget* parent, const QString& path)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("QLF"), Qt::CaseInsensitive) != 0)
        return false;
    AskUser(parent, QMessageBox::Warning, WithoutMnemonic(GetLangString(kMainSection, QStringLiteral("mnuFileExport"))),
            GetLangString(kMainSection, QStringLiteral("msgExportOverLabel")) + QStringLiteral("\n") + path);
    return true;
}

// A save or export dialog for the active label, starting beside it under its name.
std::optional<QString> AskExportName(QWidget* parent, const DocumentWindow* doc, const QString& title,
                                     const QString& filter)
{
    const std::optional<QString> path = AskFileName(parent, {title, filter, true, ProposedFileName(doc, filter)});
    if (path && RefusedAsExportTarget(parent, *path))
        return std::nullopt;
    return path;
}

} // namespace

DocumentWindow* MainWindow::NewDocument(bool ask)
{
    const Tables& t = m_ctx.tables;
    if (ask && t.g_arrScaleModel.isEmpty()) {
        // The chooser needs at least one model to offer.
        AskUser(this, QMessageBox::Warning, windowTitle(), GetLangString(kMainSection, QStringLiteral("msgNoScaleModel")));
        return nullptr;
    }
    ++m_lNewDocumentCount;
    auto* doc = new DocumentWindow(t);
    doc->SetCaption(QStringLiteral("Quillon ") + QString::number(m_lNewDocumentCount));
    AttachDocument(doc);
    if (ask) {
        int index = 0;
        if (m_chooseModel) {
            index = m_chooseModel();
        } else {
            LabelTypeDialog chooser(t, this);
            chooser.exec();
            index = chooser.m_iScaleModelIndex;
        }
        doc->label().m_iScaleModelIndex = qint16(qBound(0, index, int(t.g_arrScaleModel.size()) - 1));
        doc->AdjustAllLabels();
        doc->ResetProperty();
    }
    Update();
    return doc;
}

void MainWindow::OpenDocument()
{
    DocumentWindow* doc = activeDocument();
    // Unsaved changes are not dropped without a word, as closing does not drop them.
    if (doc && !doc->MayDiscard())
        return;
    const auto path = AskFileName(this, {QStringLiteral("Open"), kFormatFileFilter, false, {}});
    if (!path)
        return;
    // Without a document the file opens in a new window, which goes again if the file cannot be read.
    const bool fresh = !doc;
    if (fresh)
        doc = NewDocument(false);
    if (doc->OpenFromFile(*path)) {
        AddRecentFile(*path);
        LabelFileOpened(doc, *path);
        doc->Form_Activate();
        if (fresh)
            doc->ZoomToFit();
    } else if (fresh) {
        doc->close();
    }
}

bool MainWindow::OpenInNewDocument(const QString& path)
{
    if (path.endsWith(QLatin1String(".QLF"), Qt::CaseInsensitive)) {
        DocumentWindow* doc = NewDocument(false);
        if (!doc->OpenFromFile(path)) {
            doc->close();
            return false;
        }
        AddRecentFile(path);
        LabelFileOpened(doc, path);
        doc->Form_Activate();
        doc->ZoomToFit();
        return true;
    }
    if (ImportReceivedData(path, QString(), QString(), 0) > 0)
        return true;
    AskUser(this, QMessageBox::Critical, windowTitle(),
            GetLangString("Global", "msgFormatFileError") + QStringLiteral("\n") + path);
    return false;
}

void MainWindow::mnuFileSave_Click()
{
    DocumentWindow* doc = activeDocument();
    if (doc && doc->Save())
        AddRecentFile(doc->Caption());
}

void MainWindow::SaveDocumentAs()
{
    DocumentWindow* doc = activeDocument();
    if (!doc)
        return;
    const auto path = AskFileName(this, {QStringLiteral("Save As"), kFormatFileFilter, true,
                                         ProposedFileName(doc, kFormatFileFilter)});
    if (!path)
        return;
    if (doc->SaveToFile(*path))
        AddRecentFile(*path);
}

void MainWindow::ExportAll()
{
    ExportFormat();
    ExportText();
    ExportShopName();
}

void MainWindow::ExportFormat()
{
    DocumentWindow* doc = activeDocument();
    if (!doc)
        return;
    if (const auto path = AskExportName(this, doc, GetLangString(kMainSection, QStringLiteral("msgExportFormatTo")), kDataFileFilter))
        doc->ExportFormatData(*path);
}

void MainWindow::ExportText()
{
    DocumentWindow* doc = activeDocument();
    if (!doc)
        return;
    if (const auto path = AskExportName(this, doc, GetLangString(kMainSection, QStringLiteral("msgExportTextTo")), kDataFileFilter))
        doc->ExportTextData(*path, FT_TEXT);
}

void MainWindow::ExportShopName()
{
    DocumentWindow* doc = activeDocument();
    if (!doc)
        return;
    if (const auto path = AskExportName(this, doc, GetLangString(kMainSection, QStringLiteral("msgExportShopNameTo")), kDataFileFilter))
        doc->ExportTextData(*path, FT_SHOPNAME);
}

void MainWindow::ImportAll()
{
    ImportFormat();
    ImportText();
    ImportShopName();
}

void MainWindow::ImportFormat()
{
    if (const auto path = AskFileName(this, {GetLangString(kMainSection, QStringLiteral("msgImportFormatFrom")), kDataFileFilter, false, {}}))
        ImportReceivedData(*path, QString(), QString(), 0);
}

void MainWindow::ImportText()
{
    DocumentWindow* doc = activeDocument();
    if (!doc)
        return;
    if (const auto path = AskFileName(this, {GetLangString(kMainSection, QStringLiteral("msgImportTextFrom")), kDataFileFilter, false, {}}))
        if (doc->ImportTextData(*path, FT_TEXT))
            doc->SetModifiedFlag();
}

void MainWindow::ImportShopName()
{
    DocumentWindow* doc = activeDocument();
    if (!doc)
        return;
    if (const auto path = AskFileName(this, {GetLangString(kMainSection, QStringLiteral("msgImportShopNameFrom")), kDataFileFilter, false, {}}))
        if (doc->ImportTextData(*path, FT_SHOPNAME))
            doc->SetModifiedFlag();
}

int MainWindow::ImportReceivedData(const QString& formatFile, const QString& textFile,
                                const QString& shopNameFile, int model)
{
    QByteArray raw;
    const Result read = ReadFirstLine(formatFile, &raw);
    if (!read)
        ReportError(QStringLiteral("ImportReceivedData ") + formatFile, read.error);
    const QString line = QString::fromLatin1(raw).trimmed();
    int opened = 0;
    const ReceivedFormatData data = SplitReceivedFormatData(line);
    if (data.dropped > 0) {
        ReportError(QStringLiteral("ImportReceivedData ") + formatFile,
                    QStringLiteral("The file holds %1 format records; only the first %2 were opened.")
                        .arg(data.records.size() + data.dropped)
                        .arg(kMaxReceivedRecords));
    }
    for (const QString& record : data.records) {
        DocumentWindow* doc = NewDocument(false);
        doc->label().m_iScaleModelIndex = qint16(model);
        doc->ImportFormatData(record);
        if (!textFile.isEmpty())
            doc->ImportTextData(textFile, FT_TEXT);
        if (!shopNameFile.isEmpty())
            doc->ImportTextData(shopNameFile, FT_SHOPNAME);
        doc->SetModifiedFlag();
        doc->ZoomToFit();
        ++opened;
    }
    if (!data.trailing.isEmpty()) {
        // Say so rather than drop a cut-off record without a word.
        ReportError(QStringLiteral("ImportReceivedData ") + formatFile,
                    QStringLiteral("The file ends with an incomplete format record (%1 characters); it was not imported.")
                        .arg(data.trailing.size()));
    }
    if (DocumentWindow* doc = activeDocument())
        doc->ResetProperty();
    Update();
    return opened;
}

// --- printing and picture export ---------------------------------------------------

void MainWindow::PrintPreview()
{
    DocumentWindow* doc = activeDocument();
    if (!doc)
        return;
    QPrinter printer(QPrinter::HighResolution);
    if (!SetUpPrinterForLabel(printer, doc->label())) {
        ReportFailure(QStringLiteral("PrintPreview ") + doc->Caption(), GetLangString(kMainSection, QStringLiteral("msgLabelHasNoSize")));
        return;
    }
    printer.setDocName(QFileInfo(doc->Caption()).fileName());
    QPrintPreviewDialog dlg(&printer, this);
    dlg.setWindowTitle(WithoutMnemonic(GetLangString(kMainSection, QStringLiteral("mnuFilePrintPreview"))));
    // A copy: the preview may repaint after the document has changed or closed.
    const Label label = doc->label();
    const SampleItem sample = SampleFor(doc);
    connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg,
            [label, sample](QPrinter* p) { PrintLabel(*p, label, sample); });
    if (m_runPreview)
        m_runPreview(dlg);
    else
        dlg.exec();
}

void MainWindow::PrintDocument()
{
    DocumentWindow* doc = activeDocument();
    if (!doc)
        return;
    QPrinter printer(QPrinter::HighResolution);
    const QString source = QStringLiteral("PrintLabel ") + doc->Caption();
    if (!SetUpPrinterForLabel(printer, doc->label())) {
        ReportFailure(source, GetLangString(kMainSection, QStringLiteral("msgLabelHasNoSize")));
        return;
    }
    printer.setDocName(QFileInfo(doc->Caption()).fileName());
    const Label label = doc->label();
    bool accepted = false;
    if (m_runPrintDialog) {
        accepted = m_runPrintDialog(printer);
    } else {
        QPrintDialog dlg(&printer, this);
        accepted = dlg.exec() == QDialog::Accepted;
    }
    if (!accepted)
        return;
    // The dialog may have chosen another paper; the label keeps its own size.
    SetUpPrinterForLabel(printer, label);
    if (!PrintLabel(printer, label, SampleFor(doc)))
        ReportFailure(source, GetLangString(kMainSection, QStringLiteral("msgPrintFailed")));
}

void MainWindow::ExportPdf()
{
    DocumentWindow* doc = activeDocument();
    if (!doc)
        return;
    const auto path = AskExportName(this, doc, GetLangString(kMainSection, QStringLiteral("msgExportPdfTo")),
                                    GetLangString(kMainSection, QStringLiteral("dlgPdfFilter")));
    if (!path)
        return;
    const SampleItem sample = SampleFor(doc);
    const Result r = RenderLabelToPdf(doc->label(), *path, &sample);
    if (!r)
        ReportFailure(QStringLiteral("ExportPdf ") + *path, r.error);
    else
        statusBar()->showMessage(GetLangString(kMainSection, QStringLiteral("msgExportedTo")) + QLatin1Char(' ') + *path, 5000);
}

void MainWindow::ExportPng()
{
    DocumentWindow* doc = activeDocument();
    if (!doc)
        return;
    const auto path = AskExportName(this, doc, GetLangString(kMainSection, QStringLiteral("msgExportPngTo")),
                                    GetLangString(kMainSection, QStringLiteral("dlgPngFilter")));
    if (!path)
        return;
    const Result r = ExportLabelPng(doc->label(), doc->m_sngLabelScale(), *path, SampleFor(doc));
    if (!r)
        ReportFailure(QStringLiteral("ExportPng ") + *path, r.error);
    else
        statusBar()->showMessage(GetLangString(kMainSection, QStringLiteral("msgExportedTo")) + QLatin1Char(' ') + *path, 5000);
}

} // namespace quillon
