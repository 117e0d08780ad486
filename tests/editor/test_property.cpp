// The property grid: its categories and items for the label and each field type,
// editing every item the way a user does (type + Enter, pick from the list), the
// model and undo ring behind it, and values the files cannot carry.
#include "common/testtables.h"
#include "editor/propertygrid.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>
#include <cmath>

using namespace quillon;
using namespace quillon::test;

namespace {

// What the main window does with the grid's event.
struct Harness {
    Tables t = makeTables(kCatalogue);
    Document doc{t};
    PropertyGrid grid;
    QStringList refusals;

    Harness()
    {
        QObject::connect(&grid, &PropertyGrid::propertyChanged, &grid, [this](int tag, const QString& v) {
            const PropertyChange c = doc.PropertyChanged(tag, v);
            if (!c.refusal.isEmpty()) {
                refusals.append(c.refusal);
                grid.ShowRefusal(c.refusal);
            }
            grid.ResetProperty(&doc);
        });
        grid.resize(320, 520);
        grid.show();
    }
    FieldRecord& rec(int f) { return doc.label().m_arrFields[f]; }
    void select(int f)
    {
        if (f >= 0)
            rec(f).bUsed = true;
        doc.label().m_iSelected = qint16(f);
        grid.ResetProperty(&doc);
    }
    // Picks from the list of a list item, or types into the editor and presses Enter.
    void edit(int tag, const QString& value)
    {
        QPointer<QWidget> w = grid.editItem(tag);
        if (auto* cb = qobject_cast<QComboBox*>(w.data())) {
            const int i = cb->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
            QVERIFY2(i >= 0, qPrintable(value));
            cb->showPopup();
            QAbstractItemView* v = cb->view();
            QTRY_VERIFY(v->isVisible());
            QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, v->visualRect(v->model()->index(i, 0)).center());
            QTRY_VERIFY(!v->isVisible());
            return;
        }
        auto* le = qobject_cast<QLineEdit*>(w.data());
        QVERIFY2(le, "no editor");
        le->selectAll();
        if (value.isEmpty())
            QTest::keyClick(le, Qt::Key_Delete);
        else
            QTest::keyClicks(le, value);
        QTest::keyClick(le, Qt::Key_Return);
        QTRY_VERIFY(w.isNull()); // the view commits an Enter on its next turn of the event loop
    }
};

} // namespace

