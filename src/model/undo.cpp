#include "undo.h"

namespace quillon {

void UndoRing::SaveInitStatus(const Label& label, int iIndex)
{
    if (iIndex >= 0 && iIndex < label.fieldCount())
        m_recInitStatus = label.m_arrFields[iIndex];
}

void UndoRing::AddToUndoStack(const Label& label, int iIndex)
{
    if (iIndex < 0 || iIndex >= label.fieldCount())
        return;
    const FieldRecord& now = label.m_arrFields[iIndex];
    if (FieldRecordsEqual(m_recInitStatus, now))
        return;
    Slot& s = m_slots[m_iUndoStackPoint];
    s.index = iIndex;
    s.before = m_recInitStatus;
    s.after = now;
    m_iUndoStackPoint = NextNode(m_iUndoStackPoint);
    m_iUndoStackFront = m_iUndoStackPoint;
    if (m_iUndoStackRear == m_iUndoStackPoint)
        m_iUndoStackRear = NextNode(m_iUndoStackPoint);
}

int UndoRing::Undo(Label& label)
{
    if (m_iUndoStackPoint == m_iUndoStackRear)
        return -1;
    m_iUndoStackPoint = PrevNode(m_iUndoStackPoint);
    const Slot& s = m_slots[m_iUndoStackPoint];
    if (s.index < 0 || s.index >= label.fieldCount())
        return -1;
    label.m_arrFields[s.index] = s.before;
    return s.index;
}

int UndoRing::Redo(Label& label)
{
    if (m_iUndoStackPoint == m_iUndoStackFront)
        return -1;
    const Slot& s = m_slots[m_iUndoStackPoint];
    m_iUndoStackPoint = NextNode(m_iUndoStackPoint);
    if (s.index < 0 || s.index >= label.fieldCount())
        return -1;
    label.m_arrFields[s.index] = s.after;
    return s.index;
}

} // namespace quillon
