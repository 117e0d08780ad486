#pragma once
// The per-document history of field changes: a ring of 101 slots, at most 100 steps.
// A step holds every field one edit changed, so an edit of several fields undoes at once.
#include "model/label.h"
#include <QList>
#include <array>

namespace quillon {

struct FieldChange {
    int index = -1;
    FieldRecord before;
    FieldRecord after;
};

class UndoRing {
public:
    static constexpr int kSlots = 101;

    // Records one step of the changes whose records differ; false (nothing
    // recorded) when none does. A new step drops what could be redone.
    bool Record(const QList<FieldChange>& changes);
    // The fields restored, empty when there was nothing to undo or redo.
    QList<int> Undo(Label& label);
    QList<int> Redo(Label& label);
    void Clear();

    bool canUndo() const { return m_iUndoStackRear != m_iUndoStackPoint; }
    bool canRedo() const { return m_iUndoStackFront != m_iUndoStackPoint; }

private:
    static int NextNode(int i) { return (i + 1) % kSlots; }
    static int PrevNode(int i) { return (i + kSlots - 1) % kSlots; }

    int m_iUndoStackPoint = 0;
    int m_iUndoStackRear = 0;
    int m_iUndoStackFront = 0;
    std::array<QList<FieldChange>, kSlots> m_slots;
};

} // namespace quillon
