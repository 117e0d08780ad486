// The field palette: groups and items from the catalogue reading, highlights
// that follow the label, and placing/removing fields by clicking items.
#include "common/testtables.h"
#include "editor/fieldpalette.h"

#include <QTest>
#include <QTreeWidget>

using namespace quillon;
using namespace quillon::test;

class TestToolbox : public QObject {
    Q_OBJECT

    static void click(FieldPalette& tb, const QString& name)
    {
        const auto found = tb.tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        QVERIFY2(!found.isEmpty(), qPrintable(name));
        tb.tree()->scrollToItem(found[0]);
        QTest::mouseClick(tb.tree()->viewport(), Qt::LeftButton, {}, tb.tree()->visualItemRect(found[0]).center());
    }

private slots:
    void groupsAndItems()
    {
        FieldPalette tb;
        const Tables t = makeTables(kCatalogue, tb.catalogueCallbacks());
        QCOMPARE(t.g_iFieldDefMax(), int(Shop));
        QCOMPARE(tb.groupCount(), 4);
        QCOMPARE(tb.tree()->topLevelItemCount(), 4);
        // The repeated heading appends to its first group; Orphan and Note get no item.
        const QList<QPair<QString, QList<int>>> groups = {{"Barcodes", {EAN, Logo, Image, Digits}}, {"Lines", {Rule}},
            {"Texts", {Title, Shop}}, {"Numbers", {Price, Weight, Unit, Total, Plu}}, {"", {}}};
        for (int g = 0; g < groups.size(); ++g) {
            QCOMPARE(tb.groupCaption(g), groups[g].first);
            QCOMPARE(tb.groupItems(g), groups[g].second);
        }
        QVERIFY(tb.tree()->findItems("Orphan", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
        QVERIFY(tb.tree()->findItems("Note", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
        // Without a document the palette is inert.
        QVERIFY(!tb.isEnabled());
    }

    void clicksPlaceAndRemoveEveryType()
    {
        FieldPalette tb;
        const Tables t = makeTables(kCatalogue, tb.catalogueCallbacks());
        Document doc(t);
        Label& l = doc.label();
        tb.resize(220, 600);
        tb.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tb));
        // What the document window does with a click: one undo step per toggle.
        QList<int> clicked;
        connect(&tb, &FieldPalette::itemClicked, &tb, [&](int id) {
            clicked.append(id);
            l.SetModifiedFlag();
            UndoStep step(doc, id);
            l.m_arrFields[id].bUsed = !l.m_arrFields[id].bUsed;
            step.Commit();
            l.m_iSelected = qint16(l.m_arrFields[id].bUsed ? id : l.m_iSelected == id ? -1 : l.m_iSelected);
            tb.ResetToolbox(&l);
        });
        tb.ResetToolbox(&l);
        QVERIFY(tb.isEnabled());
        const QList<int> placeable{EAN, Logo, Rule, Title, Image, Digits, Price, Weight, Unit, Total, Plu, Shop};
        for (int id : placeable) {
            click(tb, t.g_arrFieldDef[id].Name);
            QVERIFY(l.m_arrFields[id].bUsed && tb.isItemSelected(id));
            QCOMPARE(int(l.m_iSelected), id);
        }
        QCOMPARE(clicked, placeable);
        QVERIFY(l.m_bModified);
        // Clicking a group header folds it and places nothing.
        QTreeWidgetItem* g = tb.tree()->topLevelItem(0);
        QTest::mouseClick(tb.tree()->viewport(), Qt::LeftButton, {}, tb.tree()->visualItemRect(g).center());
        QVERIFY(!g->isExpanded());
        QCOMPARE(clicked.size(), placeable.size());
        g->setExpanded(true);
        for (int id : placeable) {
            click(tb, t.g_arrFieldDef[id].Name);
            QVERIFY(!l.m_arrFields[id].bUsed && !tb.isItemSelected(id));
        }
        QCOMPARE(int(l.m_iSelected), -1);
        // Two undo entries per field: undoing the last removal puts Shop back.
        QCOMPARE(doc.Undo(), QList<int>{int(Shop)});
        tb.ResetToolbox(&l);
        QVERIFY(tb.isItemSelected(Shop) && !tb.isItemSelected(Plu));
    }

    void followsTheActiveDocument()
    {
        FieldPalette tb;
        const Tables t = makeTables(kCatalogue, tb.catalogueCallbacks());
        Document a(t), b(t);
        a.label().m_arrFields[EAN].bUsed = a.label().m_arrFields[Total].bUsed = true;
        b.label().m_arrFields[Title].bUsed = true;
        b.label().m_arrFields[Note].bUsed = true; // without a palette item: simply not shown
        tb.ResetToolbox(&a.label());
        QVERIFY(tb.isItemSelected(EAN) && tb.isItemSelected(Total) && !tb.isItemSelected(Title));
        tb.ResetToolbox(&b.label());
        QVERIFY(!tb.isItemSelected(EAN) && !tb.isItemSelected(Total) && tb.isItemSelected(Title));
        QVERIFY(!tb.isItemSelected(Note));
        int clicks = 0;
        connect(&tb, &FieldPalette::itemClicked, &tb, [&](int) { ++clicks; });
        tb.ResetToolbox(nullptr);
        QVERIFY(!tb.isEnabled() && !tb.isItemSelected(Title));
        tb.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tb));
        click(tb, QStringLiteral("Title"));
        QCOMPARE(clicks, 0);
    }
};

QTEST_MAIN(TestToolbox)
#include "test_toolbox.moc"
