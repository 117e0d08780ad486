#include "render/labelpainter.h"
#include "render/barcode.h"
#include "model/tables.h"
#include "model/units.h"
#include "platform/screenunits.h"
#include <QFontMetricsF>
#include <QCache>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QScreen>
#include <QTextOption>
#include <cmath>
#include <limits>

namespace quillon {

namespace {

const QColor kSeparator(210, 210, 210);
const QColor kFieldFill(242, 246, 252);
const QColor kFieldFrame(150, 160, 175);
const QColor kLabelFrame(120, 120, 120);
const QColor kHandleBlue(0, 0, 255);
const QColor kHandleGrey(128, 128, 128);
const QColor kGuide(60, 60, 60);
const QColor kGrid(222, 226, 234);
const QColor kMisfit(220, 0, 0);

bool isBarcode(qint32 type) { return type >= FT_B1 && type <= FT_B5; }

QFont captionFont()
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setHintingPreference(QFont::PreferNoHinting); // same shapes at every zoom and device ratio
    return f;
}

QVector<FieldBox> boxesOf(const Label& label)
{
    Label work = label; // GetFieldSize stores an N1 field's computed size
    QVector<FieldBox> boxes(work.fieldCount());
    for (int i = 0; i < work.fieldCount(); ++i)
        boxes[i] = work.GetFieldSize(i);
    return boxes;
}

// Draws the caption turned by `rot` quarter turns inside the box r.
void paintCaptionText(QPainter& p, QPointF centre, int rot, double ownW, double ownH, const QFont& f,
                      const QString& caption, bool rtl)
{
    p.translate(centre);
    p.rotate(-90.0 * rot); // counter-clockwise as seen on the label
    p.setFont(f);
    p.setPen(Qt::black);
    QTextOption opt;
    opt.setWrapMode(QTextOption::NoWrap);
    opt.setTextDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    opt.setAlignment((rtl ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignAbsolute | Qt::AlignVCenter);
    const QRectF own(-ownW / 2, -ownH / 2, ownW, ownH);
    p.drawText(own.adjusted(1, 0, -1, 0), caption, opt);
}

void drawCaption(QPainter& p, const QRectF& r, int rot, double ownW, double ownH, const QFont& f,
                 const QString& caption, bool rtl)
{
    QPaintEngine* engine = p.paintEngine();
    const bool raster = engine && engine->type() == QPaintEngine::Raster
        && p.transform().type() <= QTransform::TxTranslate;
    if (!raster) { // PDF and printers keep the text as text
        p.save();
        p.setClipRect(r, Qt::IntersectClip);
        paintCaptionText(p, r.center(), rot, ownW, ownH, f, caption, rtl);
        p.restore();
        return;
    }
    // Large glyphs are outlined anew on every paint; a caption is therefore kept
    // as an image at the device's own resolution and copied pixel for pixel.
    const double dpr = p.device()->devicePixelRatioF();
    const QPointF dev = p.transform().map(r.topLeft()) * dpr;
    const QPoint base(int(std::lround(dev.x())), int(std::lround(dev.y())));
    const QSize size(int(std::lround(r.width() * dpr)), int(std::lround(r.height() * dpr)));
    if (size.isEmpty())
        return;
    const QString key = caption + QChar(0x1F) + f.key() + QStringLiteral("|%1|%2|%3|%4|%5|%6|%7")
        .arg(rot).arg(size.width()).arg(size.height()).arg(ownW).arg(ownH).arg(dpr).arg(rtl);
    thread_local QCache<QString, QImage> cache(48 * 1024); // cost in KiB
    QImage* img = cache.object(key);
    if (!img) {
        img = new QImage(size, QImage::Format_ARGB32_Premultiplied);
        img->fill(Qt::transparent);
        img->setDevicePixelRatio(dpr);
        QPainter ip(img);
        ip.setRenderHint(QPainter::TextAntialiasing, true);
        paintCaptionText(ip, QPointF(size.width(), size.height()) / dpr / 2, rot, ownW, ownH, f, caption, rtl);
        ip.end();
        const qsizetype cost = qMax<qsizetype>(1, img->sizeInBytes() / 1024);
        if (!cache.insert(key, img, cost)) {
            // Too large to keep: draw it directly.
            p.save();
            p.setClipRect(r, Qt::IntersectClip);
            paintCaptionText(p, r.center(), rot, ownW, ownH, f, caption, rtl);
            p.restore();
            return;
        }
        img = cache.object(key);
    }
    const QPointF at = QPointF(base) / dpr - QPointF(p.transform().dx(), p.transform().dy());
    p.drawImage(at, *img);
}

void paintFieldBox(QPainter& p, const Label& label, int i, const FieldBox& b, const LabelPaintOptions& o)
{
    const double k = o.pxPerMM;
    const QRectF r(b.left * k, b.top * k, b.width * k, b.height * k);
    p.setPen(QPen(kFieldFrame, 0));
    p.setBrush(kFieldFill);
    p.drawRect(r);

    const QString caption = FieldCaption(label, i);
    if (caption.isEmpty() || r.width() < 2 || r.height() < 2)
        return;

    const int rot = label.m_arrFields[i].rotation();
    const bool sideways = rot == 1 || rot == 3;
    const double ownW = sideways ? r.height() : r.width();
    const double ownH = sideways ? r.width() : r.height();

    const QSizeF ch = CaptionCharSize(label, i, o.zoom);
    const double screenPxPerMM = o.zoom > 0 ? k / o.zoom : k;
    QFont f = captionFont();
    if (isBarcode(label.fieldType(i))) {
        // A barcode's caption only names the field: plain letters that fit the box.
        const double px = std::min(ch.height() / 4 * screenPxPerMM, ownH * 0.6);
        if (px < 1)
            return;
        f.setPixelSize(std::max(1, int(std::lround(px))));
    } else {
        // The caption sizes count a printer cell four times high and twice wide;
        // the real cell is drawn so that the caption looks as it prints.
        const double cellH = ch.height() / 4 * screenPxPerMM;
        const double cellW = ch.width() / 2 * screenPxPerMM;
        const double px = std::min(cellH, ownH * 0.9);
        if (px < 1)
            return;
        f.setPixelSize(std::max(1, int(std::lround(px))));
        const double avg = QFontMetricsF(f).averageCharWidth();
        if (avg > 0 && cellH > 0)
            f.setStretch(std::clamp(int(std::lround(cellW * (px / cellH) / avg * 100)), 40, 250));
    }

    drawCaption(p, r, rot, ownW, ownH, f, caption, label.tables().g_iLangeCodepageToConvert == 2);
}

// One line of characters, each in its printer cell (cellW x cellH pixels) from `origin`.
void drawCells(QPainter& p, QPointF origin, const QString& text, double cellW, double cellH)
{
    if (cellW < 1 || cellH < 1 || text.isEmpty())
        return;
    QFont f = captionFont();
    f.setPixelSize(std::max(1, int(cellH * 0.82)));
    const double avg = QFontMetricsF(f).averageCharWidth();
    if (avg > 0)
        f.setStretch(std::clamp(int(std::lround(cellW * 0.92 / avg * 100)), 30, 300));
    p.setFont(f);
    p.setPen(Qt::black);
    for (int j = 0; j < text.size(); ++j)
        p.drawText(QRectF(origin.x() + j * cellW, origin.y(), cellW, cellH), Qt::AlignCenter, text.mid(j, 1));
}

// Field i as it prints with the sample item, inside its box and turned with it.
void paintFieldPreview(QPainter& p, const Label& label, int i, const FieldBox& b, const LabelPaintOptions& o)
{
    const double k = o.pxPerMM;
    const QRectF r(b.left * k, b.top * k, b.width * k, b.height * k);
    const FieldRecord& rec = label.m_arrFields[i];
    const int rot = rec.rotation();
    const bool sideways = rot == 1 || rot == 3;
    const double ownW = sideways ? r.height() : r.width();
    const double ownH = sideways ? r.width() : r.height();
    const double dotPx = k * label.GetMMPerKDot() / 1000.0;
    const SampleItem& item = *o.sample;
    const Tables& t = label.tables();
    const qint32 type = label.fieldType(i);

    p.save();
    p.translate(r.center());
    p.rotate(-90.0 * rot);
    const QRectF own(-ownW / 2, -ownH / 2, ownW, ownH);
    p.setClipRect(own.adjusted(-0.5, -0.5, 0.5, 0.5));
    switch (type) {
    case FT_B1: {
        const QString data = BarcodeData(item);
        if (!DrawBarcode(p, EncodeBarcode(item.barcode, data), own, dotPx, data)) {
            p.setPen(QPen(kMisfit, 0, Qt::DashLine));
            p.drawRect(own);
        }
        break;
    }
    case FT_B3: p.fillRect(own, Qt::black); break;
    case FT_B2:
    case FT_B4: {
        p.setPen(QPen(Qt::gray, 0, Qt::DashLine));
        p.drawRect(own.adjusted(0, 0, -1, -1));
        QFont f = captionFont();
        f.setPixelSize(std::max(1, int(std::min(ownH * 0.3, 14 * k / 4))));
        p.setFont(f);
        p.drawText(own, Qt::AlignCenter,
                   type == FT_B2 ? QStringLiteral("Logo %1").arg(rec.strLogoSize)
                                 : QStringLiteral("Image %1").arg(rec.iImageNumber));
        break;
    }
    case FT_B5: {
        QFont f = captionFont();
        f.setPixelSize(std::max(1, int(ownH * 0.9)));
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(own, Qt::AlignRight | Qt::AlignVCenter, SampleText(label, i, item));
        break;
    }
    default: {
        if (t.g_arrFieldFont.isEmpty())
            break;
        double y = own.top();
        const bool ownLines = type == FT_TEXT || type == FT_SHOPNAME;
        for (int line = 1; line <= SampleLineCount(label, i); ++line) {
            const FieldFont& cell = t.g_arrFieldFont[FontIndexByName(t, rec.strCharSize[ownLines ? line : 1])];
            drawCells(p, QPointF(own.left(), y), SampleText(label, i, item, line), cell.Width * dotPx,
                      cell.Height * dotPx);
            y += cell.Height * dotPx;
        }
        break;
    }
    }
    p.restore();
}

} // namespace

FieldFit FieldFitOf(const Label& label, int i, const SampleItem& item)
{
    int modules = 0;
    if (i >= 0 && i < label.fieldCount() && label.fieldType(i) == FT_B1) {
        const BarcodeSymbol s = EncodeBarcode(item.barcode, BarcodeData(item));
        // Data the symbology refuses fits nowhere.
        modules = s.ok() ? s.modulesAcross() : std::numeric_limits<int>::max();
    }
    return CheckFieldFit(label, i, item, modules);
}

FieldBox FieldBoxOf(const Label& label, int index)
{
    if (index < 0 || index >= label.fieldCount())
        return {};
    Label work = label;
    return work.GetFieldSize(index);
}

QRectF HandleRect(const QRectF& box, int k, double w, double h)
{
    const double L = box.left(), T = box.top(), W = box.width(), H = box.height();
    double x = L - w / 2, y = T - h / 2;
    switch (k) {
    case 0: break;
    case 1: y = T + (H - h) / 2; break;
    case 2: y = T + H - h / 2; break;
    case 3: x = L + (W - w) / 2; break;
    case 4: x = L + (W - w) / 2; y = T + H - h / 2; break;
    case 5: x = L + W - w / 2; break;
    case 6: x = L + W - w / 2; y = T + (H - h) / 2; break;
    case 7: x = L + W - w / 2; y = T + H - h / 2; break;
    default: return {};
    }
    return QRectF(x, y, w, h);
}

QSizeF CaptionCharSize(const Label& label, int index, double zoom)
{
    if (index < 0 || index >= label.fieldCount())
        return {};
    if (isBarcode(label.fieldType(index)))
        return QSizeF(zoom * 10, zoom * 20);
    const auto& fonts = label.tables().g_arrFieldFont;
    if (fonts.isEmpty())
        return QSizeF(zoom * 10, zoom * 20);
    const FieldFont& f = fonts[FontIndexByName(label.tables(), label.m_arrFields[index].strCharSize[1])];
    const float k = label.GetMMPerKDot();
    const float s = float(zoom);
    return QSizeF(DotToMM(f.Width * s, k) * 2, DotToMM(f.Height * 2 * s, k) * 2);
}

QString FieldCaption(const Label& label, int index)
{
    if (index < 0 || index >= label.fieldCount())
        return {};
    const auto& defs = label.tables().g_arrFieldDef;
    const QString name = index < defs.size() ? defs[index].Name : QString();
    const qint32 type = label.fieldType(index);
    if (type == FT_TEXT || type == FT_SHOPNAME) {
        const FieldRecord& r = label.m_arrFields[index];
        if (!r.strText[1].isEmpty() && r.iTextLine > 0)
            return r.strText[1];
    }
    return name;
}

void PaintField(QPainter& p, const Label& label, int index, const LabelPaintOptions& o)
{
    if (index < 0 || index >= label.fieldCount() || !label.m_arrFields[index].bUsed)
        return;
    paintFieldBox(p, label, index, FieldBoxOf(label, index), o);
}

void PaintLabel(QPainter& p, const Label& label, const LabelPaintOptions& o)
{
    const double k = o.pxPerMM;
    const double w = label.m_iHoriRulerWidth * k;
    const double h = label.m_iVertRulerHeight * k;

    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.fillRect(QRectF(0, 0, w + 1, h + 1), Qt::white);
    if (o.separator && !o.preview && 10 * k <= h) {
        p.setPen(QPen(kSeparator, 0));
        p.drawLine(QPointF(0, 10 * k), QPointF(w + 1, 10 * k));
    }

    if (o.gridStepPx >= 4) {
        // Opaque, whole-pixel lines in one call: blended ones cost a frame's budget.
        QVector<QLine> lines;
        for (double x = o.gridStepPx; x < w; x += o.gridStepPx)
            lines << QLine(int(std::lround(x)), 0, int(std::lround(x)), int(h));
        for (double y = o.gridStepPx; y < h; y += o.gridStepPx)
            lines << QLine(0, int(std::lround(y)), int(w), int(std::lround(y)));
        p.setPen(QPen(kGrid, 0));
        p.drawLines(lines);
    }

    const QVector<FieldBox> boxes = boxesOf(label);
    for (int i = 0; i < boxes.size(); ++i) {
        if (i == o.skip || !label.m_arrFields[i].bUsed)
            continue;
        if (o.preview && o.sample)
            paintFieldPreview(p, label, i, boxes[i], o);
        else
            paintFieldBox(p, label, i, boxes[i], o);
    }
    if (o.sample && o.markMisfits) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kMisfit, std::max(1.0, k / 8)));
        for (int i = 0; i < boxes.size(); ++i)
            if (i != o.skip && label.m_arrFields[i].bUsed && !FieldFitOf(label, i, *o.sample).fits)
                p.drawRect(QRectF(boxes[i].left * k, boxes[i].top * k, boxes[i].width * k, boxes[i].height * k));
    }

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kLabelFrame, 0));
    p.drawRect(QRectF(0, 0, w, h));

    const int sel = o.selected;
    if (sel >= 0 && sel < boxes.size() && label.m_arrFields[sel].bUsed) {
        if (o.guides) {
            const FieldRecord& r = label.m_arrFields[sel];
            const double gy = (label.m_iVertRulerHeight - r.sngY) * k;
            const double gx = r.sngX * k;
            p.setPen(QPen(kGuide, 0, Qt::DashLine));
            p.drawLine(QPointF(0, gy), QPointF(w + 1, gy));
            p.drawLine(QPointF(gx, 0), QPointF(gx, h + 1));
        }
        if (o.handles) {
            const FieldBox& b = boxes[sel];
            const QRectF r(b.left * k, b.top * k, b.width * k, b.height * k);
            const QColor c = label.fieldType(sel) == FT_N1 ? kHandleGrey : kHandleBlue;
            for (int n = 0; n < 8; ++n)
                p.fillRect(HandleRect(r, n, o.handleSizePx, o.handleSizePx), c);
        }
    }
    p.restore();
}

