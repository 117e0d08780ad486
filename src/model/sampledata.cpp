#include "model/sampledata.h"
#include "model/tables.h"
#include <QSettings>
#include <cmath>

namespace quillon {

namespace {

// What the fields of the shipped catalogue print, by their place in it (label
// files store fields by that place, so every language's catalogue keeps it).
enum SampleField {
    NameLine1, NameLine2, NameLine3, ItemCode, Plu, NetWeight, Tare, UnitPrice, Quantity, TotalPrice,
    TotalLarge, PackedOn, SellBy, PackingTime, Barcode
};

QString decimal(double v, int places, QChar separator)
{
    QString s = QString::number(v, 'f', places);
    s.replace(QLatin1Char('.'), separator);
    return s;
}

QString price(const SampleItem& item, double v)
{
    const QString s = decimal(v, 2, item.decimalSeparator);
    return item.currency.isEmpty() ? s : s + QLatin1Char(' ') + item.currency;
}

// A number in at least `figures` figures, zero-padded on the left.
QString inFigures(const QString& digits, int figures)
{
    if (figures <= 0 || digits.size() >= figures)
        return digits;
    return QString(figures - digits.size(), QLatin1Char('0')) + digits;
}

int ean(const QString& digits)
{
    // Weights 3 and 1 from the right, as EAN and ITF-14 count them.
    int sum = 0;
    for (int k = 0; k < digits.size(); ++k)
        sum += digits.at(digits.size() - 1 - k).digitValue() * (k % 2 == 0 ? 3 : 1);
    return (10 - sum % 10) % 10;
}

} // namespace

double SampleItem::Total() const
{
    if (total)
        return *total;
    return std::round(netWeightKg * unitPrice * quantity * 100) / 100;
}

SampleItem DefaultSampleItem(const QString& language)
{
    SampleItem s;
    if (language == QLatin1String("Chinese")) {
        s.nameLines = {QStringLiteral("全麦面包"), QStringLiteral("切片"), QStringLiteral("当日烘焙")};
        s.currency = QStringLiteral("元");
        s.dateFormat = QStringLiteral("yyyy-MM-dd");
    } else if (language == QLatin1String("Other")) {
        s.nameLines = {QStringLiteral("Хлеб на закваске"), QStringLiteral("нарезанный"), QStringLiteral("выпечен сегодня")};
        s.currency = QStringLiteral("руб.");
        s.decimalSeparator = QLatin1Char(',');
    } else {
        s.nameLines = {QStringLiteral("Sourdough loaf"), QStringLiteral("Wholemeal, sliced"), QStringLiteral("Baked today")};
    }
    s.itemCode = QStringLiteral("204117");
    s.plu = QStringLiteral("123");
    s.netWeightKg = 0.482;
    s.tareKg = 0.012;
    s.unitPrice = 6.90;
    s.packed = QDate::currentDate();
    s.sellBy = s.packed.addDays(3);
    s.packedTime = QTime(8, 30);
    return s;
}

SampleItem LongSampleItem()
{
    SampleItem s = DefaultSampleItem(QStringLiteral("English"));
    s.nameLines = QStringList(3, QString(40, QLatin1Char('W')));
    s.itemCode = QString(13, QLatin1Char('9'));
    s.plu = QString(6, QLatin1Char('9'));
    s.netWeightKg = 99.999;
    s.tareKg = 9.999;
    s.unitPrice = 9999.99;
    s.quantity = 999;
    s.total = 99999.99;
    s.currency = QStringLiteral("EUR");
    s.packed = QDate(2026, 12, 31);
    s.sellBy = QDate(2026, 12, 31);
    s.packedTime = QTime(23, 59);
    return s;
}

SampleItem SampleItemFromSettings(QSettings& s, const SampleItem& base)
{
    SampleItem item = base;
    s.beginGroup(QStringLiteral("Sample"));
    auto text = [&s](const char* key, const QString& def) { return s.value(QLatin1String(key), def).toString(); };
    auto number = [&s](const char* key, double def) {
        bool ok = false;
        const double v = s.value(QLatin1String(key)).toString().toDouble(&ok);
        return ok && std::isfinite(v) && std::fabs(v) < 1e9 ? v : def;
    };
    auto date = [&s](const char* key, const QDate& def) {
        const QDate d = QDate::fromString(s.value(QLatin1String(key)).toString(), Qt::ISODate);
        return d.isValid() ? d : def;
    };
    item.nameLines.clear();
    for (int k = 0; k < 3; ++k)
        item.nameLines << s.value(QStringLiteral("Name%1").arg(k + 1), base.nameLines.value(k)).toString();
    item.itemCode = text("ItemCode", base.itemCode);
    item.plu = text("PLU", base.plu);
    item.netWeightKg = number("NetWeight", base.netWeightKg);
    item.tareKg = number("Tare", base.tareKg);
    item.unitPrice = number("UnitPrice", base.unitPrice);
    item.quantity = number("Quantity", base.quantity);
    if (s.contains(QStringLiteral("Total")))
        item.total = number("Total", base.Total());
    item.packed = date("Packed", base.packed);
    item.sellBy = date("SellBy", base.sellBy);
    const QTime t = QTime::fromString(s.value(QStringLiteral("Time")).toString(), QStringLiteral("hh:mm"));
    if (t.isValid())
        item.packedTime = t;
    item.currency = text("Currency", base.currency);
    const QString sep = text("DecimalSeparator", base.decimalSeparator);
    if (sep.size() == 1)
        item.decimalSeparator = sep.at(0);
    item.dateFormat = text("DateFormat", base.dateFormat);
    if (const auto kind = BarcodeKindFromKey(text("Barcode", QString())))
        item.barcode = *kind;
    item.barcodePattern = text("BarcodePattern", base.barcodePattern);
    s.endGroup();
    return item;
}

void StoreSampleItem(QSettings& s, const SampleItem& item)
{
    s.beginGroup(QStringLiteral("Sample"));
    for (int k = 0; k < 3; ++k)
        s.setValue(QStringLiteral("Name%1").arg(k + 1), item.nameLines.value(k));
    s.setValue(QStringLiteral("ItemCode"), item.itemCode);
    s.setValue(QStringLiteral("PLU"), item.plu);
    s.setValue(QStringLiteral("NetWeight"), QString::number(item.netWeightKg, 'g', 15));
    s.setValue(QStringLiteral("Tare"), QString::number(item.tareKg, 'g', 15));
    s.setValue(QStringLiteral("UnitPrice"), QString::number(item.unitPrice, 'g', 15));
    s.setValue(QStringLiteral("Quantity"), QString::number(item.quantity, 'g', 15));
    if (item.total)
        s.setValue(QStringLiteral("Total"), QString::number(*item.total, 'g', 15));
    else
        s.remove(QStringLiteral("Total"));
    s.setValue(QStringLiteral("Packed"), item.packed.toString(Qt::ISODate));
    s.setValue(QStringLiteral("SellBy"), item.sellBy.toString(Qt::ISODate));
    s.setValue(QStringLiteral("Time"), item.packedTime.toString(QStringLiteral("hh:mm")));
    s.setValue(QStringLiteral("Currency"), item.currency);
    s.setValue(QStringLiteral("DecimalSeparator"), QString(item.decimalSeparator));
    s.setValue(QStringLiteral("DateFormat"), item.dateFormat);
    s.setValue(QStringLiteral("Barcode"), BarcodeKindKey(item.barcode));
    s.setValue(QStringLiteral("BarcodePattern"), item.barcodePattern);
    s.endGroup();
}

namespace {
struct KindName {
    BarcodeKind kind;
    const char* key;
    const char* caption;
    int patternLength;
};
constexpr KindName kKinds[] = {{BarcodeKind::Ean13, "ean13", "EAN-13", 12},
                               {BarcodeKind::Ean8, "ean8", "EAN-8", 7},
                               {BarcodeKind::Code128, "code128", "Code 128", 0},
                               {BarcodeKind::Itf14, "itf14", "ITF-14", 13},
                               {BarcodeKind::QrCode, "qr", "QR Code", 0}};
const KindName& kindName(BarcodeKind kind)
{
    for (const KindName& k : kKinds)
        if (k.kind == kind)
            return k;
    return kKinds[0];
}
} // namespace

QString BarcodeKindKey(BarcodeKind kind) { return QLatin1String(kindName(kind).key); }
QString BarcodeKindCaption(BarcodeKind kind) { return QLatin1String(kindName(kind).caption); }
int BarcodePatternLength(BarcodeKind kind) { return kindName(kind).patternLength; }

std::optional<BarcodeKind> BarcodeKindFromKey(const QString& key)
{
    for (const KindName& k : kKinds)
        if (key.trimmed().compare(QLatin1String(k.key), Qt::CaseInsensitive) == 0)
            return k.kind;
    return std::nullopt;
}

BarcodeFormatProblem CheckBarcodeFormat(const BarcodeFormat& format)
{
    const QString name = format.name.trimmed();
    if (name.isEmpty() || name.size() > 40 || name != format.name)
        return BarcodeFormatProblem::Name;
    const int length = BarcodePatternLength(format.kind);
    if (length == 0)
        return BarcodeFormatProblem::None;
    if (format.pattern.size() != length)
        return BarcodeFormatProblem::PatternLength;
    for (QChar c : format.pattern)
        if (!(c >= u'0' && c <= u'9') && c != u'F' && c != u'P' && c != u'W' && c != u'R')
            return BarcodeFormatProblem::PatternCharacter;
    return BarcodeFormatProblem::None;
}

SampleItem WithBarcodeFormat(SampleItem item, const BarcodeFormat& format)
{
    item.barcode = format.kind;
    item.barcodePattern = format.pattern;
    return item;
}

QString BarcodeData(const SampleItem& item)
{
    const QString plu = item.plu;
    const QString cents = QString::number(qint64(std::llround(item.Total() * 100)));
    const QString grams = QString::number(qint64(std::llround(item.netWeightKg * 1000)));
    if (item.barcode == BarcodeKind::Code128 || item.barcode == BarcodeKind::QrCode)
        return QStringLiteral("PLU%1 %2").arg(plu, decimal(item.Total(), 2, QLatin1Char('.')));
    // Each run of a letter takes the rightmost figures of its value, zero-padded.
    QString digits;
    const QString& p = item.barcodePattern;
    for (int k = 0; k < p.size();) {
        int n = 1;
        while (k + n < p.size() && p.at(k + n) == p.at(k))
            ++n;
        const QChar c = p.at(k);
        QString value;
        if (c == u'P')
            value = plu;
        else if (c == u'W')
            value = grams;
        else if (c == u'R')
            value = cents;
        else if (c == u'F')
            value = QStringLiteral("2");
        if (value.isNull()) {
            for (int j = 0; j < n; ++j)
                digits += p.at(k + j).isDigit() ? p.at(k + j) : QLatin1Char('0');
        } else {
            QString v;
            for (QChar d : value)
                if (d.isDigit())
                    v += d;
            digits += inFigures(v, n).right(n);
        }
        k += n;
    }
    const int length = BarcodePatternLength(item.barcode);
    digits = inFigures(digits, length).left(length);
    return digits + QString::number(ean(digits));
}

int SampleLineCount(const Label& label, int i)
{
    const qint32 t = label.fieldType(i);
    if (t == FT_TEXT || t == FT_SHOPNAME)
        return qBound(0, int(label.m_arrFields[i].iTextLine), kMaxTextLines);
    return 1;
}

QString SampleText(const Label& label, int i, const SampleItem& item, int line)
{
    if (i < 0 || i >= label.fieldCount())
        return {};
    const FieldRecord& r = label.m_arrFields[i];
    const qint32 t = label.fieldType(i);
    if (t == FT_TEXT || t == FT_SHOPNAME)
        return line >= 1 && line <= SampleLineCount(label, i) ? r.strText[line] : QString();
    if (line != 1 || t == FT_B1 || t == FT_B2 || t == FT_B3 || t == FT_B4)
        return {};
    const QChar sep = item.decimalSeparator;
    switch (i) {
    case NameLine1: case NameLine2: case NameLine3: return item.nameLines.value(i);
    case ItemCode: return item.itemCode;
    case Plu: return t == FT_N1 ? inFigures(item.plu, r.iNumOfFigures) : item.plu;
    case NetWeight: return decimal(item.netWeightKg, 3, sep) + QStringLiteral(" kg");
    case Tare: return decimal(item.tareKg, 3, sep) + QStringLiteral(" kg");
    case UnitPrice: return price(item, item.unitPrice) + QStringLiteral("/kg");
    case Quantity: return QString::number(qint64(std::llround(item.quantity)));
    case TotalPrice: return price(item, item.Total());
    case TotalLarge: return decimal(item.Total(), 2, sep);
    case PackedOn: return item.packed.toString(item.dateFormat);
    case SellBy: return item.sellBy.toString(item.dateFormat);
    case PackingTime: return item.packedTime.toString(QStringLiteral("hh:mm"));
    default: break;
    }
    // Another catalogue's field: its name stands in for its data.
    const auto& defs = label.tables().g_arrFieldDef;
    return i < defs.size() ? defs[i].Name : QString();
}

FieldFit CheckFieldFit(const Label& label, int i, const SampleItem& item, int barcodeModules)
{
    FieldFit fit;
    if (i < 0 || i >= label.fieldCount() || !label.m_arrFields[i].bUsed)
        return fit;
    const FieldRecord& r = label.m_arrFields[i];
    const qint32 t = label.fieldType(i);
    const Tables& tables = label.tables();
    // The text runs along the field's own width, whatever its rotation.
    const int widthDots = label.MMToDot(r.sngWidth);
    const int heightDots = label.MMToDot(r.sngHeight);
    if (t == FT_B1) {
        fit.checked = barcodeModules > 0;
        fit.capacity = widthDots;
        fit.needed = barcodeModules;
        fit.fits = !fit.checked || barcodeModules <= widthDots;
        return fit;
    }
    if (t == FT_B5) {
        QString digits = SampleText(label, i, item);
        digits.remove(item.decimalSeparator);
        fit.checked = true;
        fit.capacity = r.iNumOfFigures;
        fit.needed = int(digits.size());
        fit.fits = fit.needed <= fit.capacity;
        return fit;
    }
    if (t < FT_C1 || tables.g_arrFieldFont.isEmpty())
        return fit;
    fit.checked = true;
    const int lines = SampleLineCount(label, i);
    int height = 0;
    fit.capacity = -1;
    for (int line = 1; line <= std::max(lines, 1); ++line) {
        const FieldFont& cell = tables.g_arrFieldFont[FontIndexByName(tables, r.strCharSize[t == FT_TEXT || t == FT_SHOPNAME ? line : 1])];
        const int capacity = cell.Width > 0 ? widthDots / cell.Width : 0;
        const int needed = int(SampleText(label, i, item, line).size());
        height += cell.Height;
        // The line that overflows most speaks for the field.
        if (fit.capacity < 0 || needed - capacity > fit.needed - fit.capacity) {
            fit.capacity = capacity;
            fit.needed = needed;
        }
    }
    if (t == FT_N1) {
        // Its box follows its figures: what matters is whether the number has more.
        fit.capacity = r.iNumOfFigures;
        fit.needed = int(SampleText(label, i, item).size());
    }
    fit.tooLow = height > heightDots && t != FT_N1;
    fit.fits = fit.needed <= fit.capacity && !fit.tooLow;
    return fit;
}

} // namespace quillon
