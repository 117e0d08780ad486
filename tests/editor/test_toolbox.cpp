// The field palette: groups and items from the catalogue reading, highlights
// that follow the label, and placing/removing fields by clicking items.
#include "panesfixture.h"
#include "editor/fieldpalette.h"

#include <QTest>
#include <QTreeWidget>

using namespace quillon;
using namespace paneTest;

class TestToolbox : public QObject {
    Q_OBJECT

    static QTreeWidgetItem* itemOf(FieldPalette& tb, const QString& name)
    {
        const auto found = tb.tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.value(0);
    }

    static void click(FieldPalette& tb, const QString& name)
    {
        QTreeWidgetItem* it = itemOf(tb, name);
        QVERIFY2(it, qPrintable(name));
        tb.tree()->scrollToItem(it);
        QTest::mouseClick(tb.tree()->viewport(), Qt::LeftButton, {}, tb.tree()->visualItemRect(it).center());
    }

    // What the document window does with a click: one undo step per toggle.
    static void toggle(Document& doc, int id)
    {
        Label& l = doc.label();
        l.SetModifiedFlag();
        UndoStep step(doc, id);
        const bool s = !l.m_arrFields[id].bUsed;
        l.m_arrFields[id].bUsed = s;
        step.Commit();
        if (s)
            l.m_iSelected = qint16(id);
        else if (l.m_iSelected == id)
            l.m_iSelected = -1;
    }

private slots:
    void groupsAndItems()
    {
        FieldPalette tb;
        const Tables t = MakeTables(tb.catalogueCallbacks());
        QCOMPARE(t.g_iFieldDefMax(), int(Shop));
        QCOMPARE(tb.groupCount(), 4);
        QCOMPARE(tb.groupCaption(0), QStringLiteral("Barcodes"));
        QCOMPARE(tb.groupCaption(1), QStringLiteral("Lines"));
        QCOMPARE(tb.groupCaption(2), QStringLiteral("Texts"));
        QCOMPARE(tb.groupCaption(3), QStringLiteral("Numbers"));
        QCOMPARE(tb.groupCaption(4), QString());
        // The repeated heading appends to its first group; Orphan and Note get no item.
        QCOMPARE(tb.groupItems(0), (QList<int>{EAN, Logo, Image, Digits}));
        QCOMPARE(tb.groupItems(1), (QList<int>{Rule}));
        QCOMPARE(tb.groupItems(2), (QList<int>{Title, Shop}));
        QCOMPARE(tb.groupItems(3), (QList<int>{Price, Weight, Unit, Total, Plu}));
        QVERIFY(!itemOf(tb, QStringLiteral("Orphan")));
        QVERIFY(!itemOf(tb, QStringLiteral("Note")));
        QCOMPARE(tb.tree()->topLevelItemCount(), 4);
        // Without a document the palette is inert.
        QVERIFY(!tb.isEnabled());
    }

    void clicksPlaceAndRemoveEveryType()
    {
        FieldPalette tb;
        const Tables t = MakeTables(tb.catalogueCallbacks());
        Document doc(t);
        tb.resize(220, 600);
        tb.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tb));
        QList<int> clicked;
        connect(&tb, &FieldPalette::itemClicked, &tb, [&](int id) {
            clicked.append(id);
            toggle(doc, id);
            tb.ResetToolbox(&doc.label());
        });
        tb.ResetToolbox(&doc.label());
        QVERIFY(tb.isEnabled());

        const QList<int> placeable{EAN, Logo, Rule, Title, Image, Digits, Price, Weight, Unit, Total, Plu, Shop};
        for (int id : placeable) {
            click(tb, t.g_arrFieldDef[id].Name);
            QVERIFY(doc.label().m_arrFields[id].bUsed);
            QVERIFY(tb.isItemSelected(id));
            QCOMPARE(int(doc.label().m_iSelected), id);
        }
        QCOMPARE(clicked, placeable);
        QVERIFY(doc.label().m_bModified);

        // Clicking a group header folds it and places nothing.
        QTreeWidgetItem* g = tb.tree()->topLevelItem(0);
        QTest::mouseClick(tb.tree()->viewport(), Qt::LeftButton, {}, tb.tree()->visualItemRect(g).center());
        QVERIFY(!g->isExpanded());
        QCOMPARE(clicked.size(), placeable.size());
        g->setExpanded(true);

        for (int id : placeable) {
            click(tb, t.g_arrFieldDef[id].Name);
            QVERIFY(!doc.label().m_arrFields[id].bUsed);
            QVERIFY(!tb.isItemSelected(id));
        }
        QCOMPARE(int(doc.label().m_iSelected), -1);

        // Two undo entries per field: undoing the last removal puts Shop back.
        QCOMPARE(doc.Undo(), QList<int>{int(Shop)});
        tb.ResetToolbox(&doc.label());
        QVERIFY(tb.isItemSelected(Shop));
        QVERIFY(!tb.isItemSelected(Plu));

        const QImage shot = tb.grab().toImage();
        QVERIFY(!shot.isNull());
        if (qEnvironmentVariableIsSet("QUILLON_PANES_SHOTS"))
            shot.save(qEnvironmentVariable("QUILLON_PANES_SHOTS") + QStringLiteral("/toolbox.png"));
    }

    void followsTheActiveDocument()
    {
        FieldPalette tb;
        const Tables t = MakeTables(tb.catalogueCallbacks());
        Document a(t), b(t);
        a.label().m_arrFields[EAN].bUsed = true;
        a.label().m_arrFields[Total].bUsed = true;
        b.label().m_arrFields[Title].bUsed = true;
        // A field without a palette item is simply not shown.
        b.label().m_arrFields[Note].bUsed = true;

        tb.ResetToolbox(&a.label());
        QVERIFY(tb.isItemSelected(EAN) && tb.isItemSelected(Total) && !tb.isItemSelected(Title));
        tb.ResetToolbox(&b.label());
        QVERIFY(!tb.isItemSelected(EAN) && !tb.isItemSelected(Total) && tb.isItemSelected(Title));
        QVERIFY(!tb.isItemSelected(Note));

        int clicks = 0;
        connect(&tb, &FieldPalette::itemClicked, &tb, [&](int) { ++clicks; });
        tb.ResetToolbox(nullptr);
        QVERIFY(!tb.isEnabled());
        QVERIFY(!tb.isItemSelected(Title));
        tb.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tb));
        click(tb, QStringLiteral("Title"));
        QCOMPARE(clicks, 0);
    }
};

QTEST_MAIN(TestToolbox)
#include "test_toolbox.moc"
