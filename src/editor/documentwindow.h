#pragma once
// The document window: one label being edited, its canvas, and the operations
// the main window calls on the active document.
#include "model/arrange.h"
#include "model/document.h"
#include <QMdiSubWindow>

namespace quillon {

class LabelView;
class FieldPalette;
class PropertyGrid;

class DocumentWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit DocumentWindow(const Tables& tables, QWidget* parent = nullptr);
    ~DocumentWindow() override;

    Document& document() { return m_doc; }
    const Document& document() const { return m_doc; }
    Label& label() { return m_doc.label(); }
    const Label& label() const { return m_doc.label(); }
    LabelView* labelView() const { return m_view; }

    // The palette and the grid that show the active document (either may be null).
    void SetPanes(FieldPalette* toolbox, PropertyGrid* property);

    // The caption is the file path once saved or opened, "Quillon N" before. The
    // window title adds a "*" while the label has unsaved changes.
    QString Caption() const { return m_caption; }
    // The shop barcode format the label is previewed with ("" for the sample data's own).
    QString BarcodeFormatName() const { return m_barcodeFormat; }
    void SetBarcodeFormatName(const QString& name) { m_barcodeFormat = name; }
    void SetCaption(const QString& caption);
    bool IsUntitled() const;

    float m_sngLabelScale() const;
    bool IsModified() const { return label().m_bModified; }

    // File operations: failures are shown to the user and leave the document as it was.
    bool SaveToFile(const QString& strFileName);
    bool OpenFromFile(const QString& strFileName);
    bool ExportFormatData(const QString& strFileName);
    bool ExportTextData(const QString& strFileName, qint32 iFieldType);
    bool ImportTextData(const QString& strFileName, qint32 iFieldType);
    // One format record; false when its length did not match (format number taken only).
    bool ImportFormatData(const QString& strData);
    // Save to the caption's path, or ask for one while untitled. True when written.
    bool Save();
    // Asks whether to save unsaved changes before they are dropped (Yes/No/Cancel).
    // True when the label may go: saved, unmodified, or the user said No.
    bool MayDiscard();

    void Undo();
    void Redo();
    void SetModifiedFlag(bool bModified = true);
    void ResetProperty();
    void ResetToolbox();
    void Form_Activate();
    void ApplyLabelScale(float sngScale);
    void AdjustLabel(int iIndex);
    void AdjustAllLabels();
    void SelectField(int iIndex);
    // After an edit recorded as an undo step: the undo commands need a refresh.
    void UndoStepRecorded() { emit stateChanged(); }

    // Zooms so that the whole label and its rulers fit the window.
    void ZoomToFit();
    // The selected field's name for the status bar ("" when none).
    QString StatusText() const;

    // Editing commands on the selection, each one undo step.
    void DeleteSelection();
    void SelectAll();
    void ArrangeSelection(Arrange how);
    // The selected fields as clipboard data ("" when none is selected).
    QByteArray CopySelection() const;
    // Places the fields of clipboard data as they were copied; asks before replacing
    // fields already on the label. False when nothing was pasted.
    bool Paste(const QByteArray& data);
    // Puts a palette field on the label with its top-left corner at this point (mm).
    void PlaceField(int iIndex, const QPointF& topLeftMM);

    // An edited item of the property grid.
    void PropertyChanged(int iTag, const QString& value);
    // A palette click: puts the field on the label or takes it off, as one undo step.
    void ToggleField(int iIndex);
    // The text editor for a TEXT or SHOPNAME field; the lines become one undo step.
    void EditFieldText(int iIndex);

    // Asks before a save or an export that would turn characters into "?".
    // fieldType -1: every string of the label in the workstation code page (format
    // file); 10 or 11: the lines of those fields in the scale's encoding.
    bool ConfirmEncodable(int fieldType);

signals:
    // Modified flag, undo positions, zoom or caption changed: the commands need a refresh.
    void stateChanged();
    // Text for the status bar (the selected field's name).
    void statusText(const QString& text);
    // A right click on the canvas, at this global position.
    void contextMenuRequested(const QPoint& globalPos);
    // The window is closing for good (the panes must stop showing it).
    void documentClosed(DocumentWindow* doc);
    // The label was written to the file its caption names.
    void saved();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void afterFieldEdit(int iIndex, UndoStep& step);
    // After an edit of several fields (recorded or not): redraw, panes, flag.
    void afterFieldsEdit(const QList<int>& fields, bool recorded);
    void refreshTitle();
    // Redraws the fields an undo or redo restored.
    void afterHistoryStep(const QList<int>& fields);

    Document m_doc;
    QString m_caption;
    QString m_barcodeFormat;
    LabelView* m_view = nullptr;
    FieldPalette* m_toolbox = nullptr;
    PropertyGrid* m_property = nullptr;
};

} // namespace quillon
