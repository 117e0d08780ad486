#pragma once
// A label: its size, format number, scale model and one FieldRecord per
// catalogue entry. A value type: copy it, compare it, keep it in the undo ring.
#include "model/tables.h"
#include <QString>
#include <QVector>
#include <array>

namespace quillon {

constexpr int kMaxTextLines = 20;

struct FieldRecord {
    bool bUsed = false;
    float sngX = 0;          // mm from the label's left edge
    float sngY = 0;          // mm from the label's bottom edge (Y grows upwards)
    qint32 lAttribute = 0;   // bits 14-15 rotation, bits 4-13 print status * 16
    float sngHeight = 0;     // own height, before rotation
    float sngWidth = 0;      // own width, before rotation
    qint16 iReserved = 0;
    QString strLogoSize;
    double dblThickness = 0;
    qint16 iImageNumber = 0;
    qint16 iNumOfFigures = 0;
    qint16 iTextLine = 0;    // 0..20
    std::array<QString, kMaxTextLines + 1> strCharSize; // 1-based: [1]..[20]; [0] unused
    std::array<QString, kMaxTextLines + 1> strText;     // 1-based: [1]..[20]; [0] unused

    int rotation() const { return int((quint32(lAttribute) >> 14) & 3); }   // lAttribute \ 16384 for 0..65535
    int printStatus() const { return int((lAttribute & 0x3FFF) / 16); }
};

bool FieldRecordsEqual(const FieldRecord& a, const FieldRecord& b);
inline bool operator==(const FieldRecord& a, const FieldRecord& b) { return FieldRecordsEqual(a, b); }

// Canvas box of a field: mm from the label's top-left corner, as drawn, after
// rotation. The record keeps another frame (its origin at the label's bottom
// left, its size before rotation); GetFieldSize and SetFieldSize are the only
// crossings, so the two cannot be mixed up.
struct FieldBox {
    float left = 0, top = 0, width = 0, height = 0;
};

class Label {
public:
    // A new label as a document window starts it: format 1, 55 x 50 mm, model 0,
    // every field given its catalogue defaults (InitField), nothing selected.
    explicit Label(const Tables& tables);

    const Tables& tables() const { return *m_tables; }

    qint16 m_iHoriRulerWidth = 55;   // whole mm
    qint16 m_iVertRulerHeight = 50;  // whole mm
    qint16 m_iFormatNo = 1;          // 1..99
    qint16 m_iScaleModelIndex = 0;   // index into g_arrScaleModel
    qint16 m_iSelected = -1;
    bool m_bModified = false;
    QVector<FieldRecord> m_arrFields; // one per catalogue entry

    int fieldCount() const { return int(m_arrFields.size()); }
    qint32 fieldType(int i) const;   // catalogue type of field i

    void InitField(int iFieldNo);
    // Canvas box of field i; for N1 the size is first recomputed from its font and
    // figures and stored (hence non-const).
    FieldBox GetFieldSize(int iIndex);
    // Limits the box to the label (at least 1 mm), snaps it to dots and stores it
    // into the record according to the rotation. Returns the box as stored.
    FieldBox SetFieldSize(int iIndex, FieldBox box);
    // GetFieldSize then SetFieldSize: the normalisation every redraw applies.
    FieldBox NormaliseField(int iIndex);

    float GetMMPerKDot() const;       // MM_PER_KDOT of the label's model (125 when the table is empty)
    float AdjustMMtoDot(float sngMM) const;
    qint16 MMToDot(float mm) const;
    float DotToMM(float dots) const;

    void SetModifiedFlag(bool bModified = true) { m_bModified = bModified; }

    bool operator==(const Label& o) const;
    bool operator!=(const Label& o) const { return !(*this == o); }

private:
    const Tables* m_tables;
};

} // namespace quillon
