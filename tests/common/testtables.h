#pragma once
// Tables built in code so model tests need no runtime tree.
#include "model/tables.h"

namespace quillon::test {

inline FieldDef def(const char* name, qint32 type, float x = 2, float y = 3, float w = 20, float h = 5)
{
    FieldDef d;
    d.Name = QString::fromUtf8(name);
    d.FieldType = type;
    d.X = x;
    d.Y = y;
    d.Width = w;
    d.Height = h;
    return d;
}

inline FieldFont font(const char* name, qint16 code, qint16 w, qint16 h)
{
    return FieldFont{QString::fromUtf8(name), code, w, h};
}

// One field of every type (index = type code), a second TEXT and SHOPNAME,
// three fonts and two models (125 and 100 mm per 1000 dots).
inline Tables makeTables()
{
    Tables t;
    t.softwareName = QStringLiteral("Quillon Label Designer");
    t.g_arrScaleModel = {
        ScaleModel{1, QStringLiteral("Alpha"), 60, 20, 80, 20, 125},
        ScaleModel{2, QStringLiteral("Beta"), 100, 30, 120, 30, 100},
    };
    t.g_arrFieldFont = {font("Small", 1, 8, 16), font("Medium", 2, 10, 20), font("Large", 3, 12, 24),
                        font("Huge", 0x1A, 16, 32)};
    const char* names[] = {"Logo", "Logo size", "Line", "Image", "Barcode", "Name", "Price", "Weight",
                           "Total", "Unit price", "Text 1", "Shop 1"};
    for (int i = 0; i < 12; ++i)
        t.g_arrFieldDef.append(def(names[i], i));
    t.g_arrFieldDef.append(def("Text 2", FT_TEXT));
    t.g_arrFieldDef.append(def("Shop 2", FT_SHOPNAME));
    t.g_varPrintStatusList = {QStringLiteral("0 Never"), QStringLiteral("1 Once"), QStringLiteral("7 Always")};
    t.g_varLogoSizeList = {QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("30")};
    return t;
}

} // namespace quillon::test
