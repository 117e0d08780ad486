#include "app/labelprint.h"
#include "render/labelpainter.h"
#include "platform/screenunits.h"
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>

namespace quillon {

bool SetUpPrinterForLabel(QPrinter& printer, const Label& label)
{
    const double w = label.m_iHoriRulerWidth, h = label.m_iVertRulerHeight;
    if (!(w > 0) || !(h > 0))
        return false;
    // A label wider than high is still one upright page of that size: turning it
    // to landscape would swap the sides on printers that honour the orientation.
    const QPageSize size(QSizeF(w, h), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    const QPageLayout layout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    printer.setFullPage(true);
    return printer.setPageLayout(layout);
}

bool PrintLabel(QPrinter& printer, const Label& label, const SampleItem& sample)
{
    QPainter p;
    if (!p.begin(&printer))
        return false;
    LabelPaintOptions o;
    o.zoom = 1.0;
    o.pxPerMM = printer.resolution() / kMMPerInch;
    o.separator = false; // a screen aid, not part of the label
    o.sample = &sample;
    o.preview = true;
    o.markMisfits = false;
    PaintLabel(p, label, o);
    return p.end();
}

Result ExportLabelPng(const Label& label, double zoom, const QString& path, const SampleItem& sample)
{
    const QImage img = RenderLabelToImage(label, zoom, &sample);
    if (img.isNull())
        return Result::Fail(QStringLiteral("The label has no size that can be drawn at this zoom."));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Result::Fail(file.errorString());
    if (!img.save(&file, "PNG")) {
        file.cancelWriting();
        return Result::Fail(QStringLiteral("The picture cannot be written."));
    }
    if (!file.commit())
        return Result::Fail(file.errorString());
    return Result::Ok();
}

} // namespace quillon
