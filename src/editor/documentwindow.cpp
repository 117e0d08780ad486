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

    connect(m_view, &LabelView::selectionChanged, this, [this](int) {
        ResetProperty();
        emit statusText(StatusText());
        emit stateChanged();
    });
    connect(m_view, &LabelView::contextMenuRequested, this, &DocumentWindow::contextMenuRequested);
    connect(m_view, &LabelView::fieldDropped, this, &DocumentWindow::PlaceField);
    connect(this, &DocumentWindow::stateChanged, this, &DocumentWindow::refreshTitle);
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
    m_caption = caption;
    refreshTitle();
    emit stateChanged();
}

void DocumentWindow::refreshTitle()
{
    const QString title = m_caption + (label().m_bModified ? QStringLiteral(" *") : QString());
    if (windowTitle() != title)
        setWindowTitle(title);
}

QString DocumentWindow::StatusText() const
{
    const Label& l = label();
    const int field = l.m_iSelected;
    const QList<int> sel = m_doc.selection();
    if (field < 0 || field >= l.tables().g_arrFieldDef.size())
        return {};
    const QString name = l.tables().g_arrFieldDef[field].Name;
    return sel.size() > 1 ? QStringLiteral("%1 (+%2)").arg(name).arg(sel.size() - 1) : name;
}

void DocumentWindow::ZoomToFit()
{
    ApplyLabelScale(m_view->FitScale());
}

void DocumentWindow::DeleteSelection()
{
    m_view->DeleteSelection();
}

void DocumentWindow::SelectAll()
{
    QList<int> all;
    for (int i = 0; i < label().fieldCount(); ++i)
        if (label().m_arrFields[i].bUsed)
            all << i;
    // The selected field stays the one the grid shows.
    all.removeAll(label().m_iSelected);
    if (label().m_iSelected >= 0 && label().m_arrFields[label().m_iSelected].bUsed)
        all << label().m_iSelected;
    m_view->SetSelection(all);
}

void DocumentWindow::ArrangeSelection(Arrange how)
{
    const QList<int> sel = m_doc.selection();
    UndoStep step(m_doc, sel);
    const QList<int> changed = ArrangeFields(label(), sel, how, label().m_iSelected);
    afterFieldsEdit(changed, step.Commit());
}

QByteArray DocumentWindow::CopySelection() const
{
    const QList<int> sel = m_doc.selection();
    return sel.isEmpty() ? QByteArray() : FieldsToClipboard(label(), sel);
}

bool DocumentWindow::Paste(const QByteArray& data)
{
    const QList<ClipboardField> fields = FieldsFromClipboard(label(), data);
    if (fields.isEmpty())
        return false;
    // Each catalogue field is on a label once: a paste onto a placed one replaces it.
    QStringList placed;
    QList<int> indices;
    for (const ClipboardField& f : fields) {
        indices << f.index;
        if (label().m_arrFields[f.index].bUsed)
            placed << label().tables().g_arrFieldDef.value(f.index).Name;
    }
    if (!placed.isEmpty()) {
        const QString text = GetLangString(QStringLiteral("frmDocument"), QStringLiteral("msgReplaceFields"))
                             + QStringLiteral("\n\n") + placed.join(QLatin1Char('\n'));
        if (AskUser(this, QMessageBox::Question, Caption(), text, QMessageBox::Yes | QMessageBox::No)
            != QMessageBox::Yes)
            return false;
    }
    UndoStep step(m_doc, indices);
    const QList<int> changed = PasteFields(label(), fields);
    afterFieldsEdit(changed, step.Commit());
    m_view->SetSelection(indices);
    return true;
}

void DocumentWindow::PlaceField(int iIndex, const QPointF& topLeftMM)
{
    if (iIndex < 0 || iIndex >= label().fieldCount())
        return;
    UndoStep step(m_doc, iIndex);
    FieldRecord& rec = label().m_arrFields[iIndex];
    rec.bUsed = true;
    FieldBox box = label().GetFieldSize(iIndex);
    box.left = float(topLeftMM.x());
    box.top = float(topLeftMM.y());
    label().SetFieldSize(iIndex, box);
    label().NormaliseField(iIndex);
    afterFieldsEdit({iIndex}, step.Commit());
    m_view->SetSelection({iIndex});
    m_view->setFocus();
}

void DocumentWindow::afterFieldsEdit(const QList<int>& fields, bool recorded)
{
    for (int i : fields)
        AdjustLabel(i);
    if (recorded)
        label().SetModifiedFlag(true);
    SelectField(label().m_iSelected);
    ResetToolbox();
    ResetProperty();
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
    emit saved();
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
    // Fields selected in the old label mean nothing in the new one.
    m_doc.SetSelection({});
    label() = fresh;
    m_doc.ClearHistory();
    label().m_bModified = false;
    m_caption = strFileName;
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
    m_doc.SetSelection({});
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
        const auto path = AskFileName(this, {QStringLiteral("Save"), kFormatFileFilter, true,
                                             ProposedFileName(this, kFormatFileFilter)});
        if (!path)
            return false;
        return SaveToFile(*path);
    }
    return SaveToFile(Caption());
}

// Not under a mouse drag: the drag's step records its fields when it ends.
void DocumentWindow::Undo()
{
    if (!m_view->isDragging())
        afterHistoryStep(m_doc.Undo());
}

void DocumentWindow::Redo()
{
    if (!m_view->isDragging())
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

bool DocumentWindow::MayDiscard()
{
    if (!IsModified())
        return true;
    const QString text = GetLangString(QStringLiteral("frmDocument"), QStringLiteral("msgWantQuit"))
                         + QStringLiteral(" \"") + Caption() + QStringLiteral("\"?");
    const auto answer = AskUser(this, QMessageBox::Information, Caption(), text,
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    // A failed or cancelled save keeps the label: going on now would lose the work.
    return answer == QMessageBox::No || (answer == QMessageBox::Yes && Save());
}

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    if (!MayDiscard()) {
        event->ignore();
        return;
    }
    emit documentClosed(this);
    QMdiSubWindow::closeEvent(event);
}

} // namespace quillon
