#pragma once
// Shared set-up of the pane tests: a catalogue with every field type, fonts,
// two scale models, the option lists, and a catcher for message boxes.
#include "context/texts.h"
#include "model/document.h"
#include "model/tables.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace paneTest {

using namespace quillon;

// Index: 0 Orphan (no item), 1 EAN, 2 Logo, 3 Rule, 4 Note (no item), 5 Title, 6 Image,
// 7 Digits, 8 Price, 9 Weight, 10 Unit, 11 Total, 12 Plu, 13 shop.
inline const char* kCatalogue =
    "; every field type, a repeated heading, and two lines without palette items\n"
    "Orphan,B1,1,1,5,5\n"
    "Barcodes\n"
    "  EAN , B1 , 2 , 30 , 40 , 15\n"
    "Logo,B2,2,2,10,10\n"
    "Lines\n"
    "Rule,B3,5,5,20,2\n"
    "\n"
    "Texts\n"
    "Note,C2\n"
    "Title,TEXT,1,45,30,4\n"
    "Barcodes\n"
    "Image,B4,30,5,10,10\n"
    "Digits,B5,30,20,10,5\n"
    "Numbers\n"
    "Price,C1,2,10,20,5\n"
    "Weight,C2,2,15,20,5\n"
    "Unit,C3,2,20,20,5\n"
    "Total,N1,2,25,20,5\n"
    "Plu,C4,25,25,20,5\n"
    "Texts\n"
    "shop,SHOPNAME,1,40,30,4\n";

enum Field { Orphan, EAN, Logo, Rule, Note, Title, Image, Digits, Price, Weight, Unit, Total, Plu, Shop };

inline Tables MakeTables(const CatalogueCallbacks& cb = {})
{
    Tables t;
    t.g_arrScaleModel = {
        {1, QStringLiteral("ModelA"), 60, 20, 80, 20, 125},
        {2, QStringLiteral("ModelB"), 100, 30, 120, 30, 83},
    };
    t.g_arrFieldFont = {
        {QStringLiteral("S1"), 1, 8, 16},
        {QStringLiteral("S2"), 2, 12, 24},
        {QStringLiteral("S3"), 3, 16, 32},
        {QStringLiteral("Big"), 4, 24, 48},
    };
    t.g_varPrintStatusList = QStringLiteral("0-Never|1-Fixed|2-Price|3-Weight|4-Total|5-Unit|6-Date|7-Always").split(u'|');
    t.g_varLogoSizeList = QStringLiteral("16x16|32x32|48x48").split(u'|');
    t.g_arrFieldDef = ParseFieldCatalogue(QByteArray(kCatalogue), cb);
    return t;
}

// Captions show their keys, so tests see which key each caption came from.
inline void UseKeyCaptions()
{
    SetTextLookup([](const QString& s, const QString& k) { return s + u'.' + k; });
}

// Answers every message box that opens while it lives, remembering the texts.
class MessageCatcher : public QObject {
public:
    QStringList texts;
    MessageCatcher()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || m_seen.contains(box))
                return;
            m_seen.append(box);
            texts.append(box->text());
            if (QAbstractButton* b = box->buttons().value(0))
                b->click();
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
    QList<QPointer<QMessageBox>> m_seen;
};

} // namespace paneTest
