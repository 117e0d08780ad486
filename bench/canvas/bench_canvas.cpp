// Canvas timings: ms per repaint of a 500 % document with every catalogue field
// placed, and ms per step of a 100-step field drag with snapping to the other
// fields and a 1 mm grid, guides and grid drawn.
//
//     bench_canvas [--grab OUT.png]
//
// Reads the shipped catalogue and character sizes from the source tree
// ($QUILLON_SOURCE_DIR/data/program). With --grab it saves the view as the user
// sees it. Runs offscreen when there is no display.
#include "editor/labelview.h"
#include "model/document.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QPixmap>
#include <cstdio>

using namespace quillon;

namespace {

QByteArray readData(const QString& name)
{
    QString dir = qEnvironmentVariable("QUILLON_SOURCE_DIR", QStringLiteral(QUILLON_SOURCE_DIR));
    QFile f(dir + QStringLiteral("/data/program/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString grabPath;
    const QStringList args = app.arguments();
    const int g = args.indexOf(QStringLiteral("--grab"));
    if (g > 0 && g + 1 < args.size())
        grabPath = args[g + 1];

    Tables t;
    t.g_arrScaleModel = {ScaleModel{1, QStringLiteral("Bench"), 100, 20, 100, 20, 125}};
    t.g_arrFieldFont = ParseFieldFonts(readData(QStringLiteral("FieldFont.dsc")));
    t.g_arrFieldDef = ParseFieldCatalogue(readData(QStringLiteral("FormatField.English.dsc")));
    t.g_varLogoSizeList = {QStringLiteral("1"), QStringLiteral("2")};
    if (t.g_arrFieldDef.isEmpty() || t.g_arrFieldFont.isEmpty()) {
        std::fprintf(stderr, "bench_canvas: cannot read the catalogue or character sizes under data/program\n");
        return 1;
    }

    Document doc(t);
    Label& lb = doc.label();
    lb.m_iHoriRulerWidth = 80;
    lb.m_iVertRulerHeight = 60;
    for (int i = 0; i < lb.fieldCount(); ++i) {
        lb.m_arrFields[i].bUsed = true;
        lb.m_arrFields[i].lAttribute = (lb.m_arrFields[i].lAttribute & 0x3FFF) | ((i % 4) << 14);
        lb.m_arrFields[i].iTextLine = 1;
        lb.m_arrFields[i].strText[1] = QStringLiteral("Field %1 caption text").arg(i);
    }

    LabelView view(doc);
    view.resize(1600, 1300);
    view.show();
    view.ApplyLabelScale(5.0f);
    QApplication::processEvents();
    QWidget* canvas = view.findChild<QWidget*>(QStringLiteral("picCanvas"));
    view.SelectField(0);
    view.SetGrid({true, true, 1.0f});

    const int frames = 200;
    for (int i = 0; i < 10; ++i)
        canvas->repaint();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < frames; ++i)
        canvas->repaint();
    const double repaintMs = timer.nsecsElapsed() / 1e6 / frames;

    // The same with the preview on: every field drawn as it prints, the barcode included.
    view.SetSample(DefaultSampleItem(QStringLiteral("English")), true);
    for (int i = 0; i < 10; ++i)
        canvas->repaint();
    timer.restart();
    for (int i = 0; i < frames; ++i)
        canvas->repaint();
    const double previewMs = timer.nsecsElapsed() / 1e6 / frames;
    view.SetSample(DefaultSampleItem(QStringLiteral("English")), false);

    // Drag the first field 100 steps of one pixel, repainting after each.
    int sel = -1;
    for (int i = lb.fieldCount() - 1; i >= 0 && sel < 0; --i)
        sel = i;
    const FieldBox b = lb.GetFieldSize(sel);
    const double k = 5.0 * view.logicalDpiX() / 25.4;
    QPoint p(int((b.left + b.width / 2) * k), int((b.top + b.height / 2) * k));
    send(canvas, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
    timer.restart();
    for (int i = 0; i < 100; ++i) {
        p += QPoint(1, (i % 2));
        send(canvas, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
        canvas->repaint();
    }
    const double dragMs = timer.nsecsElapsed() / 1e6 / 100;
    send(canvas, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);

    std::printf("fields placed:        %d\n", int(lb.fieldCount()));
    std::printf("canvas size:          %d x %d px at 500 %%\n", canvas->width(), canvas->height());
    std::printf("repaint:              %.3f ms per frame (target under 8)\n", repaintMs);
    std::printf("repaint with preview: %.3f ms per frame (target under 8)\n", previewMs);
    std::printf("drag step + repaint:  %.3f ms per step (100 steps, snapping and grid on; target under 4)\n", dragMs);

    if (!grabPath.isEmpty()) {
        view.resize(700, 520);
        view.ApplyLabelScale(2.5f);
        view.SelectField(sel);
        QApplication::processEvents();
        if (!view.grab().save(grabPath))
            std::fprintf(stderr, "bench_canvas: cannot write %s\n", qPrintable(grabPath));
    }
    return 0;
}
