#include "model/label.h"
#include "model/units.h"
#include "model/numberspelling.h"

namespace quillon {

bool FieldRecordsEqual(const FieldRecord& a, const FieldRecord& b)
{
    return a.bUsed == b.bUsed && a.sngX == b.sngX && a.sngY == b.sngY && a.lAttribute == b.lAttribute
        && a.sngHeight == b.sngHeight && a.sngWidth == b.sngWidth && a.iReserved == b.iReserved
        && a.strLogoSize == b.strLogoSize && a.dblThickness == b.dblThickness
        && a.iImageNumber == b.iImageNumber && a.iNumOfFigures == b.iNumOfFigures
        && a.iTextLine == b.iTextLine && a.strCharSize == b.strCharSize && a.strText == b.strText;
}

Label::Label(const Tables& tables)
    : m_tables(&tables)
{
    m_arrFields.resize(tables.g_arrFieldDef.size());
    for (int i = 0; i < fieldCount(); ++i)
        InitField(i);
}

qint32 Label::fieldType(int i) const
{
    if (i < 0 || i >= m_tables->g_arrFieldDef.size())
        return FT_B1;
    return m_tables->g_arrFieldDef[i].FieldType;
}

void Label::InitField(int iFieldNo)
{
    if (iFieldNo < 0 || iFieldNo >= fieldCount() || iFieldNo >= m_tables->g_arrFieldDef.size())
        return;
    const FieldDef& def = m_tables->g_arrFieldDef[iFieldNo];
    FieldRecord& r = m_arrFields[iFieldNo];
    r.sngX = def.X;
    r.sngY = def.Y;
    r.sngHeight = def.Height;
    r.sngWidth = def.Width;
    // Short lists (a trimmed localisation or font file) leave the member empty
    // rather than reading past the list.
    const QStringList& logos = m_tables->g_varLogoSizeList;
    r.strLogoSize = logos.size() > 1 ? logos[1] : QString();
    r.lAttribute = 112;
    const auto& fonts = m_tables->g_arrFieldFont;
    r.strCharSize[1] = fonts.size() > 2 ? fonts[2].Name : (fonts.isEmpty() ? QString() : fonts.last().Name);
    r.iNumOfFigures = 6;
    r.dblThickness = 1.0;
}

float Label::GetMMPerKDot() const
{
    const auto& models = m_tables->g_arrScaleModel;
    if (m_iScaleModelIndex < 0 || m_iScaleModelIndex >= models.size())
        return 125.0f;
    const qint16 v = models[m_iScaleModelIndex].MM_PER_KDOT;
    return v > 0 ? float(v) : 125.0f;
}

float Label::AdjustMMtoDot(float sngMM) const { return quillon::AdjustMMtoDot(sngMM, GetMMPerKDot()); }
qint16 Label::MMToDot(float mm) const { return quillon::MMToDot(mm, GetMMPerKDot()); }
float Label::DotToMM(float dots) const { return quillon::DotToMM(dots, GetMMPerKDot()); }

FieldBox Label::GetFieldSize(int iIndex)
{
    FieldBox b;
    if (iIndex < 0 || iIndex >= fieldCount())
        return b;
    float& sngLeft = b.left;
    float& sngTop = b.top;
    float& sngWidth = b.width;
    float& sngHeight = b.height;
    FieldRecord& r = m_arrFields[iIndex];
    const auto& fonts = m_tables->g_arrFieldFont;
    if (fieldType(iIndex) == FT_N1 && !fonts.isEmpty()) {
        const FieldFont& f = fonts[FontIndexByName(*m_tables, r.strCharSize[1])];
        r.sngHeight = DotToMM(float(f.Height));
        r.sngWidth = DotToMM(float(CInt(double(f.Width) * double(r.iNumOfFigures))));
    }
    const float H = float(m_iVertRulerHeight);
    switch (r.rotation()) {
    case 0:
        sngLeft = r.sngX;
        sngTop = H - r.sngY - r.sngHeight;
        sngWidth = r.sngWidth;
        sngHeight = r.sngHeight;
        break;
    case 1:
        sngLeft = r.sngX - r.sngHeight;
        sngTop = H - r.sngY - r.sngWidth;
        sngWidth = r.sngHeight;
        sngHeight = r.sngWidth;
        break;
    case 2:
        sngLeft = r.sngX - r.sngWidth;
        sngTop = H - r.sngY;
        sngWidth = r.sngWidth;
        sngHeight = r.sngHeight;
        break;
    default:
        sngLeft = r.sngX;
        sngTop = H - r.sngY;
        sngWidth = r.sngHeight;
        sngHeight = r.sngWidth;
        break;
    }
    return b;
}

FieldBox Label::SetFieldSize(int iIndex, FieldBox box)
{
    if (iIndex < 0 || iIndex >= fieldCount())
        return box;
    float& sngLeft = box.left;
    float& sngTop = box.top;
    float& sngWidth = box.width;
    float& sngHeight = box.height;
    const float W = float(m_iHoriRulerWidth);
    const float H = float(m_iVertRulerHeight);
    // A box starting left of or above the label is measured from the edge it is
    // moved to; otherwise it would keep the part that stuck out and stay too big.
    sngWidth = AdjustMMtoDot(Clamp(sngWidth, W - Max(sngLeft, 0.0f), 1.0f));
    sngHeight = AdjustMMtoDot(Clamp(sngHeight, H - Max(sngTop, 0.0f), 1.0f));
    sngLeft = AdjustMMtoDot(Clamp(sngLeft, W - sngWidth, 0.0f));
    sngTop = AdjustMMtoDot(Clamp(sngTop, H - sngHeight, 0.0f));

    FieldRecord& r = m_arrFields[iIndex];
    switch (r.rotation()) {
    case 0:
        r.sngX = sngLeft;
        r.sngY = H - sngTop - sngHeight;
        r.sngWidth = sngWidth;
        r.sngHeight = sngHeight;
        break;
    case 1:
        r.sngX = sngLeft + sngWidth;
        r.sngY = H - sngTop - sngHeight;
        r.sngWidth = sngHeight;
        r.sngHeight = sngWidth;
        break;
    case 2:
        r.sngX = sngLeft + sngWidth;
        r.sngY = H - sngTop;
        r.sngWidth = sngWidth;
        r.sngHeight = sngHeight;
        break;
    default:
        r.sngX = sngLeft;
        r.sngY = H - sngTop;
        r.sngWidth = sngHeight;
        r.sngHeight = sngWidth;
        break;
    }
    return box;
}

FieldBox Label::NormaliseField(int iIndex)
{
    return SetFieldSize(iIndex, GetFieldSize(iIndex));
}

bool Label::operator==(const Label& o) const
{
    // The modified flag is window state, not content.
    return m_iHoriRulerWidth == o.m_iHoriRulerWidth && m_iVertRulerHeight == o.m_iVertRulerHeight
        && m_iFormatNo == o.m_iFormatNo && m_iScaleModelIndex == o.m_iScaleModelIndex
        && m_iSelected == o.m_iSelected && m_arrFields == o.m_arrFields;
}

} // namespace quillon