double RenderScreenDpi()
{
    if (!qGuiApp || QGuiApplication::platformName() == QLatin1String("offscreen"))
        return 96.0;
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInch() : 96.0;
}

QImage RenderLabelToImage(const Label& label, double zoom, const SampleItem* preview)
{
    const double dpi = RenderScreenDpi();
    LabelPaintOptions o;
    o.zoom = zoom;
    o.pxPerMM = zoom * dpi / kMMPerInch;
    const int w = int(std::lround(label.m_iHoriRulerWidth * o.pxPerMM)) + 1;
    const int h = int(std::lround(label.m_iVertRulerHeight * o.pxPerMM)) + 1;
    if (w <= 1 || h <= 1 || w > 20000 || h > 20000)
        return {};
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    const int dpm = int(std::lround(dpi / 0.0254));
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    o.sample = preview;
    o.preview = preview != nullptr;
    o.markMisfits = false;
    o.separator = !o.preview;
    QPainter p(&img);
    PaintLabel(p, label, o);
    p.end();
    return img;
}

Result RenderLabelToPdf(const Label& label, const QString& path, const SampleItem* preview)
{
    const double W = label.m_iHoriRulerWidth, H = label.m_iVertRulerHeight;
    if (W <= 0 || H <= 0)
        return Result::Fail(QStringLiteral("The label has no size"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Result::Fail(file.errorString());
    {
        QPdfWriter pdf(&file);
        pdf.setCreator(QStringLiteral("Quillon"));
        pdf.setPageSize(QPageSize(QSizeF(W, H), QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        pdf.setResolution(1200);
        QPainter p;
        if (!p.begin(&pdf)) {
            file.cancelWriting();
            return Result::Fail(QStringLiteral("Cannot write the PDF"));
        }
        LabelPaintOptions o;
        o.zoom = 1.0;
        o.pxPerMM = 1200 / kMMPerInch;
        o.separator = false; // a screen aid, not part of the label
        o.sample = preview;
        o.preview = preview != nullptr;
        o.markMisfits = false;
        PaintLabel(p, label, o);
        if (!p.end()) {
            file.cancelWriting();
            return Result::Fail(QStringLiteral("Cannot write the PDF"));
        }
    }
    if (!file.commit())
        return Result::Fail(file.errorString());
    return Result::Ok();
}

} // namespace quillon
