// The text content editor: its rows and their rules, the keys, OK and Cancel,
// text the label file cannot carry, placement, and the field edit it feeds.
#include "panesfixture.h"
#include "editor/texteditordialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;
using namespace paneTest;

namespace {

using Lines = std::array<QString, kMaxTextLines + 1>;

Lines lines(const QStringList& l)
{
    Lines a;
    for (int i = 0; i < l.size() && i < kMaxTextLines; ++i)
        a[i + 1] = l[i];
    return a;
}

QStringList got(const Lines& a, int n)
{
    QStringList out;
    for (int i = 1; i <= n; ++i)
        out.append(a[i]);
    return out;
}

int visibleRows(const TextEditorDialog& dlg)
{
    int n = 0;
    for (int k = 0; k < dlg.rowCount(); ++k)
        n += dlg.txtContents(k)->isVisibleTo(&dlg) ? 1 : 0;
    return n;
}

} // namespace

class TestEditText : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;
    Tables m_t = MakeTables();

    void open(TextEditorDialog& dlg, const QStringList& texts, const QStringList& fonts)
    {
        dlg.Init(qint16(texts.size()), lines(texts), lines(fonts));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_settings.isValid());
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
        UseKeyCaptions();
    }

    // Rows at opening and what OK hands back untouched.
    void openAndOk_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("fonts");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("fontsBack");
        QTest::addColumn<int>("linesBack");
        QTest::newRow("three lines") << QStringList{"Fresh", "Bread", "Daily"} << QStringList{"S1", "Big", "S2"} << 4
                                     << QStringList{"S1", "Big", "S2"} << 3;
        QTest::newRow("no lines") << QStringList{} << QStringList{} << 1 << QStringList{} << 0;
        QTest::newRow("unknown font shows the first") << QStringList{"Milk"} << QStringList{"big"} << 2
                                                      << QStringList{"S1"} << 1;
        QTest::newRow("empty last line is dropped") << QStringList{"A", ""} << QStringList{"S2", "S3"} << 2
                                                    << QStringList{"S2"} << 1;
        QStringList twenty, twentyFonts;
        for (int i = 1; i <= 20; ++i) {
            twenty << QStringLiteral("Line %1").arg(i);
            twentyFonts << (i % 2 ? "S1" : "Big");
        }
        QTest::newRow("twenty lines") << twenty << twentyFonts << 21 << twentyFonts << 20;
    }

    void openAndOk()
    {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, fonts);
        QFETCH(int, rows);
        QFETCH(QStringList, fontsBack);
        QFETCH(int, linesBack);
        TextEditorDialog dlg(m_t);
        open(dlg, texts, fonts);
        QCOMPARE(dlg.rowCount(), rows);
        QCOMPARE(visibleRows(dlg), qMin(rows, 20));
        QVERIFY(dlg.txtContents(rows - 1)->text().isEmpty());
        QCOMPARE(dlg.cboFont(0)->count(), 4);
        QVERIFY(dlg.m_bCancel);
        QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
        QVERIFY(!dlg.m_bCancel);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(int(dlg.m_iTextLine), linesBack);
        QCOMPARE(got(dlg.m_strText, linesBack), texts.mid(0, linesBack));
        QCOMPARE(got(dlg.m_strCharSize, linesBack), fontsBack);
    }

    void rowsGrowAndShrink()
    {
        TextEditorDialog dlg(m_t);
        open(dlg, {"One"}, {"Big"});
        QCOMPARE(dlg.rowCount(), 2);
        QTest::keyClicks(dlg.txtContents(1), QStringLiteral("Two"));
        QCOMPARE(dlg.rowCount(), 3);
        // A new row takes the font of the row above it.
        QCOMPARE(dlg.cboFont(1)->currentText(), QStringLiteral("Big"));
        QCOMPARE(dlg.cboFont(2)->currentText(), QStringLiteral("Big"));
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
        QVERIFY(dlg.isVisible());
        QTest::keyClick(dlg.txtContents(1), Qt::Key_Return);
        QVERIFY(!dlg.isVisible());
        QVERIFY(!dlg.m_bCancel);
        QCOMPARE(int(dlg.m_iTextLine), 1);
        QCOMPARE(dlg.m_strText[1], QStringLiteral("One"));
    }

    void twentyRowsAtMost()
    {
        TextEditorDialog dlg(m_t);
        open(dlg, {}, {});
        for (int k = 0; k < 20; ++k) {
            QLineEdit* le = dlg.txtContents(k);
            QVERIFY(le && le->isVisible());
            QTest::keyClicks(le, QStringLiteral("L%1").arg(k + 1));
        }
        QCOMPARE(dlg.rowCount(), 21);
        QCOMPARE(visibleRows(dlg), 20);
        // Enter in row 20 goes nowhere: the hidden row is not the place to type.
        QTest::keyClick(dlg.txtContents(19), Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
        QCOMPARE(int(dlg.m_iTextLine), 20);
        QCOMPARE(dlg.m_strText[20], QStringLiteral("L20"));
        if (qEnvironmentVariableIsSet("QUILLON_PANES_SHOTS"))
            dlg.grab().save(qEnvironmentVariable("QUILLON_PANES_SHOTS") + QStringLiteral("/edittext.png"));
    }

    void cancelChangesNothing()
    {
        TextEditorDialog dlg(m_t);
        open(dlg, {"Keep"}, {"S2"});
        QTest::keyClicks(dlg.txtContents(0), QStringLiteral(" me not"));
        QTest::mouseClick(dlg.cmdCancel(), Qt::LeftButton);
        QVERIFY(dlg.m_bCancel);
        QCOMPARE(int(dlg.m_iTextLine), 1);
        QCOMPARE(dlg.m_strText[1], QStringLiteral("Keep"));
    }

    // The label file cannot hold a double quote: OK is refused with a message.
    void doubleQuoteRefused()
    {
        TextEditorDialog dlg(m_t);
        open(dlg, {"Fine", "Say \"hi\""}, {"S1", "S1"});
        MessageCatcher boxes;
        QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY(boxes.texts[0].contains(QLatin1String("msgQuoteInText")));
        QVERIFY(dlg.isVisible());
        QVERIFY(dlg.m_bCancel);
        QCOMPARE(dlg.focusWidget(), dlg.txtContents(1));
        dlg.txtContents(1)->setText(QStringLiteral("Say hi"));
        QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
        QVERIFY(!dlg.m_bCancel);
        QCOMPARE(dlg.m_strText[2], QStringLiteral("Say hi"));
    }

    // Characters the scale cannot show are named, but the lines are kept.
    void unencodableWarnedNotRefused()
    {
        TextEditorDialog dlg(m_t);
        open(dlg, {QStringLiteral("Caf\u00e9 \u0416\u0416 \u20ac")}, {"S1"});
        MessageCatcher boxes;
        QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY(boxes.texts[0].startsWith(QLatin1String("frmEditText.msgUnencodableText")));
        QVERIFY(boxes.texts[0].endsWith(QStringLiteral("\u0416")));
        QVERIFY(!dlg.m_bCancel);
        QCOMPARE(dlg.m_strText[1], QStringLiteral("Caf\u00e9 \u0416\u0416 \u20ac"));
    }

    void persianRowsReadRightToLeft()
    {
        Tables t = MakeTables();
        t.g_iLangeCodepageToConvert = 2;
        TextEditorDialog dlg(t);
        open(dlg, {QStringLiteral("سلام")}, {"S1"});
        for (int k = 0; k < dlg.rowCount(); ++k) {
            QCOMPARE(dlg.txtContents(k)->layoutDirection(), Qt::RightToLeft);
            QVERIFY(dlg.txtContents(k)->alignment() & Qt::AlignRight);
        }
        TextEditorDialog plain(m_t);
        open(plain, {"x"}, {"S1"});
        QCOMPARE(plain.txtContents(1)->layoutDirection(), Qt::LeftToRight);
    }

    void placementRemembered()
    {
        QSettings s(QStringLiteral("Quillon"), QStringLiteral("Quillon"));
        s.beginGroup(QStringLiteral("Settings"));
        s.setValue(QStringLiteral("EditTextLeft"), QStringLiteral("abc"));
        s.setValue(QStringLiteral("EditTextWidth"), QStringLiteral("7200"));
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
        const float w = s.value(QStringLiteral("EditTextWidth")).toString().toFloat(&ok);
        QVERIFY(ok);
        QVERIFY(qAbs(w - 8640) < 30);
        s.value(QStringLiteral("EditTextLeft")).toString().toFloat(&ok);
        QVERIFY(ok);
    }

    // What the document does with OK: one undo step for the whole edit.
    void wholeEditUndoesAtOnce()
    {
        Document doc(m_t);
        FieldRecord& r = doc.label().m_arrFields[Title];
        r.bUsed = true;
        r.iTextLine = 2;
        r.strText[1] = QStringLiteral("Old 1");
        r.strText[2] = QStringLiteral("Old 2");
        r.strCharSize[2] = QStringLiteral("S1");
        const FieldRecord before = r;

        TextEditorDialog dlg(m_t);
        open(dlg, {r.strText[1], r.strText[2]}, {r.strCharSize[1], r.strCharSize[2]});
        dlg.txtContents(0)->setText(QStringLiteral("New 1"));
        QTest::keyClicks(dlg.txtContents(2), QStringLiteral("New 3"));
        QTest::mouseClick(dlg.cmdOK(), Qt::LeftButton);
        QVERIFY(!dlg.m_bCancel);

        {
            UndoStep step(doc, Title);
            r.iTextLine = dlg.m_iTextLine;
            for (int i = 1; i <= dlg.m_iTextLine; ++i) {
                r.strText[i] = dlg.m_strText[i];
                r.strCharSize[i] = dlg.m_strCharSize[i];
            }
        }
        QCOMPARE(int(r.iTextLine), 3);
        QCOMPARE(r.strCharSize[3], QStringLiteral("S1"));
        QCOMPARE(doc.Undo(), QList<int>{Title});
        QVERIFY(doc.label().m_arrFields[Title] == before);
        QVERIFY(!doc.undo().canUndo());
    }
};

QTEST_MAIN(TestEditText)
#include "test_edittext.moc"
