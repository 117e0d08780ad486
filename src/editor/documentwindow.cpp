#include "editor/documentwindow.h"
#include "editor/prompts.h"
#include "model/codepage.h"
#include "model/f52data.h"
#include "model/receiveddata.h"
#include "model/qlffile.h"
#include "model/f56f61data.h"
#include "editor/texteditordialog.h"
#include "editor/propertygrid.h"
#include "editor/fieldpalette.h"
#include "context/texts.h"
#include "editor/labelview.h"
#include <QCloseEvent>
#include <QSet>

namespace quillon {

DocumentWindow::DocumentWindow(const Tables& tables, QWidget* parent)
    : QMdiSubWindow(parent), m_doc(tables)
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new LabelView(m_doc, this);
    setWidget(m_view);
    resize(640, 480);

    connect(m_view, &LabelView::selectionChanged, this, [this](int field) {
        ResetProperty();
        const Label& l = label();
        emit statusText(field >= 0 && field < l.tables().g_arrFieldDef.size()
                            ? l.tables().g_arrFieldDef[field].Name : QString());
        emit stateChanged();
    });
    // Every canvas edit marks the label modified, a handle resize and the Delete
    // key included: otherwise closing would drop the change without asking.
    connect(m_view, &LabelView::fieldEdited, this, [this](int) {
        SetModifiedFlag();
        ResetProperty();
    });
    connect(m_view, &LabelView::fieldRemoved, this, [this](int) {
        SetModifiedFlag();
        ResetToolbox();
        ResetProperty();
    });
    connect(m_view, &LabelView::editTextRequested, this, &DocumentWindow::EditFieldText);
    connect(m_view, &LabelView::zoomRequested, this, &DocumentWindow::ApplyLabelScale);

    m_view->ApplyLabelScale(2.5f);
    label().m_bModified = false;
}

DocumentWindow::~DocumentWindow() = default;

void DocumentWindow::SetPanes(FieldPalette* toolbox, PropertyGrid* property)
{
    m_toolbox = toolbox;
    m_property = property;
}

void DocumentWindow::SetCaption(const QString& caption)
{
    setWindowTitle(caption);
    emit stateChanged();
}

bool DocumentWindow::IsUntitled() const
{
    return Caption().startsWith(QLatin1String("Quillon "));
}

float DocumentWindow::m_sngLabelScale() const { return m_view->m_sngLabelScale(); }

bool DocumentWindow::ConfirmEncodable(int fieldType)
{
    const Label& l = label();
    const Tables& t = l.tables();
    QString lost;
    auto collect = [&lost](const QString& chars) {
        for (QChar c : chars)
            if (!lost.contains(c))
                lost += c;
    };
    for (int i = 0; i < l.fieldCount(); ++i) {
        const FieldRecord& r = l.m_arrFields[i];
        if (fieldType < 0) {
            QStringList strings{r.strLogoSize};
            for (int j = 1; j <= kMaxTextLines; ++j)
                strings << r.strCharSize[j] << r.strText[j];
            for (const QString& s : strings) {
                bool lossless = true;
                ToAnsi(t.m_iAnsiCodepage, s, &lossless);
                if (!lossless) {
                    for (const QChar c : s) {
                        bool ok = true;
                        AnsiCode(t.m_iAnsiCodepage, c.unicode(), &ok);
                        if (!ok && !c.isSurrogate() && !lost.contains(c))
                            lost += c;
                    }
                    if (lost.isEmpty())
                        lost += QLatin1Char('?');   // characters outside the BMP
                }
            }
        } else if (l.fieldType(i) == fieldType && r.bUsed) {
            for (int j = 1; j <= r.iTextLine && j <= kMaxTextLines; ++j)
                collect(UnencodableCharacters(t, r.strText[j]));
        }
    }
    if (lost.isEmpty())
        return true;
    const QString text = GetLangString(QStringLiteral("Global"), QStringLiteral("msgUnencodableChars"))
                         + QStringLiteral("\n\n") + lost;
    return AskUser(this, QMessageBox::Warning, Caption(), text, QMessageBox::Yes | QMessageBox::No)
           == QMessageBox::Yes;
}

