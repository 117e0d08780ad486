#pragma once
// Tables built in code: one catalogue field of every type, four character sizes
// and one scale model of 125 mm per 1000 dots, so the canvas tests need no runtime tree.
#include "model/document.h"
#include "model/tables.h"

namespace quillon::viewtest {

inline Tables makeTables()
{
    Tables t;
    t.g_arrScaleModel = {ScaleModel{1, QStringLiteral("Alpha"), 100, 20, 100, 20, 125}};
    t.g_arrFieldFont = {FieldFont{QStringLiteral("Small"), 1, 8, 16}, FieldFont{QStringLiteral("Medium"), 2, 10, 20},
                        FieldFont{QStringLiteral("Large"), 3, 12, 24}, FieldFont{QStringLiteral("Huge"), 4, 16, 32}};
    const char* names[] = {"Logo", "Logo size", "Line", "Image", "Barcode", "Name", "Price", "Weight",
                           "Total", "Unit price", "Text 1", "Shop 1"};
    for (int i = 0; i < 12; ++i) {
        FieldDef d;
        d.Name = QString::fromUtf8(names[i]);
        d.FieldType = i;
        d.X = 2;
        d.Y = 3;
        d.Width = 20;
        d.Height = 5;
        t.g_arrFieldDef.append(d);
    }
    t.g_varPrintStatusList = {QStringLiteral("0 Never"), QStringLiteral("7 Always")};
    t.g_varLogoSizeList = {QStringLiteral("10"), QStringLiteral("20")};
    return t;
}

// Places field i on the label with the given canvas box (mm) and rotation code.
inline void place(Label& lb, int i, float left, float top, float w, float h, int rot = 0)
{
    FieldRecord& r = lb.m_arrFields[i];
    r.bUsed = true;
    r.lAttribute = (r.lAttribute & 0x3FFF) | (rot << 14);
    lb.SetFieldSize(i, left, top, w, h);
}

} // namespace quillon::viewtest
