#pragma once
// The document window: one label being edited, its canvas, and the operations
// the main window calls on the active document.
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

    // The caption is the file path once saved or opened, "Quillon N" before.
    QString Caption() const { return windowTitle(); }
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
    // The window is closing for good (the panes must stop showing it).
    void documentClosed(DocumentWindow* doc);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void afterFieldEdit(int iIndex, UndoStep& step);
    // Redraws the fields an undo or redo restored.
    void afterHistoryStep(const QList<int>& fields);

    Document m_doc;
    LabelView* m_view = nullptr;
    FieldPalette* m_toolbox = nullptr;
    PropertyGrid* m_property = nullptr;
};

} // namespace quillon
