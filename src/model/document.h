#pragma once
// A document: a label with its undo ring and the property-edit rules. This is
// what a document window holds; the window only adds the drawing.
#include "label.h"
#include "undo.h"

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
    UndoRing& undo() { return m_undo; }
    const UndoRing& undo() const { return m_undo; }

    // Undo bracket around an edit of one field.
    void SaveInitStatus(int iIndex) { m_undo.SaveInitStatus(m_label, iIndex); }
    void AddToUndoStack(int iIndex) { m_undo.AddToUndoStack(m_label, iIndex); }
    // Return the field index restored, -1 when nothing happened.
    int Undo() { return m_undo.Undo(m_label); }
    int Redo() { return m_undo.Redo(m_label); }

    // Applies one edited property of the selected field or of the label with the
    // limits of the model; field edits are bracketed for undo and mark the label modified.
    PropertyChange PropertyChanged(int iTag, const QString& value);

private:
    Label m_label;
    UndoRing m_undo;
};

} // namespace quillon
