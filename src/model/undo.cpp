#include "model/undo.h"

namespace quillon {

bool UndoRing::Record(const QList<FieldChange>& changes)
{
    QList<FieldChange> step;
    for (const FieldChange& c : changes)
        if (!FieldRecordsEqual(c.before, c.after))
            step.append(c);
    if (step.isEmpty())
        return false;
    m_slots[m_iUndoStackPoint] = step;
    m_iUndoStackPoint = NextNode(m_iUndoStackPoint);
    m_iUndoStackFront = m_iUndoStackPoint;
    if (m_iUndoStackRear == m_iUndoStackPoint)
        m_iUndoStackRear = NextNode(m_iUndoStackPoint);
    return true;
}

QList<int> UndoRing::Undo(Label& label)
{
    QList<int> restored;
    if (!canUndo())
        return restored;
    m_iUndoStackPoint = PrevNode(m_iUndoStackPoint);
    const QList<FieldChange>& step = m_slots[m_iUndoStackPoint];
    for (auto it = step.crbegin(); it != step.crend(); ++it) {
        if (it->index < 0 || it->index >= label.fieldCount())
            continue;
        label.m_arrFields[it->index] = it->before;
        restored.prepend(it->index);
    }
    return restored;
}

QList<int> UndoRing::Redo(Label& label)
{
    QList<int> restored;
    if (!canRedo())
        return restored;
    const QList<FieldChange>& step = m_slots[m_iUndoStackPoint];
    m_iUndoStackPoint = NextNode(m_iUndoStackPoint);
    for (const FieldChange& c : step) {
        if (c.index < 0 || c.index >= label.fieldCount())
            continue;
        label.m_arrFields[c.index] = c.after;
        restored.append(c.index);
    }
    return restored;
}

void UndoRing::Clear()
{
    m_iUndoStackPoint = m_iUndoStackRear = m_iUndoStackFront = 0;
    m_slots = {};
}

} // namespace quillon
