// The property grid: its categories and items for the label and each field type,
// editing every item the way a user does (type + Enter, pick from the list), the
// model and undo ring behind it, and values the files cannot carry.
#include "panesfixture.h"
#include "editor/propertygrid.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <cmath>

using namespace quillon;
using namespace paneTest;

namespace {

// What the main window does with the grid's event.
struct Harness {
    Tables t = MakeTables();
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
};

bool isChoice(const QString& mode) { return mode == QLatin1String("choose"); }

// The view commits an Enter on its next turn of the event loop.
void typeInto(PropertyGrid& g, int tag, const QString& text)
{
    QPointer<QLineEdit> le = qobject_cast<QLineEdit*>(g.editItem(tag));
    QVERIFY2(le, "no line editor");
    le->selectAll();
    if (text.isEmpty())
        QTest::keyClick(le, Qt::Key_Delete);
    else
        QTest::keyClicks(le, text);
    QTest::keyClick(le, Qt::Key_Return);
    QTRY_VERIFY(le.isNull());
}

void chooseIn(PropertyGrid& g, int tag, const QString& entry)
{
    auto* cb = qobject_cast<QComboBox*>(g.editItem(tag));
    QVERIFY2(cb, "no list editor");
    const int i = cb->findText(entry, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QVERIFY2(i >= 0, qPrintable(entry));
    cb->showPopup();
    QAbstractItemView* v = cb->view();
    QTRY_VERIFY(v->isVisible());
    const QRect r = v->visualRect(v->model()->index(i, 0));
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, r.center());
    QTRY_VERIFY(!v->isVisible());
}

void edit(PropertyGrid& g, int tag, const QString& mode, const QString& value)
{
    if (isChoice(mode))
        chooseIn(g, tag, value);
    else
        typeInto(g, tag, value);
}

QString mm(double v) { return QString::number(v, 'f', 2) + QStringLiteral(" (mm)"); }
QString dot(int v) { return QString::number(v) + QStringLiteral(" (Dot)"); }

} // namespace