bool DocumentWindow::SaveToFile(const QString& strFileName)
{
    QString why;
    if (!LabelIsStorable(label(), &why)) {
        ReportFailure(QStringLiteral("SaveToFile ") + strFileName, why);
        return false;
    }
    if (!ConfirmEncodable(-1))
        return false;
    const Result r = quillon::SaveToFile(label(), strFileName);
    if (!r) {
        ReportFailure(QStringLiteral("SaveToFile ") + strFileName, r.error);
        return false;
    }
    label().m_bModified = false;
    SetCaption(strFileName);
    return true;
}

bool DocumentWindow::OpenFromFile(const QString& strFileName)
{
    // Read into a fresh label: a file that fails half-way must not leave a mix
    // of old and new fields behind a caption that looks saved.
    Label fresh(label().tables());
    const QlfReadResult r = OpenLabel(strFileName, fresh);
    if (r.error == QlfError::Format) {
        AskUser(this, QMessageBox::Critical, Caption(),
                GetLangString(QStringLiteral("Global"), QStringLiteral("msgFormatFileError")));
        return false;
    }
    if (!r.ok()) {
        ReportFailure(QStringLiteral("OpenFromFile ") + strFileName, r.message);
        return false;
    }
    const int selected = fresh.m_iSelected;
    label() = fresh;
    m_doc.ClearHistory();
    label().m_bModified = false;
    setWindowTitle(strFileName);
    m_view->ApplyLabelScale(m_view->m_sngLabelScale());
    AdjustAllLabels();
    SelectField(selected);
    ResetToolbox();
    label().m_bModified = false;
    emit stateChanged();
    return true;
}

bool DocumentWindow::ExportFormatData(const QString& strFileName)
{
    const Result r = quillon::ExportFormatData(label(), strFileName);
    if (!r)
        ReportFailure(QStringLiteral("ExportFormatData ") + strFileName, r.error);
    return r.ok;
}

bool DocumentWindow::ExportTextData(const QString& strFileName, qint32 iFieldType)
{
    if (!ConfirmEncodable(iFieldType))
        return false;
    const Result r = quillon::ExportTextData(label(), strFileName, iFieldType);
    if (!r)
        ReportFailure(QStringLiteral("ExportTextData ") + strFileName, r.error);
    return r.ok;
}

bool DocumentWindow::ImportTextData(const QString& strFileName, qint32 iFieldType)
{
    QList<int> changed;
    const Result r = quillon::ImportTextData(label(), strFileName, iFieldType, &changed);
    if (!r) {
        ReportFailure(QStringLiteral("ImportTextData ") + strFileName, r.error);
        return false;
    }
    for (int i : changed)
        AdjustLabel(i);
    SelectField(label().m_iSelected);
    ResetProperty();
    emit stateChanged();
    return true;
}

bool DocumentWindow::ImportFormatData(const QString& strData)
{
    const bool ok = ImportReceivedRecord(label(), strData, label().m_iScaleModelIndex);
    m_doc.ClearHistory();
    m_view->ApplyLabelScale(m_view->m_sngLabelScale());
    AdjustAllLabels();
    SelectField(-1);
    ResetToolbox();
    emit stateChanged();
    return ok;
}

bool DocumentWindow::Save()
{
    if (IsUntitled()) {
        const auto path = AskFileName(this, {QStringLiteral("Save"), kFormatFileFilter, true});
        if (!path)
            return false;
        return SaveToFile(*path);
    }
    return SaveToFile(Caption());
}

void DocumentWindow::Undo()
{
    afterHistoryStep(m_doc.Undo());
}

void DocumentWindow::Redo()
{
    afterHistoryStep(m_doc.Redo());
}

void DocumentWindow::afterHistoryStep(const QList<int>& fields)
{
    if (fields.isEmpty())
        return;
    for (int i : fields)
        AdjustLabel(i);
    SelectField(label().m_iSelected);
    ResetProperty();
    ResetToolbox();
    emit stateChanged();
}

void DocumentWindow::SetModifiedFlag(bool bModified)
{
    label().SetModifiedFlag(bModified);
    emit stateChanged();
}

void DocumentWindow::ResetProperty()
{
    if (m_property)
        m_property->ResetProperty(&m_doc);
}

void DocumentWindow::ResetToolbox()
{
    if (m_toolbox)
        m_toolbox->ResetToolbox(&label());
}

