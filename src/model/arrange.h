#pragma once
// Working on several fields at once: aligning, distributing and sizing them alike,
// the lines a moved or resized box snaps to, and fields carried between labels.
#include "model/label.h"
#include <QByteArray>
#include <QList>
#include <QVector>
#include <optional>

namespace quillon {

enum class Arrange {
    AlignLeft, AlignRight, AlignTop, AlignBottom, AlignHCentre, AlignVCentre,
    DistributeH, DistributeV, SameWidth, SameHeight
};

// Applies `how` to the placed fields among `fields` (canvas boxes, kept inside the
// label and on whole dots). Alignment goes to the edge or centre of the fields'
// common box; distribution keeps the outer two and evens the gaps (three fields at
// least); the same-size commands take `reference`'s size. Returns the fields whose
// records changed.
QList<int> ArrangeFields(Label& label, const QList<int>& fields, Arrange how, int reference);

// The placed fields among `fields`, in index order.
QList<int> PlacedFields(const Label& label, const QList<int>& fields);
// Common box of the placed fields among `fields` (canvas mm); nothing when none is placed.
std::optional<FieldBox> CommonBox(Label& label, const QList<int>& fields);

// Lines (canvas mm from the left / top) a box may snap to: the label's edges and
// centre, and the edges and centres of the placed fields not in `moving`.
struct SnapLines {
    QVector<float> x, y;
};
SnapLines SnapTargets(Label& label, const QList<int>& moving);

// The smallest shift, at most `tolerance`, that puts one of `edges` on a line
// (one of `lines`, or a multiple of `gridStep` when that is above 0).
struct Snap {
    float shift = 0;
    float line = 0;
};
std::optional<Snap> SnapShift(const QVector<float>& edges, const QVector<float>& lines, float gridStep,
                              float tolerance);

// Fields on the clipboard: each with its catalogue index, name and type, so a
// label with another catalogue takes only the fields it has.
QByteArray FieldsToClipboard(const Label& label, const QList<int>& fields);
struct ClipboardField {
    int index = -1;
    FieldRecord record;
};
// The fields of clipboard data that this label's catalogue has (same index, name
// and type) and whose values are sound; anything else is left out.
QList<ClipboardField> FieldsFromClipboard(const Label& label, const QByteArray& data);
// Places the fields as they were copied (inside the label, on whole dots).
// Returns the fields changed.
QList<int> PasteFields(Label& label, const QList<ClipboardField>& fields);

} // namespace quillon
