// The panes beside the canvas, driven through their widgets offscreen: the field palette
// (groups from the catalogue, placing and removing fields by clicks), the property grid
// (items per field type, edits as a user makes them, values the files cannot carry) and
// the text content editor (rows and keys, OK and Cancel, text the label file cannot carry).
#include "common/testtables.h"
#include "editor/fieldpalette.h"
#include "editor/propertygrid.h"
#include "editor/texteditordialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
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

class TestPanes : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;
    Tables m_t = makeTables(kCatalogue);

    static void click(FieldPalette& tb, const QString& name)
    {
        const auto found = tb.tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        QVERIFY2(!found.isEmpty(), qPrintable(name));
        tb.tree()->scrollToItem(found[0]);
        QTest::mouseClick(tb.tree()->viewport(), Qt::LeftButton, {}, tb.tree()->visualItemRect(found[0]).center());
    }

    void open(TextEditorDialog& dlg, const QStringList& texts, const QStringList& fonts)
    {
        std::array<QString, kMaxTextLines + 1> t, f;
        std::copy(texts.begin(), texts.end(), t.begin() + 1);
        std::copy(fonts.begin(), fonts.end(), f.begin() + 1);
        dlg.Init(qint16(texts.size()), t, f);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    }

private slots:
    void initTestCase()
    {
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
        useKeyCaptions();
    }

    // Groups and items from the catalogue reading, then every type placed and removed by clicks.
    void palette()
    {
        FieldPalette tb;
        const Tables t = makeTables(kCatalogue, tb.catalogueCallbacks());
        QCOMPARE(tb.groupCount(), 4);
        // The repeated heading appends to its first group; Orphan and Note get no item.
        const QList<QPair<QString, QList<int>>> groups = {{"Barcodes", {EAN, Logo, Image, Digits}}, {"Lines", {Rule}},
            {"Texts", {Title, Shop}}, {"Numbers", {Price, Weight, Unit, Total, Plu}}, {"", {}}};
        for (int g = 0; g < groups.size(); ++g) {
            QCOMPARE(tb.groupCaption(g), groups[g].first);
            QCOMPARE(tb.groupItems(g), groups[g].second);
        }
        for (const char* none : {"Orphan", "Note"})
            QVERIFY(tb.tree()->findItems(none, Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
        QVERIFY(!tb.isEnabled()); // without a document
        Label l(t);
        tb.resize(220, 600);
        tb.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tb));
        // What the document window does with a click: toggle the field, then mark the items anew.
        QList<int> clicked;
        connect(&tb, &FieldPalette::itemClicked, &tb, [&](int id) {
            clicked.append(id);
            l.m_arrFields[id].bUsed = !l.m_arrFields[id].bUsed;
            tb.ResetToolbox(&l);
        });
        tb.ResetToolbox(&l);
        const QList<int> placeable{EAN, Logo, Rule, Title, Image, Digits, Price, Weight, Unit, Total, Plu, Shop};
        for (int id : placeable) {
            click(tb, t.g_arrFieldDef[id].Name);
            QVERIFY(l.m_arrFields[id].bUsed && tb.isItemSelected(id));
        }
        QCOMPARE(clicked, placeable);
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
        // Without a document (the last one closed) nothing is marked and a click places nothing.
        l.m_arrFields[Shop].bUsed = true;
        tb.ResetToolbox(nullptr);
        QVERIFY(!tb.isEnabled() && !tb.isItemSelected(Shop));
        click(tb, QStringLiteral("Title"));
        QCOMPARE(clicked.size(), 2 * placeable.size());
    }

    // The label's items with nothing selected; each kind of field adds its own to name, position and size.
    void items()
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
        const struct { int field; QList<int> more; const char* cats; } fields[] = {
            {EAN, {}, ""}, {Logo, {PROP_LOGO_SIZE}, "catLogoSize"}, {Image, {PROP_IMAGE_NUMBER}, "catImageNumber"},
            {Rule, {PROP_THICKNESS, PROP_THICKNESS_DOT}, "catThickness"}, {Shop, {PROP_CHAR_SIZE_1}, "catCharSize"},
            {Digits, {PROP_NUM_OF_FIGURES}, "catNumOfDigits"},
            {Total, {PROP_CHAR_SIZE_1, PROP_NUM_OF_FIGURES}, "catCharSize catNumOfDigits"}};
        h.rec(Title).bUsed = true;
        for (const auto& f : fields) {
            h.select(f.field);
            QCOMPARE(h.grid.itemIds(), (QList<int>{PROP_NAME, PROP_X, PROP_X_DOT, PROP_Y, PROP_Y_DOT, PROP_ANGLE,
                                                  PROP_PRINT_STATUS, PROP_WIDTH, PROP_WIDTH_DOT, PROP_HEIGHT,
                                                  PROP_HEIGHT_DOT} + f.more));
            QCOMPARE(h.grid.categoryCaptions().join(u' ').remove(QStringLiteral("frmProperty.")),
                     (QStringLiteral("catName catPosition catSize ") + f.cats).trimmed());
            QCOMPARE(h.grid.itemValue(PROP_NAME), h.t.g_arrFieldDef[f.field].Name);
            QVERIFY(h.grid.tree()->topLevelItem(0)->isExpanded());
        }
        // Placed names in character-code order: capitals before "shop".
        QCOMPARE(h.grid.itemChoices(PROP_NAME),
                 (QStringList{"Digits", "EAN", "Image", "Logo", "Rule", "Title", "Total", "shop"}));
        QCOMPARE(h.grid.itemCaption(PROP_CHAR_SIZE_1), QStringLiteral("frmProperty.catCharSize_Size 1"));
        QCOMPARE(h.grid.itemValue(PROP_CHAR_SIZE_1), QStringLiteral("Large"));
        h.select(Shop);
        QCOMPARE(h.grid.itemCaption(PROP_CHAR_SIZE_1), QStringLiteral("frmProperty.catCharSize_Size 1"));
    }

    // Each item edited as a user does; the item and its pair show what the model now holds.
    void editItems()
    {
        // Units show their keys: "MM" is "frmProperty.unitMM".
        const struct { int field, tag; const char *input, *shown; int pairTag; const char* pairShown; } cases[] = {
            {Logo, PROP_X, "30.3", "30.25 (MM)", PROP_X_DOT, "242 (Dot)"},
            {Logo, PROP_X_DOT, "100", "100 (Dot)", PROP_X, "12.50 (MM)"},
            {Logo, PROP_HEIGHT_DOT, "40", "40 (Dot)", PROP_HEIGHT, "5.00 (MM)"},
            {Price, PROP_ANGLE, "90", "90", PROP_PRINT_STATUS, "7-Always"},
            {Price, PROP_PRINT_STATUS, "3-Weight", "3-Weight", PROP_ANGLE, "0"},
            {Logo, PROP_LOGO_SIZE, "48x48", "48x48", PROP_NAME, "Logo"},
            {Rule, PROP_THICKNESS, "2.3", "2.25 (MM)", PROP_THICKNESS_DOT, "18 (Dot)"},
            {Rule, PROP_THICKNESS_DOT, "12", "12 (Dot)", PROP_THICKNESS, "1.50 (MM)"},
            {Image, PROP_IMAGE_NUMBER, "42", "42", PROP_NAME, "Image"},
            {Digits, PROP_NUM_OF_FIGURES, "5", "5", PROP_NAME, "Digits"},
            {Total, PROP_NUM_OF_FIGURES, "3", "3", PROP_WIDTH_DOT, "36 (Dot)"}, // three figures of 12 dots
            {Total, PROP_CHAR_SIZE_1, "Small", "Small", PROP_HEIGHT_DOT, "16 (Dot)"},
            {-1, PROP_FORMAT_NO, "100", "1", PROP_SCALE_MODEL, "Alpha"},
            {-1, PROP_LABEL_WIDTH, "40", "40 (MM)", PROP_LABEL_WIDTH_DOT, "320 (Dot)"},
            {-1, PROP_LABEL_WIDTH_DOT, "400", "400 (Dot)", PROP_LABEL_WIDTH, "50 (MM)"},
            {-1, PROP_LABEL_HEIGHT, "33.4", "33 (MM)", PROP_LABEL_HEIGHT_DOT, "264 (Dot)"},
            {-1, PROP_LABEL_HEIGHT_DOT, "480", "480 (Dot)", PROP_LABEL_HEIGHT, "60 (MM)"},
            {-1, PROP_SCALE_MODEL, "Beta", "Beta", PROP_LABEL_WIDTH_DOT, "550 (Dot)"},
        };
        for (const auto& c : cases) {
            Harness h;
            h.select(c.field);
            h.edit(c.tag, QLatin1String(c.input));
            QCOMPARE(h.grid.itemValue(c.tag).remove("frmProperty.unit"), QLatin1String(c.shown));
            QCOMPARE(h.grid.itemValue(c.pairTag).remove("frmProperty.unit"), QLatin1String(c.pairShown));
            QVERIFY(h.refusals.isEmpty() && h.doc.label().m_bModified);
        }
    }

    // Several fields selected: an item shows the value they share or nothing, and an edit
    // reaches every selected field that shows the item, as one undo step. Under the size,
    // the characters of that size the width holds.
    void selectionEdits()
    {
        Harness h;
        for (const auto& [f, x] : {std::pair(Price, 5.0f), {Weight, 9.0f}, {Logo, 5.0f}}) {
            place(h.doc.label(), f, x, 4, 20, 5);
            h.rec(f).strCharSize[1] = QStringLiteral("Medium");
        }
        h.doc.SetSelection({Logo, Weight, Price});
        h.grid.ResetProperty(&h.doc);
        QVERIFY(h.grid.itemValue(PROP_X).isEmpty() && !h.grid.itemValue(PROP_Y).isEmpty());
        h.edit(PROP_X, "12");
        QVERIFY(h.rec(Price).sngX == 12 && h.rec(Weight).sngX == 12 && h.rec(Logo).sngX == 12);
        h.edit(PROP_CHAR_SIZE_1, "Large");   // the logo has no character size
        QVERIFY(h.rec(Weight).strCharSize[1] == "Large" && h.rec(Logo).strCharSize[1] != "Large");
        QCOMPARE(h.doc.Undo().size(), 2);
        QVERIFY(h.grid.tree()->findItems("13", Qt::MatchExactly | Qt::MatchRecursive, 1).size() == 1);   // 160 dots / 12
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
        QCOMPARE(le->text(), QStringLiteral("2.00 (frmProperty.unitMM)"));
        QTest::keyClicks(le, QStringLiteral("9"));
        QTest::keyClick(le, Qt::Key_Escape);
        QTRY_VERIFY(le.isNull());
        le = qobject_cast<QLineEdit*>(h.grid.editItem(PROP_Y));
        QTest::keyClick(le, Qt::Key_Return);
        QTest::qWait(20);
        QCOMPARE(events, 0);
        click("catPos_Y");
        QTRY_VERIFY(le = qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        QTest::keyClicks(le, QStringLiteral("7.5"));
        QTest::keyClick(le, Qt::Key_Return);
        QTRY_COMPARE(h.rec(Logo).sngY, 7.5f);
        click("catPos_Angle");
        auto* cb = tree->findChild<QComboBox*>();
        QTRY_VERIFY(cb && cb->view()->isVisible());
        QCOMPARE(cb->currentText(), QStringLiteral("0"));
    }

    // Whatever is typed, the model keeps a value its files can carry and the grid shows it.
    void badValues()
    {
        // One row per kind of input: no number, empty, negative, beyond the label, beyond a Single, a quote.
        const struct { int field, tag; const char* input; } cases[] = {
            {Logo, PROP_X, "abc"}, {Logo, PROP_X_DOT, "99999"}, {Logo, PROP_Y, "-5"}, {Logo, PROP_Y_DOT, "1e400"},
            {Logo, PROP_WIDTH, "-1e30"}, {Logo, PROP_WIDTH_DOT, "1e30"}, {Logo, PROP_HEIGHT, ""},
            {Logo, PROP_HEIGHT_DOT, "\"7\""}, {Rule, PROP_THICKNESS, "1e30"}, {Rule, PROP_THICKNESS_DOT, "-2"},
            {Rule, PROP_THICKNESS, "&HFFFF"}, {Image, PROP_IMAGE_NUMBER, "99999"}, {Total, PROP_NUM_OF_FIGURES, "abc"},
            {Total, PROP_NUM_OF_FIGURES, "99999"}, {-1, PROP_FORMAT_NO, "1e10"},
            {-1, PROP_LABEL_WIDTH, "abc"}, {-1, PROP_LABEL_WIDTH, "-1e30"}, {-1, PROP_LABEL_HEIGHT_DOT, "1e10"},
            {-1, PROP_LABEL_HEIGHT_DOT, "99.9"}};
        for (const auto& [field, tag, input] : cases) {
            const QByteArray what = QByteArray::number(field) + ' ' + QByteArray::number(tag) + " '" + input + '\'';
            Harness h;
            MessageCatcher boxes;
            h.select(field);
            h.edit(tag, QString::fromLatin1(input));
            QVERIFY2(boxes.texts == h.refusals, what);
            const QRegularExpression nonNumber("nan|inf", QRegularExpression::CaseInsensitiveOption);
            QVERIFY2(!h.grid.itemValue(tag).contains(nonNumber), what);
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

    // Rows at opening and what OK hands back untouched.
    void openAndOk()
    {
        const struct { QStringList texts, fonts, fontsBack; } cases[] = {
            {{}, {}, {}},
            {{"Milk"}, {"huge"}, {"Small"}},              // an unknown font shows the first
            {{"A", ""}, {"Medium", "Large"}, {"Medium"}}, // an empty last line is dropped
        };
        for (const auto& c : cases) {
            TextEditorDialog dlg(m_t);
            open(dlg, c.texts, c.fonts);
            const int lines = int(c.fontsBack.size());
            QCOMPARE(dlg.rowCount(), lines + 1); // one empty row after the lines
            QVERIFY(dlg.txtContents(lines)->text().isEmpty() && dlg.txtContents(lines)->isVisibleTo(&dlg));
            QVERIFY(dlg.m_bCancel);
            QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
            QVERIFY(!dlg.m_bCancel && !dlg.isVisible());
            QCOMPARE(int(dlg.m_iTextLine), lines);
            for (int i = 0; i < lines; ++i)
                QVERIFY(dlg.m_strText[i + 1] == c.texts[i] && dlg.m_strCharSize[i + 1] == c.fontsBack[i]);
        }
        // A new line starts at the field's size: the grid's for a field without text, else the line above's.
        const std::tuple<QStringList, QStringList, QString> added[] = {{{}, {"Large"}, "Large"},
                                                                       {{"A"}, {"Medium"}, "Medium"}};
        for (const auto& [texts, fonts, size] : added) {
            TextEditorDialog dlg(m_t);
            open(dlg, texts, fonts);
            const int row = int(texts.size());
            QTest::keyClicks(dlg.txtContents(row), "Bread");
            QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
            QVERIFY(dlg.m_iTextLine == row + 1 && dlg.m_strCharSize[row + 1] == size);
        }
    }

    void keysGrowAndShrinkRows()
    {
        TextEditorDialog dlg(m_t);
        open(dlg, {"One"}, {"Huge"});
        QTest::keyClicks(dlg.txtContents(1), QStringLiteral("Two"));
        QCOMPARE(dlg.rowCount(), 3);
        // A new row takes the font of the row above it.
        QCOMPARE(dlg.cboFont(2)->currentText(), QStringLiteral("Huge"));
        QCOMPARE(dlg.findChildren<QLabel*>(QStringLiteral("lblLineNumber")).size(), 3);
        // Clearing the second line again leaves a single empty row at the end.
        QLineEdit* two = dlg.txtContents(1);
        two->setFocus();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(two, Qt::Key_Backspace);
        QCOMPARE(dlg.rowCount(), 2);
        QTRY_VERIFY(two->hasFocus());
        // Backspace in an empty row goes up a row, not further than row 1.
        QTest::keyClick(two, Qt::Key_Backspace);
        QTRY_VERIFY(dlg.txtContents(0)->hasFocus());
        // Enter moves down; Enter in the last row ends as OK.
        QTest::keyClick(dlg.txtContents(0), Qt::Key_Return);
        QTRY_VERIFY(dlg.txtContents(1)->hasFocus());
        QTest::keyClick(dlg.txtContents(1), Qt::Key_Return);
        QVERIFY(!dlg.isVisible() && !dlg.m_bCancel);
        QCOMPARE(int(dlg.m_iTextLine), 1);
        QCOMPARE(dlg.m_strText[1], QStringLiteral("One"));
    }

    // Twenty rows at most. With Persian labels every row reads right to left, the typed ones too.
    void twentyRowsAtMost()
    {
        Tables t = m_t;
        t.g_iLangeCodepageToConvert = 2;
        TextEditorDialog dlg(t);
        open(dlg, {}, {});
        for (int k = 0; k < 20; ++k)
            QTest::keyClicks(dlg.txtContents(k), QStringLiteral("L%1").arg(k + 1));
        QCOMPARE(dlg.rowCount(), 21);
        QVERIFY(!dlg.txtContents(20)->isVisibleTo(&dlg));
        for (int k = 0; k < dlg.rowCount(); ++k)
            QVERIFY(dlg.txtContents(k)->layoutDirection() == Qt::RightToLeft
                    && (dlg.txtContents(k)->alignment() & Qt::AlignRight));
        // Enter in row 20 goes nowhere: the hidden row is not the place to type.
        QTest::keyClick(dlg.txtContents(19), Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
        QCOMPARE(int(dlg.m_iTextLine), 20);
        QCOMPARE(dlg.m_strText[20], QStringLiteral("L20"));
    }

    // The label file cannot hold a double quote: OK is refused with a message. Characters
    // the scale cannot show are named, but the lines are kept.
    void unstorableText()
    {
        TextEditorDialog dlg(m_t);
        open(dlg, {"Fine", "Say \"hi\""}, {"Small", "Small"});
        MessageCatcher boxes;
        QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY(boxes.texts[0].contains(QLatin1String("msgQuoteInText")));
        QVERIFY(dlg.isVisible() && dlg.m_bCancel);
        QCOMPARE(dlg.focusWidget(), dlg.txtContents(1));
        dlg.txtContents(1)->setText(QStringLiteral("Caf\u00e9 \u0416\u0416 \u20ac"));
        QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
        QCOMPARE(boxes.texts.size(), 2);
        QVERIFY(boxes.texts[1].startsWith(QLatin1String("frmEditText.msgUnencodableText")));
        QVERIFY(boxes.texts[1].endsWith(QStringLiteral("\u0416")));
        QVERIFY(!dlg.m_bCancel);
        QCOMPARE(dlg.m_strText[2], QStringLiteral("Caf\u00e9 \u0416\u0416 \u20ac"));
    }

    // A stored placement that is no number is ignored; the new one is kept on closing, even by
    // Cancel, which hands back nothing typed.
    void placementRemembered()
    {
        QSettings s(QStringLiteral("Quillon"), QStringLiteral("Quillon"));
        s.setValue(QStringLiteral("Settings/EditTextLeft"), QStringLiteral("abc"));
        s.setValue(QStringLiteral("Settings/EditTextWidth"), QStringLiteral("7200"));
        s.sync();
        {
            TextEditorDialog dlg(m_t);
            open(dlg, {"Keep"}, {"Medium"});
            const double px = dlg.logicalDpiX() / 1440.0;
            QCOMPARE(dlg.width(), int(7200 * px));
            dlg.resize(int(8640 * px), dlg.height());
            QTest::keyClicks(dlg.txtContents(0), QStringLiteral(" me not"));
            QTest::mouseClick(dlg.cmdCancel(), Qt::LeftButton);
            QVERIFY(dlg.m_bCancel);
            QCOMPARE(dlg.m_strText[1], QStringLiteral("Keep"));
        }
        s.sync();
        bool ok = false;
        QVERIFY(qAbs(s.value(QStringLiteral("Settings/EditTextWidth")).toString().toFloat(&ok) - 8640) < 30 && ok);
        s.value(QStringLiteral("Settings/EditTextLeft")).toString().toFloat(&ok);
        QVERIFY(ok);
    }
};

QTEST_MAIN(TestPanes)
#include "test_panes.moc"
