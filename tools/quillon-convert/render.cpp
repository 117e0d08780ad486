// render: a label drawn by the canvas painter, as a PNG at a zoom's screen size
// or as a PDF at the label's true size, with --preview as it prints with a sample
// item; check: the fields whose sample does not fit.
#include "commands.h"
#include "render/labelpainter.h"
#include "context/barcodeformats.h"
#include "model/qlffile.h"
#include "platform/database.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>
#include <cstdio>
#include <optional>
#include <QSaveFile>

namespace quillon::convert {

namespace {

constexpr int kMisfits = 3;

// The barcode format of --barcode-format, else the one the label was given in the
// designer; nothing when neither names one.
std::optional<SampleItem> WithLabelBarcode(Invocation& inv, const QString& labelPath, SampleItem item)
{
    const QSqlDatabase db = inv.app.db().mainDb();
    const bool asked = inv.options.contains(QStringLiteral("--barcode-format"));
    const QString name = asked ? inv.options.value(QStringLiteral("--barcode-format")) : LabelBarcodeFormat(db, labelPath);
    if (name.isEmpty())
        return item;
    for (const BarcodeFormat& f : LoadBarcodeFormats(db))
        if (f.name == name)
            return WithBarcodeFormat(item, f);
    if (asked) {
        Fail(name, QStringLiteral("no such barcode format"));
        return std::nullopt;
    }
    return item;
}

// The sample item: the interface language's, with the keys of --sample's [Sample]
// section, and the label's barcode format.
std::optional<SampleItem> ReadSample(Invocation& inv, const QString& labelPath)
{
    const SampleItem base = DefaultSampleItem(inv.app.tables.g_strLanguage);
    if (!inv.options.contains(QStringLiteral("--sample")))
        return WithLabelBarcode(inv, labelPath, base);
    const QString path = inv.options.value(QStringLiteral("--sample"));
    if (!QFileInfo(path).isFile()) {
        Fail(path, QStringLiteral("no such sample file"));
        return std::nullopt;
    }
    QSettings s(path, QSettings::IniFormat);
    if (s.status() != QSettings::NoError) {
        Fail(path, QStringLiteral("cannot read the sample file"));
        return std::nullopt;
    }
    return WithLabelBarcode(inv, labelPath, SampleItemFromSettings(s, base));
}

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
    std::optional<SampleItem> sample;
    if (inv.options.contains(QStringLiteral("--preview"))) {
        sample = ReadSample(inv, in);
        if (!sample)
            return kBadInput;
    }
    const SampleItem* preview = sample ? &*sample : nullptr;

    if (suffix == QLatin1String("pdf")) {
        const Result w = RenderLabelToPdf(label, out, preview);
        return w ? kOk : Fail(out, w.error);
    }
    const QImage img = RenderLabelToImage(label, zoom, preview);
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

// check: one line per field whose sample does not fit, status 3 when any.
int check(Invocation& inv)
{
    Label label(inv.app.tables);
    const QlfReadResult r = OpenLabel(inv.args[0], label);
    if (!r.ok())
        return Fail(inv.args[0], r.error == QlfError::Format ? QStringLiteral("format error: ") + r.message : r.message);
    const std::optional<SampleItem> sample = ReadSample(inv, inv.args[0]);
    if (!sample)
        return kBadInput;
    const auto& defs = label.tables().g_arrFieldDef;
    int misfits = 0;
    for (int i = 0; i < label.fieldCount(); ++i) {
        const FieldFit fit = FieldFitOf(label, i, *sample);
        if (fit.fits)
            continue;
        ++misfits;
        QString what;
        if (label.fieldType(i) == FT_B1)
            what = QStringLiteral("the barcode needs %1 dots across, the field has %2").arg(fit.needed).arg(fit.capacity);
        else if (fit.needed > fit.capacity)
            what = QStringLiteral("fits %1 of %2 characters").arg(fit.capacity).arg(fit.needed);
        else
            what = QStringLiteral("the characters are higher than the field");
        std::printf("%s: %s: %s\n", qPrintable(inv.args[0]), qPrintable(defs.value(i).Name), qPrintable(what));
    }
    return misfits > 0 ? kMisfits : kOk;
}

const SubcommandRegistration registration({QStringLiteral("render"),
                                           QStringLiteral("LABEL.QLF OUT.png|OUT.pdf [--zoom F] [--preview [--sample FILE.ini] "
                                                          "[--barcode-format NAME]]"),
                                           {QStringLiteral("--zoom"), QStringLiteral("--preview"), QStringLiteral("--sample"),
                                            QStringLiteral("--barcode-format")},
                                           2, render});
const SubcommandRegistration checkRegistration({QStringLiteral("check"), QStringLiteral("LABEL.QLF [--sample FILE.ini] [--barcode-format NAME]"),
                                                {QStringLiteral("--sample"), QStringLiteral("--barcode-format")}, 1, check});

} // namespace

} // namespace quillon::convert
