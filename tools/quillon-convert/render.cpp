// render: a label drawn by the canvas painter, as a PNG at a zoom's screen size
// or as a PDF at the label's true size.
#include "commands.h"
#include "render/labelpainter.h"
#include "model/qlffile.h"

#include <QGuiApplication>
#include <QSaveFile>

namespace quillon::convert {

namespace {

int render(Invocation& inv)
{
    const QString in = inv.args[0];
    const QString out = inv.args[1];
    const QString suffix = out.section(QLatin1Char('.'), -1).toLower();
    if (!out.contains(QLatin1Char('.')) || (suffix != QLatin1String("png") && suffix != QLatin1String("pdf")))
        return Usage(QStringLiteral("render writes OUT.png or OUT.pdf"));

    double zoom = 1.0;
    if (inv.options.contains(QStringLiteral("--zoom"))) {
        bool ok = false;
        zoom = inv.options.value(QStringLiteral("--zoom")).toDouble(&ok);
        if (!ok || !(zoom >= 0.5 && zoom <= 5.0))
            return Usage(QStringLiteral("--zoom takes a number from 0.5 to 5.0"));
    }
    if (!qGuiApp)
        return Fail(out, QStringLiteral("drawing needs the GUI library"));

    Label label(inv.app.tables);
    const QlfReadResult r = OpenLabel(in, label);
    if (!r.ok())
        return Fail(in, r.error == QlfError::Format ? QStringLiteral("format error: ") + r.message : r.message);

    if (suffix == QLatin1String("pdf")) {
        const Result w = RenderLabelToPdf(label, out);
        return w ? kOk : Fail(out, w.error);
    }
    const QImage img = RenderLabelToImage(label, zoom);
    if (img.isNull())
        return Fail(in, QStringLiteral("the label is too small or too large to draw"));
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly))
        return Fail(out, file.errorString());
    if (!img.save(&file, "PNG")) {
        file.cancelWriting();
        return Fail(out, QStringLiteral("cannot write the image"));
    }
    return file.commit() ? kOk : Fail(out, file.errorString());
}

const SubcommandRegistration registration({QStringLiteral("render"), QStringLiteral("LABEL.QLF OUT.png|OUT.pdf [--zoom F]"),
                                           {QStringLiteral("--zoom")}, 2, render});

} // namespace

} // namespace quillon::convert