void DocumentWindow::Form_Activate()
{
    ResetToolbox();
    ResetProperty();
}

void DocumentWindow::ApplyLabelScale(float sngScale)
{
    m_view->ApplyLabelScale(sngScale);
    emit stateChanged();
}

void DocumentWindow::AdjustLabel(int iIndex) { m_view->AdjustLabel(iIndex); }
void DocumentWindow::AdjustAllLabels() { m_view->AdjustAllLabels(); }
void DocumentWindow::SelectField(int iIndex) { m_view->SelectField(iIndex); }

void DocumentWindow::PropertyChanged(int iTag, const QString& value)
{
    const PropertyChange c = m_doc.PropertyChanged(iTag, value);
    if (!c.refusal.isEmpty())
        AskUser(this, QMessageBox::Warning, Caption(), c.refusal);
    switch (c.kind) {
    case PropertyChange::Field:
        AdjustLabel(c.field);
        SelectField(c.field);
        break;
    case PropertyChange::LabelSize:
    case PropertyChange::ScaleModel:
        // Label size and dot size move every field: rebuild the canvas at the same zoom.
        m_view->ApplyLabelScale(m_view->m_sngLabelScale());
        AdjustAllLabels();
        break;
    case PropertyChange::Selection:
        SelectField(c.field);
        break;
    case PropertyChange::LabelOther:
    case PropertyChange::None:
        break;
    }
    if (c.kind != PropertyChange::None && c.kind != PropertyChange::Selection && c.refusal.isEmpty())
        label().SetModifiedFlag(true);
    ResetProperty();
    emit stateChanged();
}

void DocumentWindow::ToggleField(int iIndex)
{
    if (iIndex < 0 || iIndex >= label().fieldCount())
        return;
    SetModifiedFlag();
    UndoStep step(m_doc, iIndex);
    FieldRecord& rec = label().m_arrFields[iIndex];
    const bool shown = !rec.bUsed;
    rec.bUsed = shown;
    AdjustLabel(iIndex);
    step.Commit();
    if (shown)
        SelectField(iIndex);
    else if (iIndex == label().m_iSelected)
        SelectField(-1);
    ResetToolbox();
    m_view->setFocus();
    emit stateChanged();
}

void DocumentWindow::EditFieldText(int iIndex)
{
    if (iIndex < 0 || iIndex >= label().fieldCount())
        return;
    const qint32 type = label().fieldType(iIndex);
    if (type != FT_TEXT && type != FT_SHOPNAME)
        return;
    const FieldRecord before = label().m_arrFields[iIndex];
    TextEditorDialog dlg(label().tables(), this);
    dlg.Init(before.iTextLine, before.strText, before.strCharSize);
    dlg.exec();
    if (dlg.m_bCancel)
        return;
    UndoStep step(m_doc, iIndex);
    FieldRecord& rec = label().m_arrFields[iIndex];
    const int lines = qBound(0, int(dlg.m_iTextLine), kMaxTextLines);
    rec.iTextLine = qint16(lines);
    for (int j = 1; j <= lines; ++j) {
        rec.strText[j] = dlg.m_strText[j];
        rec.strCharSize[j] = dlg.m_strCharSize[j];
    }
    afterFieldEdit(iIndex, step);
}

void DocumentWindow::afterFieldEdit(int iIndex, UndoStep& step)
{
    AdjustLabel(iIndex);
    SelectField(iIndex);
    step.Commit();
    emit stateChanged();
    SetModifiedFlag();
    ResetProperty();
}

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    if (IsModified()) {
        const QString text = GetLangString(QStringLiteral("frmDocument"), QStringLiteral("msgWantQuit"))
                             + QStringLiteral(" \"") + Caption() + QStringLiteral("\"?");
        const auto answer = AskUser(this, QMessageBox::Information, Caption(), text,
                                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if ((answer != QMessageBox::Yes && answer != QMessageBox::No)
            || (answer == QMessageBox::Yes && !Save())) {
            // A failed or cancelled save keeps the window: closing now would lose the work.
            event->ignore();
            return;
        }
    }
    emit documentClosed(this);
    QMdiSubWindow::closeEvent(event);
}

} // namespace quillon
