#include "model/document.h"
#include "model/qlffile.h"
#include "model/numberspelling.h"

namespace quillon {

namespace {

// Typed numbers are bounded before they become Singles, so no edit can store inf.
float typedNumber(const QString& value) { return float(qBound(-1.0e6, Val(value), 1.0e6)); }

} // namespace

PropertyChange Document::PropertyChanged(int iTag, const QString& value)
{
    PropertyChange change;
    Label& l = m_label;
    const Tables& t = l.tables();
    if (!QlfForbiddenCharacters(value).isEmpty()) {
        change.refusal = t.msgValueForbiddenChars;
        return change;
    }

    switch (iTag) {
    case PROP_NAME:
        for (int i = 0; i < l.fieldCount(); ++i) {
            if (t.g_arrFieldDef[i].Name == value) {
                l.m_iSelected = qint16(i);
                change.kind = PropertyChange::Selection;
                change.field = i;
                break;
            }
        }
        return change;
    case PROP_LABEL_HEIGHT:
    case PROP_LABEL_HEIGHT_DOT:
    case PROP_LABEL_WIDTH:
    case PROP_LABEL_WIDTH_DOT: {
        const bool dots = iTag == PROP_LABEL_HEIGHT_DOT || iTag == PROP_LABEL_WIDTH_DOT;
        const bool height = iTag == PROP_LABEL_HEIGHT || iTag == PROP_LABEL_HEIGHT_DOT;
        float mm = dots ? l.DotToMM(typedNumber(value)) : l.AdjustMMtoDot(typedNumber(value));
        const int model = l.m_iScaleModelIndex;
        if (model >= 0 && model < t.g_arrScaleModel.size()) {
            const ScaleModel& m = t.g_arrScaleModel[model];
            mm = height ? Clamp(mm, float(m.MAX_HEIGHT), float(m.MIN_HEIGHT))
                        : Clamp(mm, float(m.MAX_WIDTH), float(m.MIN_WIDTH));
        } else {
            mm = Clamp(mm, 32767.0f, 1.0f);
        }
        (height ? l.m_iVertRulerHeight : l.m_iHoriRulerWidth) = CInt(mm);
        l.SetModifiedFlag(true);
        change.kind = PropertyChange::LabelSize;
        return change;
    }
    case PROP_FORMAT_NO: {
        // Negative entries count like positive ones: a format number is 1 to 99.
        qint32 n = CLng(Val(value)) % 100;
        if (n < 0)
            n = -n;
        l.m_iFormatNo = qint16(n == 0 ? 1 : n);
        l.SetModifiedFlag(true);
        change.kind = PropertyChange::LabelOther;
        return change;
    }
    case PROP_SCALE_MODEL:
        l.m_iScaleModelIndex = qint16(ScaleModelIndexByName(t, value));
        l.SetModifiedFlag(true);
        change.kind = PropertyChange::ScaleModel;
        return change;
    default:
        break;
    }

    const int i = l.m_iSelected;
    if (i < 0 || i >= l.fieldCount())
        return change;
    if (iTag == PROP_ANGLE) {
        const QString v = value.trimmed();
        if (v != u"0" && v != u"90" && v != u"180" && v != u"270") {
            change.refusal = t.msgAngleChoices;
            return change;
        }
    }
    const bool known = (iTag >= PROP_X && iTag <= PROP_NUM_OF_FIGURES)
        || (iTag >= PROP_CHAR_SIZE_1 && iTag <= PROP_CHAR_SIZE_20);
    if (!known)
        return change;

    // A selection of several fields takes the value where its type shows the item.
    QList<int> fields;
    for (int f : selection())
        if (f == i || FieldHasProperty(l.fieldType(f), iTag))
            fields << f;
    if (!fields.contains(i))
        fields << i;
    UndoStep step(*this, fields);
    l.SetModifiedFlag(true);
    for (int f : fields)
        applyFieldProperty(f, iTag, value);
    step.Commit();
    change.kind = PropertyChange::Field;
    change.field = i;
    return change;
}

void Document::applyFieldProperty(int i, int iTag, const QString& value)
{
    Label& l = m_label;
    FieldRecord& r = l.m_arrFields[i];
    const float mm = l.AdjustMMtoDot(typedNumber(value));
    const float fromDots = l.DotToMM(typedNumber(value));
    switch (iTag) {
    case PROP_X: r.sngX = mm; break;
    case PROP_X_DOT: r.sngX = fromDots; break;
    case PROP_Y: r.sngY = mm; break;
    case PROP_Y_DOT: r.sngY = fromDots; break;
    case PROP_ANGLE:
        r.lAttribute = CLng(Val(value) / 90 * 16384) | (r.lAttribute & 0x3FFF);
        break;
    case PROP_PRINT_STATUS: {
        const double code = value.isEmpty() ? 0 : Val(value.left(1));
        r.lAttribute = CLng(code * 16) | (r.lAttribute & ~0x3FFF);
        break;
    }
    case PROP_HEIGHT: r.sngHeight = mm; break;
    case PROP_HEIGHT_DOT: r.sngHeight = fromDots; break;
    case PROP_WIDTH: r.sngWidth = mm; break;
    case PROP_WIDTH_DOT: r.sngWidth = fromDots; break;
    case PROP_LOGO_SIZE: r.strLogoSize = value; break;
    // The format data holds the thickness in 16-bit dots, the image number and the
    // figures in two decimal figures: keep what is stored within what the scale reads.
    case PROP_THICKNESS: r.dblThickness = Clamp(mm, l.DotToMM(32767), 0.0f); break;
    case PROP_THICKNESS_DOT: r.dblThickness = Clamp(fromDots, l.DotToMM(32767), 0.0f); break;
    case PROP_IMAGE_NUMBER: r.iImageNumber = Clamp<qint16>(CInt(Val(value)), 99, 0); break;
    case PROP_NUM_OF_FIGURES: r.iNumOfFigures = Clamp<qint16>(CInt(Val(value)), 99, 0); break;
    default: r.strCharSize[iTag - PROP_CHAR_SIZE_1 + 1] = value; break;
    }
    // The window redraws the field before the step is recorded, so the step
    // holds the field as drawn: inside the label and on whole dots.
    l.NormaliseField(i);
}

bool FieldHasProperty(qint32 type, int iTag)
{
    if (iTag >= PROP_X && iTag <= PROP_WIDTH_DOT)
        return true;
    const bool chars = type == FT_C1 || type == FT_C2 || type == FT_C3 || type == FT_C4 || type == FT_TEXT
                       || type == FT_SHOPNAME || type == FT_N1;
    switch (iTag) {
    case PROP_LOGO_SIZE: return type == FT_B2;
    case PROP_THICKNESS: case PROP_THICKNESS_DOT: return type == FT_B3;
    case PROP_IMAGE_NUMBER: return type == FT_B4;
    case PROP_NUM_OF_FIGURES: return type == FT_B5 || type == FT_N1;
    default: return chars && iTag >= PROP_CHAR_SIZE_1 && iTag <= PROP_CHAR_SIZE_20;
    }
}

QList<int> Document::selection() const
{
    const Label& l = m_label;
    auto placed = [&l](int f) { return f >= 0 && f < l.fieldCount() && l.m_arrFields[f].bUsed; };
    const int primary = l.m_iSelected;
    if (!placed(primary))
        return {};
    if (!m_selection.contains(primary))
        return {primary};
    QList<int> out;
    for (int f : m_selection)
        if (f != primary && placed(f) && !out.contains(f))
            out << f;
    out << primary;
    return out;
}

void Document::SetSelection(const QList<int>& fields)
{
    m_selection.clear();
    for (int f : fields)
        if (f >= 0 && f < m_label.fieldCount() && m_label.m_arrFields[f].bUsed && !m_selection.contains(f))
            m_selection << f;
    m_label.m_iSelected = m_selection.isEmpty() ? qint16(-1) : qint16(m_selection.last());
}

UndoStep::UndoStep(Document& doc, const QList<int>& fields) : m_doc(doc)
{
    for (int i : fields)
        if (i >= 0 && i < doc.m_label.fieldCount())
            m_changes.append({i, doc.m_label.m_arrFields[i], {}});
}

bool UndoStep::Commit()
{
    if (m_changes.isEmpty())
        return false;
    for (FieldChange& c : m_changes)
        c.after = m_doc.m_label.m_arrFields[c.index];
    const bool recorded = m_doc.m_undo.Record(m_changes);
    m_changes.clear();
    return recorded;
}

} // namespace quillon
