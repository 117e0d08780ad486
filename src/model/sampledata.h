#pragma once
// The sample item a label is previewed with, what each field prints with it, and
// whether that fits the field's box in the printer's character cells.
#include "model/label.h"
#include <QDate>
#include <QStringList>
#include <QTime>
#include <optional>

class QSettings;

namespace quillon {

enum class BarcodeKind { Ean13, Ean8, Code128, Itf14, QrCode };

struct SampleItem {
    QStringList nameLines;        // item name lines 1 to 3
    QString itemCode;
    QString plu;
    double netWeightKg = 0;
    double tareKg = 0;
    double unitPrice = 0;         // per kg
    double quantity = 1;
    std::optional<double> total;  // weight x unit price unless set
    QDate packed;
    QDate sellBy;
    QTime packedTime;
    QString currency;             // printed after prices ("" for none)
    QChar decimalSeparator = QLatin1Char('.');
    QString dateFormat = QStringLiteral("dd.MM.yy");
    BarcodeKind barcode = BarcodeKind::Ean13;
    // Digits of the barcode: fixed digits and the letters F (flag), P (PLU), W (weight
    // in grams), R (price in cents), one letter per digit; the check digit is added.
    QString barcodePattern = QStringLiteral("20PPPPPRRRRR");

    double Total() const;
};

// The key a symbology is stored under ("ean13", "ean8", "code128", "itf14", "qr"),
// and back; an unknown key gives nothing.
QString BarcodeKindKey(BarcodeKind kind);
std::optional<BarcodeKind> BarcodeKindFromKey(const QString& key);
// Caption of a symbology ("EAN-13", ...).
QString BarcodeKindCaption(BarcodeKind kind);
// Digits a pattern must have for the symbology (the check digit is added); 0 when
// the symbology prints the PLU and price as text and takes no pattern.
int BarcodePatternLength(BarcodeKind kind);

// One of the shop's barcode formats: a name, the symbology and the data pattern.
struct BarcodeFormat {
    QString name;
    BarcodeKind kind = BarcodeKind::Ean13;
    QString pattern;
    bool operator==(const BarcodeFormat&) const = default;
};
// Why the format cannot be stored: an empty or overlong name, a pattern of the
// wrong length or with other characters than figures and F, P, W, R. Empty when sound.
enum class BarcodeFormatProblem { None, Name, PatternLength, PatternCharacter };
BarcodeFormatProblem CheckBarcodeFormat(const BarcodeFormat& format);
// The item with the format's symbology and pattern.
SampleItem WithBarcodeFormat(SampleItem item, const BarcodeFormat& format);

// A plausible item in the interface language ("English", "Chinese", "Other").
SampleItem DefaultSampleItem(const QString& language);
// The longest values each field can take: every figure used, the longest names.
SampleItem LongSampleItem();
// Reads the keys of an item's [Sample] section; missing keys keep `base`'s values.
SampleItem SampleItemFromSettings(QSettings& s, const SampleItem& base);
void StoreSampleItem(QSettings& s, const SampleItem& item);

// The barcode's data for the item: the pattern filled in and its check digit added
// (EAN-13, EAN-8, ITF-14), or the PLU and price as text (Code 128, QR Code).
QString BarcodeData(const SampleItem& item);

// The text line `line` (1-based) of field i prints with the item: a field of the
// shipped catalogue by its place in it, TEXT and SHOPNAME their own lines, numbers
// with the field's figures. Empty for fields that print no characters.
QString SampleText(const Label& label, int i, const SampleItem& item, int line = 1);
// Lines of text field i prints (its own for TEXT and SHOPNAME, one for the others).
int SampleLineCount(const Label& label, int i);

// Whether the sample text of field i fits its box at its character size.
struct FieldFit {
    bool checked = false;   // a field that prints characters or a barcode
    bool fits = true;
    int capacity = 0;       // characters of its size that fit on its width (modules for a barcode)
    int needed = 0;         // characters (modules) the sample needs
    bool tooLow = false;    // the cells (lines) are higher than the box
};
// `barcodeModules`: the modules the item's barcode needs across (the symbol is
// drawn by the painter, which knows them); a barcode fits with one dot per module.
FieldFit CheckFieldFit(const Label& label, int i, const SampleItem& item, int barcodeModules);

} // namespace quillon
