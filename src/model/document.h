#pragma once
// A document: a label with its undo ring and the property-edit rules. This is
// what a document window holds; the window only adds the drawing.
#include "model/label.h"
#include "model/undo.h"

namespace quillon {

// Property identifiers of the property grid (the iTag of PropertyChanged).
enum PropertyId : int {
    PROP_NAME = 1,
    PROP_LABEL_HEIGHT = 2, PROP_LABEL_HEIGHT_DOT = 3,
    PROP_LABEL_WIDTH = 4, PROP_LABEL_WIDTH_DOT = 5,
    PROP_FORMAT_NO = 6, PROP_SCALE_MODEL = 7,
    PROP_X = 8, PROP_X_DOT = 9, PROP_Y = 10, PROP_Y_DOT = 11,
    PROP_ANGLE = 12, PROP_PRINT_STATUS = 13,
    PROP_HEIGHT = 14, PROP_HEIGHT_DOT = 15, PROP_WIDTH = 16, PROP_WIDTH_DOT = 17,
    PROP_LOGO_SIZE = 18, PROP_THICKNESS = 19, PROP_THICKNESS_DOT = 20,
    PROP_IMAGE_NUMBER = 21, PROP_NUM_OF_FIGURES = 22,
    PROP_CHAR_SIZE_1 = 24, PROP_CHAR_SIZE_20 = 43
};

// Whether the property grid shows item iTag for a field of this type.
bool FieldHasProperty(qint32 type, int iTag);

// What a PropertyChanged call changed, so the window knows what to redraw.
struct PropertyChange {
    enum Kind { None, Field, LabelSize, LabelOther, ScaleModel, Selection } kind = None;
    int field = -1;          // the field changed or selected
    QString refusal;         // non-empty when the value was refused (the message to show)
};

class Document {
public:
    explicit Document(const Tables& tables) : m_label(tables) {}

    Label& label() { return m_label; }
    const Label& label() const { return m_label; }
    const UndoRing& undo() const { return m_undo; }

    // The fields restored, empty when nothing happened.
    QList<int> Undo() { return m_undo.Undo(m_label); }
    QList<int> Redo() { return m_undo.Redo(m_label); }
    // A label opened or received into the document starts a history of its own.
    void ClearHistory() { m_undo.Clear(); }

    // The selected fields, the label's selected one (m_iSelected) last; fields taken
    // off the label, or a selection that no longer holds m_iSelected, drop out.
    QList<int> selection() const;
    // Selects the placed fields among `fields`; the last becomes m_iSelected.
    void SetSelection(const QList<int>& fields);

    // Applies one edited property of the selected field or of the label with the
    // limits of the model; field edits are bracketed for undo and mark the label modified.
    PropertyChange PropertyChanged(int iTag, const QString& value);

private:
    friend class UndoStep;
    void applyFieldProperty(int field, int iTag, const QString& value);
    Label m_label;
    UndoRing m_undo;
    QList<int> m_selection;
};

// One edit of a document's fields as one undo step: the fields' records are
// taken when the step begins and the changed ones recorded when it ends (Commit,
// or leaving the scope). Edits that span events (a drag) keep the step in a member.
class UndoStep {
public:
    UndoStep(Document& doc, int field) : UndoStep(doc, QList<int>{field}) {}
    UndoStep(Document& doc, const QList<int>& fields);
    ~UndoStep() { Commit(); }
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

    // True when a step was recorded (some field changed); later calls record nothing.
    bool Commit();
    // Ends the step without recording it.
    void Cancel() { m_changes.clear(); }

private:
    Document& m_doc;
    QList<FieldChange> m_changes;
};

} // namespace quillon
