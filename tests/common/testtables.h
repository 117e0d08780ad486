#pragma once
// Start-up tables built in code, so tests need no runtime tree, and the small
// helpers the tests share.
#include "context/texts.h"
#include "model/document.h"
#include "model/tables.h"
#ifdef QT_WIDGETS_LIB
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#endif

namespace quillon::test {

inline FieldDef def(const QString& name, qint32 type, float x = 2, float y = 3, float w = 20, float h = 5)
{
    return FieldDef{name, type, x, y, w, h};
}

// Index: 0 Orphan (no item), 1 EAN, 2 Logo, 3 Rule, 4 Note (no item), 5 Title, 6 Image,
// 7 Digits, 8 Price, 9 Weight, 10 Unit, 11 Total, 12 Plu, 13 shop.
inline const char* kCatalogue = "; every field type, a repeated heading, and two lines without palette items\n"
                                "Orphan,B1,1,1,5,5\nBarcodes\n  EAN , B1 , 2 , 30 , 40 , 15\nLogo,B2,2,2,10,10\n"
                                "Lines\nRule,B3,5,5,20,2\n\nTexts\nNote,C2\nTitle,TEXT,1,45,30,4\n"
                                "Barcodes\nImage,B4,30,5,10,10\nDigits,B5,30,20,10,5\nNumbers\n"
                                "Price,C1,2,10,20,5\nWeight,C2,2,15,20,5\nUnit,C3,2,20,20,5\nTotal,N1,2,25,20,5\n"
                                "Plu,C4,25,25,20,5\nTexts\nshop,SHOPNAME,1,40,30,4\n";
enum CatalogueField { Orphan, EAN, Logo, Rule, Note, Title, Image, Digits, Price, Weight, Unit, Total, Plu, Shop };

// Without a catalogue: one field of every type (index = type code), a second TEXT
// and SHOPNAME, four fonts and two models (125 and 100 mm per 1000 dots). With one,
// its fields and the full option lists of a localisation, as the panes see them.
inline Tables makeTables(const char* catalogue = nullptr, const CatalogueCallbacks& cb = {})
{
    Tables t;
    t.softwareName = QStringLiteral("Quillon Label Designer");
    t.g_arrScaleModel = {ScaleModel{1, QStringLiteral("Alpha"), 60, 20, 80, 20, 125},
                         ScaleModel{2, QStringLiteral("Beta"), 100, 30, 120, 30, 100}};
    t.g_arrFieldFont = {FieldFont{QStringLiteral("Small"), 1, 8, 16}, FieldFont{QStringLiteral("Medium"), 2, 10, 20},
                        FieldFont{QStringLiteral("Large"), 3, 12, 24}, FieldFont{QStringLiteral("Huge"), 0x1A, 16, 32}};
    if (catalogue) {
        t.g_arrFieldDef = ParseFieldCatalogue(QByteArray(catalogue), cb);
        t.g_varPrintStatusList = QStringLiteral("0-Never|1-Fixed|2-Price|3-Weight|4-Total|5-Unit|6-Date|7-Always")
                                     .split(u'|');
        t.g_varLogoSizeList = QStringLiteral("16x16|32x32|48x48").split(u'|');
        return t;
    }
    const char* names[] = {"Logo", "Logo size", "Line", "Image", "Barcode", "Name", "Price", "Weight",
                           "Total", "Unit price", "Text 1", "Shop 1"};
    for (int i = 0; i < 12; ++i)
        t.g_arrFieldDef.append(def(QString::fromUtf8(names[i]), i));
    t.g_arrFieldDef << def(QStringLiteral("Text 2"), FT_TEXT) << def(QStringLiteral("Shop 2"), FT_SHOPNAME);
    t.g_varPrintStatusList = {QStringLiteral("0 Never"), QStringLiteral("1 Once"), QStringLiteral("7 Always")};
    t.g_varLogoSizeList = {QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("30")};
    return t;
}

// The tables grown to `fields` fields of every type in turn: a save of many takes long
// enough to be interrupted half-way.
inline Tables manyFields(int fields)
{
    Tables t = makeTables();
    for (int i = t.g_arrFieldDef.size(); i < fields; ++i)
        t.g_arrFieldDef.append(def(QStringLiteral("Field %1").arg(i), i % 12));
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

// Places field i on the label with the given canvas box (mm) and rotation code.
inline void place(Label& lb, int i, float left, float top, float w, float h, int rot = 0)
{
    FieldRecord& r = lb.m_arrFields[i];
    r.bUsed = true;
    r.lAttribute = (r.lAttribute & 0x3FFF) | (rot << 14);
    lb.SetFieldSize(i, FieldBox{left, top, w, h});
}

// Captions show their keys, so tests see which key each caption came from.
inline void useKeyCaptions()
{
    SetTextLookup([](const QString& s, const QString& k) { return s + u'.' + k; });
}

#ifdef QT_WIDGETS_LIB
// Answers every message box that opens while it lives, remembering the texts.
class MessageCatcher : public QObject {
public:
    QStringList texts;
    MessageCatcher()
    {
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || m_seen.contains(box))
                return;
            m_seen.append(box);
            texts.append(box->text());
            if (QAbstractButton* b = box->buttons().value(0))
                b->click();
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
    QList<QPointer<QMessageBox>> m_seen;
};
#endif

} // namespace quillon::test
