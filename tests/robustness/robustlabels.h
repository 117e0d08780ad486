#pragma once
// Tables and labels shared by the robustness tests and the saving helper, built
// in code so the helper needs no runtime tree.
#include "model/label.h"
#include "model/tables.h"

namespace quillon::robust {

// Many fields, so that a save takes long enough to be interrupted half-way.
inline Tables makeTables(int fields = 240)
{
    Tables t;
    t.softwareName = QStringLiteral("Quillon Label Designer");
    t.g_arrScaleModel = {ScaleModel{1, QStringLiteral("Alpha"), 60, 20, 80, 20, 125}};
    t.g_arrFieldFont = {FieldFont{QStringLiteral("Small"), 1, 8, 16}, FieldFont{QStringLiteral("Medium"), 2, 10, 20},
                        FieldFont{QStringLiteral("Large"), 3, 12, 24}};
    for (int i = 0; i < fields; ++i)
        t.g_arrFieldDef.append(FieldDef{QStringLiteral("Field %1").arg(i), i % 12, 2, 3, 20, 5});
    t.g_varLogoSizeList = QStringLiteral("1|2|3|4|5|6|7|8").split(u'|');
    return t;
}

// Two labels that differ in every file they are saved to.
inline Label makeLabel(const Tables& t, int which)
{
    Label l(t);
    l.m_iFormatNo = qint16(which == 0 ? 5 : 6);
    l.m_iHoriRulerWidth = qint16(which == 0 ? 50 : 58);
    for (int i = 0; i < l.fieldCount(); ++i) {
        FieldRecord& r = l.m_arrFields[i];
        r.bUsed = (i + which) % 2 == 0;
        r.sngX = float(1 + (i + which) % 17);
        r.sngY = float(1 + i % 13);
        if (l.fieldType(i) == FT_TEXT || l.fieldType(i) == FT_SHOPNAME) {
            r.iTextLine = qint16(1 + (i + which) % 20);
            for (int j = 1; j <= r.iTextLine; ++j) {
                r.strCharSize[j] = t.g_arrFieldFont[j % 3].Name;
                r.strText[j] = QStringLiteral("Label %1 field %2 line %3").arg(which).arg(i).arg(j);
            }
        }
        l.NormaliseField(i);
    }
    return l;
}

} // namespace quillon::robust
