// The text content editor: its rows and their rules, the keys, OK and Cancel,
// text the label file cannot carry, and where it opens.
#include "common/testtables.h"
#include "editor/texteditordialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;
using namespace quillon::test;

class TestEditText : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;
    Tables m_t = makeTables(kCatalogue);

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

    // Rows at opening and what OK hands back untouched.
    void openAndOk_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("fonts");
        QTest::addColumn<QStringList>("fontsBack");
        QTest::addColumn<int>("linesBack");
        QStringList twenty, twentyFonts;
        for (int i = 1; i <= 20; ++i) {
            twenty << QStringLiteral("Line %1").arg(i);
            twentyFonts << (i % 2 ? "Small" : "Huge");
        }
        const QStringList three{"Small", "Huge", "Medium"};
        QTest::newRow("three lines") << QStringList{"Fresh", "Bread", "Daily"} << three << three << 3;
        QTest::newRow("no lines") << QStringList{} << QStringList{} << QStringList{} << 0;
        QTest::newRow("unknown font shows the first") << QStringList{"Milk"} << QStringList{"huge"}
                                                      << QStringList{"Small"} << 1;
        QTest::newRow("empty last line is dropped") << QStringList{"A", ""} << QStringList{"Medium", "Large"}
                                                    << QStringList{"Medium"} << 1;
        QTest::newRow("twenty lines") << twenty << twentyFonts << twentyFonts << 20;
    }
    void openAndOk()
    {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, fonts);
        QFETCH(QStringList, fontsBack);
        QFETCH(int, linesBack);
        TextEditorDialog dlg(m_t);
        open(dlg, texts, fonts);
        // One empty row after the lines, of which 20 at most are shown.
        const int rows = linesBack + 1;
        QCOMPARE(dlg.rowCount(), rows);
        QVERIFY(dlg.txtContents(rows - 1)->text().isEmpty());
        QCOMPARE(dlg.txtContents(qMin(rows, 20) - 1)->isVisibleTo(&dlg), true);
        QCOMPARE(dlg.txtContents(rows - 1)->isVisibleTo(&dlg), rows <= 20);
        QCOMPARE(dlg.cboFont(0)->count(), 4);
        QVERIFY(dlg.m_bCancel);
        QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
        QVERIFY(!dlg.m_bCancel && !dlg.isVisible());
        QCOMPARE(int(dlg.m_iTextLine), linesBack);
        for (int i = 0; i < linesBack; ++i) {
            QCOMPARE(dlg.m_strText[i + 1], texts[i]);
            QCOMPARE(dlg.m_strCharSize[i + 1], fontsBack[i]);
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

    void twentyRowsAtMost()
    {
        TextEditorDialog dlg(m_t);
        open(dlg, {}, {});
        for (int k = 0; k < 20; ++k)
            QTest::keyClicks(dlg.txtContents(k), QStringLiteral("L%1").arg(k + 1));
        QCOMPARE(dlg.rowCount(), 21);
        QVERIFY(!dlg.txtContents(20)->isVisibleTo(&dlg));
        // Enter in row 20 goes nowhere: the hidden row is not the place to type.
        QTest::keyClick(dlg.txtContents(19), Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
        QCOMPARE(int(dlg.m_iTextLine), 20);
        QCOMPARE(dlg.m_strText[20], QStringLiteral("L20"));
    }

    void cancelChangesNothing()
    {
        TextEditorDialog dlg(m_t);
        open(dlg, {"Keep"}, {"Medium"});
        QTest::keyClicks(dlg.txtContents(0), QStringLiteral(" me not"));
        QTest::mouseClick(dlg.cmdCancel(), Qt::LeftButton);
        QVERIFY(dlg.m_bCancel);
        QCOMPARE(dlg.m_strText[1], QStringLiteral("Keep"));
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

    void persianRowsReadRightToLeft()
    {
        Tables t = m_t;
        t.g_iLangeCodepageToConvert = 2;
        TextEditorDialog dlg(t), plain(m_t);
        open(dlg, {QStringLiteral("سلام")}, {"Small"});
        for (int k = 0; k < dlg.rowCount(); ++k) {
            QCOMPARE(dlg.txtContents(k)->layoutDirection(), Qt::RightToLeft);
            QVERIFY(dlg.txtContents(k)->alignment() & Qt::AlignRight);
        }
        open(plain, {"x"}, {"Small"});
        QCOMPARE(plain.txtContents(1)->layoutDirection(), Qt::LeftToRight);
    }

    // A stored placement that is no number is ignored; the new one is kept on closing.
    void placementRemembered()
    {
        QSettings s(QStringLiteral("Quillon"), QStringLiteral("Quillon"));
        s.setValue(QStringLiteral("Settings/EditTextLeft"), QStringLiteral("abc"));
        s.setValue(QStringLiteral("Settings/EditTextWidth"), QStringLiteral("7200"));
        s.sync();
        {
            TextEditorDialog dlg(m_t);
            open(dlg, {}, {});
            const double px = dlg.logicalDpiX() / 1440.0;
            QCOMPARE(dlg.width(), int(7200 * px));
            dlg.resize(int(8640 * px), dlg.height());
            QTest::mouseClick(dlg.cmdCancel(), Qt::LeftButton);
        }
        s.sync();
        bool ok = false;
        QVERIFY(qAbs(s.value(QStringLiteral("Settings/EditTextWidth")).toString().toFloat(&ok) - 8640) < 30 && ok);
        s.value(QStringLiteral("Settings/EditTextLeft")).toString().toFloat(&ok);
        QVERIFY(ok);
    }
};

QTEST_MAIN(TestEditText)
#include "test_edittext.moc"