class TestProperty : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseKeyCaptions(); }

    void emptyAndLabelItems()
    {
        Harness h;
        h.grid.ResetProperty(nullptr);
        QVERIFY(h.grid.itemIds().isEmpty());

        h.select(-1);
        QCOMPARE(h.grid.categoryCaptions(), QStringList{"frmProperty.catLabel"});
        QCOMPARE(h.grid.itemIds(), (QList<int>{PROP_FORMAT_NO, PROP_SCALE_MODEL, PROP_LABEL_WIDTH,
                                              PROP_LABEL_WIDTH_DOT, PROP_LABEL_HEIGHT, PROP_LABEL_HEIGHT_DOT}));
        QCOMPARE(h.grid.itemCaption(PROP_SCALE_MODEL), QStringLiteral("frmProperty.catLabel_ScaleModal"));
        QCOMPARE(h.grid.itemCaption(PROP_LABEL_HEIGHT_DOT), QStringLiteral("frmProperty.catLabel_HeightInDot"));
        QVERIFY(h.grid.isNumberItem(PROP_FORMAT_NO));
        QVERIFY(h.grid.isDropDown(PROP_SCALE_MODEL));
        QCOMPARE(h.grid.itemChoices(PROP_SCALE_MODEL), (QStringList{"ModelA", "ModelB"}));
        QCOMPARE(h.grid.itemValue(PROP_FORMAT_NO), QStringLiteral("1"));
        QCOMPARE(h.grid.itemValue(PROP_SCALE_MODEL), QStringLiteral("ModelA"));
        QCOMPARE(h.grid.itemValue(PROP_LABEL_WIDTH), QStringLiteral("55 (mm)"));
        QCOMPARE(h.grid.itemValue(PROP_LABEL_WIDTH_DOT), QStringLiteral("440 (Dot)"));
        QCOMPARE(h.grid.itemValue(PROP_LABEL_HEIGHT), QStringLiteral("50 (mm)"));
        QCOMPARE(h.grid.itemValue(PROP_LABEL_HEIGHT_DOT), QStringLiteral("400 (Dot)"));
        QVERIFY(h.grid.tree()->topLevelItem(0)->isExpanded());
    }

    void fieldItems_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QStringList>("extraCategories");
        QTest::addColumn<QList<int>>("extraIds");
        QTest::addColumn<QString>("charSizeCaption");
        const QString std = QStringLiteral("frmProperty.catCharSize_Size 1");
        QTest::newRow("B1") << int(EAN) << QStringList{} << QList<int>{} << QString();
        QTest::newRow("B2") << int(Logo) << QStringList{"catLogoSize"} << QList<int>{PROP_LOGO_SIZE} << QString();
        QTest::newRow("B3") << int(Rule) << QStringList{"catThickness"}
                            << QList<int>{PROP_THICKNESS, PROP_THICKNESS_DOT} << QString();
        QTest::newRow("B4") << int(Image) << QStringList{"catImageNumber"} << QList<int>{PROP_IMAGE_NUMBER} << QString();
        QTest::newRow("B5") << int(Digits) << QStringList{"catNumOfDigits"} << QList<int>{PROP_NUM_OF_FIGURES} << QString();
        QTest::newRow("C1") << int(Price) << QStringList{"catCharSize"} << QList<int>{PROP_CHAR_SIZE_1} << std;
        QTest::newRow("C2") << int(Weight) << QStringList{"catCharSize"} << QList<int>{PROP_CHAR_SIZE_1} << std;
        QTest::newRow("C3") << int(Unit) << QStringList{"catCharSize"} << QList<int>{PROP_CHAR_SIZE_1} << std;
        QTest::newRow("C4") << int(Plu) << QStringList{"catCharSize"} << QList<int>{PROP_CHAR_SIZE_1} << std;
        QTest::newRow("N1") << int(Total) << QStringList{"catCharSize", "catNumOfDigits"}
                            << QList<int>{PROP_CHAR_SIZE_1, PROP_NUM_OF_FIGURES} << QStringLiteral("Size 1");
        QTest::newRow("TEXT") << int(Title) << QStringList{"catCharSize"} << QList<int>{PROP_CHAR_SIZE_1} << std;
        QTest::newRow("SHOPNAME") << int(Shop) << QStringList{"catCharSize"} << QList<int>{PROP_CHAR_SIZE_1} << std;
    }

    void fieldItems()
    {
        QFETCH(int, field);
        QFETCH(QStringList, extraCategories);
        QFETCH(QList<int>, extraIds);
        QFETCH(QString, charSizeCaption);
        Harness h;
        h.rec(Title).bUsed = true;
        h.rec(Shop).bUsed = true;
        h.select(field);

        QStringList cats{"catName", "catPosition", "catSize"};
        cats += extraCategories;
        for (QString& c : cats)
            c.prepend(QStringLiteral("frmProperty."));
        QCOMPARE(h.grid.categoryCaptions(), cats);
        QList<int> ids{PROP_NAME, PROP_X, PROP_X_DOT, PROP_Y, PROP_Y_DOT, PROP_ANGLE, PROP_PRINT_STATUS,
                       PROP_WIDTH, PROP_WIDTH_DOT, PROP_HEIGHT, PROP_HEIGHT_DOT};
        ids += extraIds;
        QCOMPARE(h.grid.itemIds(), ids);
        if (!charSizeCaption.isEmpty()) {
            QCOMPARE(h.grid.itemCaption(PROP_CHAR_SIZE_1), charSizeCaption);
            QCOMPARE(h.grid.itemChoices(PROP_CHAR_SIZE_1), (QStringList{"S1", "S2", "S3", "Big"}));
            QCOMPARE(h.grid.itemValue(PROP_CHAR_SIZE_1), QStringLiteral("S3"));
        }

        const FieldRecord& r = h.rec(field);
        const FieldDef& def = h.t.g_arrFieldDef[field];
        QCOMPARE(h.grid.itemValue(PROP_NAME), def.Name);
        // Placed names in character-code order: capitals before "shop".
        QStringList names{def.Name, "Title", "shop"};
        names.removeDuplicates();
        std::sort(names.begin(), names.end());
        QCOMPARE(h.grid.itemChoices(PROP_NAME), names);
        QCOMPARE(h.grid.itemValue(PROP_X), mm(def.X));
        QCOMPARE(h.grid.itemValue(PROP_X_DOT), dot(qRound(def.X * 8)));
        QCOMPARE(h.grid.itemValue(PROP_Y), mm(def.Y));
        QCOMPARE(h.grid.itemValue(PROP_WIDTH), mm(r.sngWidth));
        QCOMPARE(h.grid.itemValue(PROP_HEIGHT_DOT), dot(qRound(r.sngHeight * 8)));
        QCOMPARE(h.grid.itemValue(PROP_ANGLE), QStringLiteral("0"));
        QCOMPARE(h.grid.itemChoices(PROP_ANGLE), (QStringList{"0", "90", "180", "270"}));
        QCOMPARE(h.grid.itemValue(PROP_PRINT_STATUS), QStringLiteral("7-Always"));
        QCOMPARE(h.grid.itemChoices(PROP_PRINT_STATUS), h.t.g_varPrintStatusList);
        if (extraIds.contains(PROP_THICKNESS)) {
            QCOMPARE(h.grid.itemValue(PROP_THICKNESS), QStringLiteral("1.00 (mm)"));
            QCOMPARE(h.grid.itemValue(PROP_THICKNESS_DOT), QStringLiteral("8 (Dot)"));
        }
        if (extraIds.contains(PROP_LOGO_SIZE))
            QCOMPARE(h.grid.itemValue(PROP_LOGO_SIZE), QStringLiteral("32x32"));
        if (extraIds.contains(PROP_NUM_OF_FIGURES))
            QCOMPARE(h.grid.itemValue(PROP_NUM_OF_FIGURES), QStringLiteral("6"));
        for (int id : ids)
            QVERIFY2(h.grid.tree()->topLevelItem(0)->isExpanded(), qPrintable(QString::number(id)));

        if (field == Title && qEnvironmentVariableIsSet("QUILLON_PANES_SHOTS"))
            h.grid.grab().save(qEnvironmentVariable("QUILLON_PANES_SHOTS") + QStringLiteral("/property.png"));
    }

    // Each item edited as a user does; "member" names what the model must now hold.
    void editItems_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("pairTag");
        QTest::addColumn<QString>("pairShown");

        QTest::newRow("X mm snaps") << int(Logo) << int(PROP_X) << "type" << "30.3" << "30.25 (mm)" << int(PROP_X_DOT) << "242 (Dot)";
        QTest::newRow("X display form") << int(Logo) << int(PROP_X) << "type" << "15.5 (mm)" << "15.50 (mm)" << int(PROP_X_DOT) << "124 (Dot)";
        QTest::newRow("X dots") << int(Logo) << int(PROP_X_DOT) << "type" << "100" << "100 (Dot)" << int(PROP_X) << "12.50 (mm)";
        QTest::newRow("Y mm") << int(Logo) << int(PROP_Y) << "type" << "20.3" << "20.25 (mm)" << int(PROP_Y_DOT) << "162 (Dot)";
        QTest::newRow("Y dots") << int(Logo) << int(PROP_Y_DOT) << "type" << "80 (Dot)" << "80 (Dot)" << int(PROP_Y) << "10.00 (mm)";
        QTest::newRow("width mm") << int(Logo) << int(PROP_WIDTH) << "type" << "12.3" << "12.25 (mm)" << int(PROP_WIDTH_DOT) << "98 (Dot)";
        QTest::newRow("width dots") << int(Logo) << int(PROP_WIDTH_DOT) << "type" << "64" << "64 (Dot)" << int(PROP_WIDTH) << "8.00 (mm)";
        QTest::newRow("height mm") << int(Logo) << int(PROP_HEIGHT) << "type" << "6.3" << "6.25 (mm)" << int(PROP_HEIGHT_DOT) << "50 (Dot)";
        QTest::newRow("height dots") << int(Logo) << int(PROP_HEIGHT_DOT) << "type" << "40" << "40 (Dot)" << int(PROP_HEIGHT) << "5.00 (mm)";
        QTest::newRow("angle") << int(Price) << int(PROP_ANGLE) << "choose" << "90" << "90" << int(PROP_PRINT_STATUS) << "7-Always";
        QTest::newRow("print status") << int(Price) << int(PROP_PRINT_STATUS) << "choose" << "3-Weight" << "3-Weight" << int(PROP_ANGLE) << "0";
        QTest::newRow("logo size") << int(Logo) << int(PROP_LOGO_SIZE) << "choose" << "48x48" << "48x48" << int(PROP_NAME) << "Logo";
        QTest::newRow("thickness mm") << int(Rule) << int(PROP_THICKNESS) << "type" << "2.3" << "2.25 (mm)" << int(PROP_THICKNESS_DOT) << "18 (Dot)";
        QTest::newRow("thickness dots") << int(Rule) << int(PROP_THICKNESS_DOT) << "type" << "12" << "12 (Dot)" << int(PROP_THICKNESS) << "1.50 (mm)";
        QTest::newRow("image number") << int(Image) << int(PROP_IMAGE_NUMBER) << "type" << "42" << "42" << int(PROP_NAME) << "Image";
        QTest::newRow("figures B5") << int(Digits) << int(PROP_NUM_OF_FIGURES) << "type" << "5" << "5" << int(PROP_NAME) << "Digits";
        QTest::newRow("figures N1 resizes") << int(Total) << int(PROP_NUM_OF_FIGURES) << "type" << "3" << "3" << int(PROP_WIDTH_DOT) << "48 (Dot)";
        QTest::newRow("char size") << int(Price) << int(PROP_CHAR_SIZE_1) << "choose" << "Big" << "Big" << int(PROP_NAME) << "Price";
        QTest::newRow("N1 char size") << int(Total) << int(PROP_CHAR_SIZE_1) << "choose" << "S1" << "S1" << int(PROP_HEIGHT_DOT) << "16 (Dot)";
        QTest::newRow("format no wraps") << -1 << int(PROP_FORMAT_NO) << "type" << "105" << "5" << int(PROP_SCALE_MODEL) << "ModelA";
        QTest::newRow("format no 100") << -1 << int(PROP_FORMAT_NO) << "type" << "100" << "1" << int(PROP_SCALE_MODEL) << "ModelA";
        QTest::newRow("label width") << -1 << int(PROP_LABEL_WIDTH) << "type" << "40" << "40 (mm)" << int(PROP_LABEL_WIDTH_DOT) << "320 (Dot)";
        QTest::newRow("label width dots") << -1 << int(PROP_LABEL_WIDTH_DOT) << "type" << "400" << "400 (Dot)" << int(PROP_LABEL_WIDTH) << "50 (mm)";
        QTest::newRow("label width max") << -1 << int(PROP_LABEL_WIDTH) << "type" << "1000" << "60 (mm)" << int(PROP_LABEL_WIDTH_DOT) << "480 (Dot)";
        QTest::newRow("label height") << -1 << int(PROP_LABEL_HEIGHT) << "type" << "33.4" << "33 (mm)" << int(PROP_LABEL_HEIGHT_DOT) << "264 (Dot)";
        QTest::newRow("label height dots") << -1 << int(PROP_LABEL_HEIGHT_DOT) << "type" << "480" << "480 (Dot)" << int(PROP_LABEL_HEIGHT) << "60 (mm)";
        QTest::newRow("scale model") << -1 << int(PROP_SCALE_MODEL) << "choose" << "ModelB" << "ModelB" << int(PROP_LABEL_WIDTH_DOT) << "663 (Dot)";
    }

    void editItems()
    {
        QFETCH(int, field);
        QFETCH(int, tag);
        QFETCH(QString, mode);
        QFETCH(QString, input);
        QFETCH(QString, shown);
        QFETCH(int, pairTag);
        QFETCH(QString, pairShown);
        Harness h;
        h.select(field);
        const Label before = h.doc.label();

        edit(h.grid, tag, mode, input);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(h.grid.itemValue(tag), shown);
        QCOMPARE(h.grid.itemValue(pairTag), pairShown);
        QVERIFY(h.refusals.isEmpty());
        QVERIFY(h.doc.label().m_bModified);
        // The grid shows what the model holds: a fresh rebuild shows the same.
        h.grid.ResetProperty(&h.doc);
        QCOMPARE(h.grid.itemValue(tag), shown);

        if (field >= 0) {
            QCOMPARE(int(h.doc.label().m_iSelected), field);
            QVERIFY(!(h.rec(field) == before.m_arrFields[field]));
            QVERIFY(h.doc.undo().canUndo());
            QCOMPARE(h.doc.Undo(), QList<int>{int(field)});
            QVERIFY(h.rec(field) == before.m_arrFields[field]);
            QCOMPARE(h.doc.Redo(), QList<int>{int(field)});
            h.grid.ResetProperty(&h.doc);
            QCOMPARE(h.grid.itemValue(tag), shown);
        }
    }

    void memberValues()
    {
        Harness h;
        h.select(Price);
        chooseIn(h.grid, PROP_PRINT_STATUS, QStringLiteral("3-Weight"));
        chooseIn(h.grid, PROP_ANGLE, QStringLiteral("180"));
        QCOMPARE(h.rec(Price).rotation(), 2);
        QCOMPARE(h.rec(Price).printStatus(), 3);
        QCOMPARE(h.rec(Price).strCharSize[1], QStringLiteral("S3"));
        chooseIn(h.grid, PROP_CHAR_SIZE_1, QStringLiteral("S2"));
        QCOMPARE(h.rec(Price).strCharSize[1], QStringLiteral("S2"));

        // 50.3 mm at 8 dots per mm is stored as 50.25 (field narrow enough to stay inside).
        h.select(Logo);
        typeInto(h.grid, PROP_WIDTH, QStringLiteral("4"));
        typeInto(h.grid, PROP_X, QStringLiteral("50.3"));
        QCOMPARE(h.rec(Logo).sngX, 50.25f);
        QCOMPARE(h.grid.itemValue(PROP_X_DOT), QStringLiteral("402 (Dot)"));
    }

    // The mouse path: a click on an item edits it, a click on a list item opens the list.
    void clickToEdit()
    {
        Harness h;
        h.select(Logo);
        QTreeWidget* tree = h.grid.tree();
        auto rowOf = [&](const char* key) {
            QTreeWidgetItem* it = tree->findItems(QStringLiteral("frmProperty.") + QLatin1String(key),
                                                  Qt::MatchExactly | Qt::MatchRecursive).value(0);
            return it ? tree->visualItemRect(it).center() : QPoint(-1, -1);
        };
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rowOf("catPos_Y"));
        QPointer<QLineEdit> le;
        QTRY_VERIFY(le = qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        QCOMPARE(le->text(), QStringLiteral("2.00 (mm)"));
        QTest::keyClicks(le, QStringLiteral("7.5"));
        QTest::keyClick(le, Qt::Key_Return);
        QTRY_COMPARE(h.rec(Logo).sngY, 7.5f);

        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rowOf("catPos_Angle"));
        auto* cb = tree->findChild<QComboBox*>();
        QVERIFY(cb);
        QTRY_VERIFY(cb->view()->isVisible());
        QCOMPARE(cb->currentText(), QStringLiteral("0"));
    }

    void selectByName()
    {
        Harness h;
        h.rec(EAN).bUsed = true;
        h.rec(Shop).bUsed = true;
        h.select(Title);
        QCOMPARE(h.grid.itemChoices(PROP_NAME), (QStringList{"EAN", "Title", "shop"}));
        chooseIn(h.grid, PROP_NAME, QStringLiteral("shop"));
        QCOMPARE(int(h.doc.label().m_iSelected), int(Shop));
        QCOMPARE(h.grid.itemValue(PROP_NAME), QStringLiteral("shop"));
        QCOMPARE(h.grid.itemValue(PROP_X), QStringLiteral("1.00 (mm)"));
        QCOMPARE(h.grid.itemValue(PROP_Y), QStringLiteral("40.00 (mm)"));
        // Choosing a field is no edit.
        QVERIFY(!h.doc.undo().canUndo());
    }

    void scaleModelChangesDots()
    {
        Harness h;
        h.rec(Logo).bUsed = true;
        h.select(-1);
        chooseIn(h.grid, PROP_SCALE_MODEL, QStringLiteral("ModelB"));
        QCOMPARE(int(h.doc.label().m_iScaleModelIndex), 1);
        QCOMPARE(h.grid.itemValue(PROP_LABEL_WIDTH_DOT), QStringLiteral("663 (Dot)"));
        QCOMPARE(h.grid.itemValue(PROP_LABEL_HEIGHT_DOT), QStringLiteral("602 (Dot)"));
        h.select(Logo);
        // 2 mm at 83 mm per 1000 dots is 24.1 dots.
        QCOMPARE(h.grid.itemValue(PROP_X_DOT), QStringLiteral("24 (Dot)"));
        typeInto(h.grid, PROP_X_DOT, QStringLiteral("100"));
        QCOMPARE(h.grid.itemValue(PROP_X), QStringLiteral("8.30 (mm)"));
        QCOMPARE(h.grid.itemValue(PROP_X_DOT), QStringLiteral("100 (Dot)"));
    }

    // Whatever is typed, the model keeps a value its files can carry and the grid shows it.
    void badValues_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("input");
        for (int tag : {int(PROP_X), int(PROP_X_DOT), int(PROP_Y), int(PROP_Y_DOT), int(PROP_WIDTH),
                        int(PROP_WIDTH_DOT), int(PROP_HEIGHT), int(PROP_HEIGHT_DOT)}) {
            for (const char* in : {"abc", "", "-5", "1e30", "-1e30", "1e400", "99999", "\"7\""})
                QTest::addRow("field %d '%s'", tag, in) << int(Logo) << tag << QString::fromLatin1(in);
        }
        for (const char* in : {"abc", "-2", "1e30", "99999", "&HFFFF"}) {
            QTest::addRow("thickness '%s'", in) << int(Rule) << int(PROP_THICKNESS) << QString::fromLatin1(in);
            QTest::addRow("thickness dots '%s'", in) << int(Rule) << int(PROP_THICKNESS_DOT) << QString::fromLatin1(in);
            QTest::addRow("image '%s'", in) << int(Image) << int(PROP_IMAGE_NUMBER) << QString::fromLatin1(in);
            QTest::addRow("figures '%s'", in) << int(Total) << int(PROP_NUM_OF_FIGURES) << QString::fromLatin1(in);
        }
        for (const char* in : {"abc", "", "-3", "0", "1e10", "-1e30", "99.9"}) {
            QTest::addRow("format '%s'", in) << -1 << int(PROP_FORMAT_NO) << QString::fromLatin1(in);
            QTest::addRow("label width '%s'", in) << -1 << int(PROP_LABEL_WIDTH) << QString::fromLatin1(in);
            QTest::addRow("label height dots '%s'", in) << -1 << int(PROP_LABEL_HEIGHT_DOT) << QString::fromLatin1(in);
        }
    }

    void badValues()
    {
        QFETCH(int, field);
        QFETCH(int, tag);
        QFETCH(QString, input);
        Harness h;
        MessageCatcher boxes;
        h.select(field);
        typeInto(h.grid, tag, input);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(boxes.texts, h.refusals);

        const Label& l = h.doc.label();
        const QString shown = h.grid.itemValue(tag);
        h.grid.ResetProperty(&h.doc);
        QCOMPARE(h.grid.itemValue(tag), shown);
        QVERIFY(!shown.contains(QLatin1String("nan"), Qt::CaseInsensitive));
        QVERIFY(!shown.contains(QLatin1String("inf"), Qt::CaseInsensitive));

        if (field < 0) {
            QVERIFY(l.m_iFormatNo >= 1 && l.m_iFormatNo <= 99);
            QVERIFY(l.m_iHoriRulerWidth >= 20 && l.m_iHoriRulerWidth <= 60);
            QVERIFY(l.m_iVertRulerHeight >= 20 && l.m_iVertRulerHeight <= 80);
            return;
        }
        const FieldRecord& r = l.m_arrFields[field];
        QCOMPARE(int(l.m_iSelected), field);
        for (float v : {r.sngX, r.sngY, r.sngWidth, r.sngHeight})
            QVERIFY(std::isfinite(v));
        // The box stays on the label, at least a millimetre each way.
        QVERIFY(r.sngX >= 0 && r.sngX + r.sngWidth <= l.m_iHoriRulerWidth + 1e-3f);
        QVERIFY(r.sngY >= 0 && r.sngY + r.sngHeight <= l.m_iVertRulerHeight + 1e-3f);
        QVERIFY(r.sngWidth >= 1 - 1e-3f && r.sngHeight >= 1 - 1e-3f);
        // The format data holds thickness in 16-bit dots, the image number and an N1's
        // figures in two decimal figures.
        QVERIFY(std::isfinite(r.dblThickness) && r.dblThickness >= 0);
        QVERIFY(r.dblThickness * 8 <= 32767);
        QVERIFY(r.iImageNumber >= 0 && r.iImageNumber <= 99);
        QVERIFY(r.iNumOfFigures >= 0 && r.iNumOfFigures <= 99);
    }

    // An edit abandoned with Escape, or ended without a change, sends nothing.
    void noEventWithoutChange()
    {
        Harness h;
        h.select(Logo);
        int events = 0;
        QObject::connect(&h.grid, &PropertyGrid::propertyChanged, &h.grid, [&] { ++events; });
        auto* le = qobject_cast<QLineEdit*>(h.grid.editItem(PROP_X));
        QVERIFY(le);
        QTest::keyClicks(le, QStringLiteral("9"));
        QTest::keyClick(le, Qt::Key_Escape);
        QTest::qWait(20);
        QCOMPARE(events, 0);
        QCOMPARE(h.grid.itemValue(PROP_X), QStringLiteral("2.00 (mm)"));
        le = qobject_cast<QLineEdit*>(h.grid.editItem(PROP_X));
        QVERIFY(le);
        QTest::keyClick(le, Qt::Key_Return);
        QTest::qWait(20);
        QCOMPARE(events, 0);
        QVERIFY(!h.doc.undo().canUndo());
    }
};

QTEST_MAIN(TestProperty)
#include "test_property.moc"
