#pragma once
// The per-document history of field changes: a ring of 101 slots, at most 100 steps.
#include "label.h"
#include <array>

namespace quillon {

class UndoRing {
public:
    static constexpr int kSlots = 101;

    static int NextNode(int i) { return (i + 1) % kSlots; }
    static int PrevNode(int i) { return (i + kSlots - 1) % kSlots; }

    void SaveInitStatus(const Label& label, int iIndex);
    void AddToUndoStack(const Label& label, int iIndex);
    int Undo(Label& label);   // field index restored, -1 when nothing to undo
    int Redo(Label& label);   // field index restored, -1 when nothing to redo

    bool canUndo() const { return m_iUndoStackRear != m_iUndoStackPoint; }
    bool canRedo() const { return m_iUndoStackFront != m_iUndoStackPoint; }

    int m_iUndoStackPoint = 0;
    int m_iUndoStackRear = 0;
    int m_iUndoStackFront = 0;
    FieldRecord m_recInitStatus;

private:
    struct Slot {
        int index = -1;
        FieldRecord before;
        FieldRecord after;
    };
    std::array<Slot, kSlots> m_slots;
};

} // namespace quillon