class TestProperty : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useKeyCaptions(); }

    void labelItems()
    {
        Harness h;
        h.grid.ResetProperty(nullptr);
        QVERIFY(h.grid.itemIds().isEmpty());
        h.select(-1);
        QCOMPARE(h.grid.categoryCaptions(), QStringList{"frmProperty.catLabel"});
        QCOMPARE(h.grid.itemIds(), (QList<int>{PROP_FORMAT_NO, PROP_SCALE_MODEL, PROP_LABEL_WIDTH,
                                              PROP_LABEL_WIDTH_DOT, PROP_LABEL_HEIGHT, PROP_LABEL_HEIGHT_DOT}));
        QCOMPARE(h.grid.itemCaption(PROP_SCALE_MODEL), QStringLiteral("frmProperty.catLabel_ScaleModal"));
        QVERIFY(h.grid.isNumberItem(PROP_FORMAT_NO) && h.grid.isDropDown(PROP_SCALE_MODEL));
        QCOMPARE(h.grid.itemChoices(PROP_SCALE_MODEL), (QStringList{"Alpha", "Beta"}));
        for (auto [tag, shown] : {std::pair{PROP_FORMAT_NO, "1"}, {PROP_SCALE_MODEL, "Alpha"},
                                  {PROP_LABEL_WIDTH, "55 (mm)"}, {PROP_LABEL_WIDTH_DOT, "440 (Dot)"},
                                  {PROP_LABEL_HEIGHT, "50 (mm)"}, {PROP_LABEL_HEIGHT_DOT, "400 (Dot)"}})
            QCOMPARE(h.grid.itemValue(tag), QLatin1String(shown));
    }

    void fieldItems()
    {
        // Every type has name, position and size; some have more.
        using More = std::pair<QList<int>, QString>;
        const QMap<int, More> extra = {{EAN, {}}, {Logo, {{PROP_LOGO_SIZE}, "catLogoSize"}},
            {Rule, {{PROP_THICKNESS, PROP_THICKNESS_DOT}, "catThickness"}},
            {Image, {{PROP_IMAGE_NUMBER}, "catImageNumber"}}, {Digits, {{PROP_NUM_OF_FIGURES}, "catNumOfDigits"}},
            {Total, {{PROP_CHAR_SIZE_1, PROP_NUM_OF_FIGURES}, "catCharSize catNumOfDigits"}}};
        for (int field : {EAN, Logo, Rule, Image, Digits, Price, Weight, Unit, Plu, Total, Title, Shop}) {
            Harness h;
            h.rec(Title).bUsed = h.rec(Shop).bUsed = true;
            h.select(field);
            const auto [more, cats] = extra.value(field, More{{PROP_CHAR_SIZE_1}, "catCharSize"});
            QCOMPARE(h.grid.itemIds(), (QList<int>{PROP_NAME, PROP_X, PROP_X_DOT, PROP_Y, PROP_Y_DOT, PROP_ANGLE,
                                                  PROP_PRINT_STATUS, PROP_WIDTH, PROP_WIDTH_DOT, PROP_HEIGHT,
                                                  PROP_HEIGHT_DOT} + more));
            QCOMPARE(h.grid.categoryCaptions().join(u' ').remove(QStringLiteral("frmProperty.")),
                     QString(QStringLiteral("catName catPosition catSize ") + cats).trimmed());
            const FieldDef& def = h.t.g_arrFieldDef[field];
            // Placed names in character-code order: capitals before "shop".
            QStringList names{def.Name, "Title", "shop"};
            names.removeDuplicates();
            std::sort(names.begin(), names.end());
            QCOMPARE(h.grid.itemChoices(PROP_NAME), names);
            QCOMPARE(h.grid.itemValue(PROP_NAME), def.Name);
            QCOMPARE(h.grid.itemChoices(PROP_ANGLE), (QStringList{"0", "90", "180", "270"}));
            QCOMPARE(h.grid.itemValue(PROP_PRINT_STATUS), QStringLiteral("7-Always"));
            QCOMPARE(h.grid.itemChoices(PROP_PRINT_STATUS), h.t.g_varPrintStatusList);
            if (more.contains(PROP_CHAR_SIZE_1)) {
                QCOMPARE(h.grid.itemCaption(PROP_CHAR_SIZE_1),
                         QLatin1String(field == Total ? "Size 1" : "frmProperty.catCharSize_Size 1"));
                QCOMPARE(h.grid.itemChoices(PROP_CHAR_SIZE_1), (QStringList{"Small", "Medium", "Large", "Huge"}));
                QCOMPARE(h.grid.itemValue(PROP_CHAR_SIZE_1), QStringLiteral("Large"));
            }
            QVERIFY(h.grid.tree()->topLevelItem(0)->isExpanded());
        }
    }

    // Each item edited as a user does; the item and its pair show what the model now holds.
    void editItems()
    {
        const struct { int field, tag; const char *input, *shown; int pairTag; const char* pairShown; } cases[] = {
            {Logo, PROP_X, "30.3", "30.25 (mm)", PROP_X_DOT, "242 (Dot)"},
            {Logo, PROP_X, "15.5 (mm)", "15.50 (mm)", PROP_X_DOT, "124 (Dot)"},
            {Logo, PROP_X_DOT, "100", "100 (Dot)", PROP_X, "12.50 (mm)"},
            {Logo, PROP_Y, "20.3", "20.25 (mm)", PROP_Y_DOT, "162 (Dot)"},
            {Logo, PROP_Y_DOT, "80 (Dot)", "80 (Dot)", PROP_Y, "10.00 (mm)"},
            {Logo, PROP_WIDTH, "12.3", "12.25 (mm)", PROP_WIDTH_DOT, "98 (Dot)"},
            {Logo, PROP_WIDTH_DOT, "64", "64 (Dot)", PROP_WIDTH, "8.00 (mm)"},
            {Logo, PROP_HEIGHT, "6.3", "6.25 (mm)", PROP_HEIGHT_DOT, "50 (Dot)"},
            {Logo, PROP_HEIGHT_DOT, "40", "40 (Dot)", PROP_HEIGHT, "5.00 (mm)"},
            {Price, PROP_ANGLE, "90", "90", PROP_PRINT_STATUS, "7-Always"},
            {Price, PROP_PRINT_STATUS, "3-Weight", "3-Weight", PROP_ANGLE, "0"},
            {Logo, PROP_LOGO_SIZE, "48x48", "48x48", PROP_NAME, "Logo"},
            {Rule, PROP_THICKNESS, "2.3", "2.25 (mm)", PROP_THICKNESS_DOT, "18 (Dot)"},
            {Rule, PROP_THICKNESS_DOT, "12", "12 (Dot)", PROP_THICKNESS, "1.50 (mm)"},
            {Image, PROP_IMAGE_NUMBER, "42", "42", PROP_NAME, "Image"},
            {Digits, PROP_NUM_OF_FIGURES, "5", "5", PROP_NAME, "Digits"},
            {Total, PROP_NUM_OF_FIGURES, "3", "3", PROP_WIDTH_DOT, "36 (Dot)"}, // three figures of 12 dots
            {Price, PROP_CHAR_SIZE_1, "Huge", "Huge", PROP_NAME, "Price"},
            {Total, PROP_CHAR_SIZE_1, "Small", "Small", PROP_HEIGHT_DOT, "16 (Dot)"},
            {-1, PROP_FORMAT_NO, "105", "5", PROP_SCALE_MODEL, "Alpha"},
            {-1, PROP_FORMAT_NO, "100", "1", PROP_SCALE_MODEL, "Alpha"},
            {-1, PROP_LABEL_WIDTH, "40", "40 (mm)", PROP_LABEL_WIDTH_DOT, "320 (Dot)"},
            {-1, PROP_LABEL_WIDTH_DOT, "400", "400 (Dot)", PROP_LABEL_WIDTH, "50 (mm)"},
            {-1, PROP_LABEL_WIDTH, "1000", "60 (mm)", PROP_LABEL_WIDTH_DOT, "480 (Dot)"},
            {-1, PROP_LABEL_HEIGHT, "33.4", "33 (mm)", PROP_LABEL_HEIGHT_DOT, "264 (Dot)"},
            {-1, PROP_LABEL_HEIGHT_DOT, "480", "480 (Dot)", PROP_LABEL_HEIGHT, "60 (mm)"},
            {-1, PROP_SCALE_MODEL, "Beta", "Beta", PROP_LABEL_WIDTH_DOT, "550 (Dot)"},
        };
        for (const auto& c : cases) {
            Harness h;
            h.select(c.field);
            const Label before = h.doc.label();
            h.edit(c.tag, QLatin1String(c.input));
            QCOMPARE(h.grid.itemValue(c.tag), QLatin1String(c.shown));
            QCOMPARE(h.grid.itemValue(c.pairTag), QLatin1String(c.pairShown));
            QVERIFY(h.refusals.isEmpty() && h.doc.label().m_bModified);
            if (c.field >= 0) { // one step for the field
                QCOMPARE(h.doc.Undo(), QList<int>{c.field});
                QVERIFY(h.rec(c.field) == before.m_arrFields[c.field]);
                QCOMPARE(h.doc.Redo(), QList<int>{c.field});
            }
            h.grid.ResetProperty(&h.doc); // the grid shows what the model holds
            QCOMPARE(h.grid.itemValue(c.tag), QLatin1String(c.shown));
        }
    }

    void valuesBehindTheGrid()
    {
        Harness h;
        h.rec(Shop).bUsed = true;
        h.select(Title);
        // Choosing another field by name is no edit.
        h.edit(PROP_NAME, QStringLiteral("shop"));
        QCOMPARE(int(h.doc.label().m_iSelected), int(Shop));
        QCOMPARE(h.grid.itemValue(PROP_Y), QStringLiteral("40.00 (mm)"));
        QVERIFY(!h.doc.undo().canUndo());
        h.select(Price);
        h.edit(PROP_ANGLE, QStringLiteral("180"));
        h.edit(PROP_PRINT_STATUS, QStringLiteral("3-Weight"));
        h.edit(PROP_CHAR_SIZE_1, QStringLiteral("Medium"));
        QCOMPARE(h.rec(Price).rotation(), 2);
        QCOMPARE(h.rec(Price).printStatus(), 3);
        QCOMPARE(h.rec(Price).strCharSize[1], QStringLiteral("Medium"));
        // 50.3 mm at 8 dots per mm is stored as 50.25 (field narrow enough to stay inside).
        h.select(Logo);
        h.edit(PROP_WIDTH, QStringLiteral("4"));
        h.edit(PROP_X, QStringLiteral("50.3"));
        QCOMPARE(h.rec(Logo).sngX, 50.25f);
        // Another scale model converts with its own dots per mm: 10 here.
        h.select(-1);
        h.edit(PROP_SCALE_MODEL, QStringLiteral("Beta"));
        QCOMPARE(h.grid.itemValue(PROP_LABEL_HEIGHT_DOT), QStringLiteral("500 (Dot)"));
        h.select(Logo);
        QCOMPARE(h.grid.itemValue(PROP_X_DOT), QStringLiteral("502 (Dot)"));
        h.edit(PROP_X_DOT, QStringLiteral("105"));
        QCOMPARE(h.grid.itemValue(PROP_X), QStringLiteral("10.50 (mm)"));
    }

    // The mouse path: a click on an item edits it, a click on a list item opens the list;
    // an edit abandoned with Escape, or ended without a change, sends nothing.
    void clickToEdit()
    {
        Harness h;
        h.select(Logo);
        int events = 0;
        QObject::connect(&h.grid, &PropertyGrid::propertyChanged, &h.grid, [&] { ++events; });
        QTreeWidget* tree = h.grid.tree();
        auto click = [&](const char* key) {
            const auto found = tree->findItems(QStringLiteral("frmProperty.") + QLatin1String(key),
                                               Qt::MatchExactly | Qt::MatchRecursive);
            QVERIFY(!found.isEmpty());
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(found[0]).center());
        };
        click("catPos_Y");
        QPointer<QLineEdit> le;
        QTRY_VERIFY(le = qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        QCOMPARE(le->text(), QStringLiteral("2.00 (mm)"));
        QTest::keyClicks(le, QStringLiteral("9"));
        QTest::keyClick(le, Qt::Key_Escape);
        QTRY_VERIFY(le.isNull());
        le = qobject_cast<QLineEdit*>(h.grid.editItem(PROP_Y));
        QTest::keyClick(le, Qt::Key_Return);
        QTest::qWait(20);
        QCOMPARE(events, 0);
        QVERIFY(!h.doc.undo().canUndo());
        click("catPos_Y");
        QTRY_VERIFY(le = qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        QTest::keyClicks(le, QStringLiteral("7.5"));
        QTest::keyClick(le, Qt::Key_Return);
        QTRY_COMPARE(h.rec(Logo).sngY, 7.5f);
        click("catPos_Angle");
        auto* cb = tree->findChild<QComboBox*>();
        QVERIFY(cb);
        QTRY_VERIFY(cb->view()->isVisible());
        QCOMPARE(cb->currentText(), QStringLiteral("0"));
    }

    // Whatever is typed, the model keeps a value its files can carry and the grid shows it.
    void badValues()
    {
        QList<std::tuple<int, int, QString>> cases;
        for (int tag : {PROP_X, PROP_X_DOT, PROP_Y, PROP_Y_DOT, PROP_WIDTH, PROP_WIDTH_DOT, PROP_HEIGHT,
                        PROP_HEIGHT_DOT})
            for (const char* in : {"abc", "", "-5", "1e30", "-1e30", "1e400", "99999", "\"7\""})
                cases.append({Logo, tag, in});
        for (const char* in : {"abc", "-2", "1e30", "99999", "&HFFFF"})
            cases << std::tuple{Rule, PROP_THICKNESS, in} << std::tuple{Rule, PROP_THICKNESS_DOT, in}
                  << std::tuple{Image, PROP_IMAGE_NUMBER, in} << std::tuple{Total, PROP_NUM_OF_FIGURES, in};
        for (const char* in : {"abc", "", "-3", "0", "1e10", "-1e30", "99.9"})
            cases << std::tuple{-1, PROP_FORMAT_NO, in} << std::tuple{-1, PROP_LABEL_WIDTH, in}
                  << std::tuple{-1, PROP_LABEL_HEIGHT_DOT, in};
        for (const auto& [field, tag, input] : cases) {
            const QByteArray what = QStringLiteral("%1 %2 '%3'").arg(field).arg(tag).arg(input).toUtf8();
            Harness h;
            MessageCatcher boxes;
            h.select(field);
            h.edit(tag, input);
            QVERIFY2(boxes.texts == h.refusals, what);
            const QString shown = h.grid.itemValue(tag);
            h.grid.ResetProperty(&h.doc);
            QVERIFY2(h.grid.itemValue(tag) == shown, what);
            QVERIFY2(!shown.contains(QRegularExpression("nan|inf", QRegularExpression::CaseInsensitiveOption)), what);
            const Label& l = h.doc.label();
            QVERIFY2(l.m_iFormatNo >= 1 && l.m_iFormatNo <= 99 && l.m_iHoriRulerWidth >= 20 && l.m_iHoriRulerWidth <= 60
                         && l.m_iVertRulerHeight >= 20 && l.m_iVertRulerHeight <= 80, what);
            if (field < 0)
                continue;
            // The box stays on the label, at least a millimetre each way.
            const FieldRecord& r = l.m_arrFields[field];
            QVERIFY2(std::isfinite(r.sngX + r.sngY + r.sngWidth + r.sngHeight) && r.sngX >= 0 && r.sngY >= 0, what);
            QVERIFY2(r.sngX + r.sngWidth <= l.m_iHoriRulerWidth + 1e-3f
                         && r.sngY + r.sngHeight <= l.m_iVertRulerHeight + 1e-3f, what);
            QVERIFY2(r.sngWidth >= 1 - 1e-3f && r.sngHeight >= 1 - 1e-3f, what);
            // The format data holds thickness in 16-bit dots, the image number and an N1's
            // figures in two decimal figures.
            QVERIFY2(std::isfinite(r.dblThickness) && r.dblThickness >= 0 && r.dblThickness * 8 <= 32767, what);
            QVERIFY2(qMin(r.iImageNumber, r.iNumOfFigures) >= 0 && qMax(r.iImageNumber, r.iNumOfFigures) <= 99, what);
        }
    }
};

QTEST_MAIN(TestProperty)
#include "test_property.moc"
