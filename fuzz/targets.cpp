#include "targets.h"

#include "model/f52data.h"
#include "model/qlffile.h"
#include "model/irancharconvert.h"
#include "model/tables.h"
#include "model/f56f61data.h"
#include "model/numberspelling.h"
#include "platform/ini.h"
#include "scale/driverresult.h"
#include "transferprotocol.h"

#include <QFile>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

namespace quillon::fuzz {

namespace {

FailureHandler g_handler = nullptr;

#define CHECK(target, cond)                                                                                  \
    do {                                                                                                     \
        if (!(cond))                                                                                         \
            ::quillon::fuzz::Fail(target, #cond " at line " QT_STRINGIFY(__LINE__));                         \
    } while (0)

QByteArray bytesOf(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

const char* const kTypeNames[] = {"B1", "B2", "B3", "B4", "B5", "C1", "C2", "C3", "C4", "N1", "TEXT", "SHOPNAME"};

// The code-page settings a text data file can be read with.
struct TextMode {
    qint16 setLanguageCodepage;
    qint16 langeCodepageToConvert;
    int ansiCodepage;
};
constexpr std::array<TextMode, 8> kTextModes = {{
    {0, 0, 1252}, // no conversion, Western workstation
    {0, 0, 936},  // no conversion, double-byte workstation
    {1, 0, 1250}, // 852 tables
    {1, 1, 1251}, // 866 tables
    {1, 2, 1256}, // Persian
    {1, 3, 1252}, // conversion on, unknown kind
    {0, 0, 1250},
    {0, 0, 1256},
}};

// Tables as the program builds them from its shipped files: fonts and logo sizes
// as shipped, one field of every type plus a second TEXT and SHOPNAME.
Tables makeTables(const TextMode& mode)
{
    Tables t;
    t.softwareName = QStringLiteral("Quillon Label Designer");
    t.g_arrScaleModel = {
        ScaleModel{1, QStringLiteral("Alpha"), 60, 20, 80, 20, 125},
        ScaleModel{2, QStringLiteral("Beta"), 100, 30, 120, 30, 100},
    };
    const char* fonts[] = {"Tiny 12x16", "Small 16x24", "Medium 24x32", "Large 32x48", "X-Large 48x64"};
    const qint16 w[] = {12, 16, 24, 32, 48};
    const qint16 h[] = {16, 24, 32, 48, 64};
    for (int i = 0; i < 5; ++i)
        t.g_arrFieldFont.append(FieldFont{QString::fromLatin1(fonts[i]), qint16(i + 1), w[i], h[i]});
    for (int i = 0; i < 12; ++i)
        t.g_arrFieldDef.append(FieldDef{QStringLiteral("Field %1").arg(i), i, 2, 3, 20, 5});
    t.g_arrFieldDef.append(FieldDef{QStringLiteral("Text 2"), FT_TEXT, 2, 10, 30, 4});
    t.g_arrFieldDef.append(FieldDef{QStringLiteral("Shop 2"), FT_SHOPNAME, 2, 15, 30, 4});
    t.g_varPrintStatusList = QStringLiteral("0 - Never|1 - Weighed|7 - Always").split(u'|');
    t.g_varLogoSizeList = QStringLiteral("1|2|3|4|5|6|7|8").split(u'|');
    t.g_iSetLanguageCodepage = mode.setLanguageCodepage;
    t.g_iLangeCodepageToConvert = mode.langeCodepageToConvert;
    t.m_iAnsiCodepage = mode.ansiCodepage;
    BuildCodePageTables(t);
    if (t.persianMode())
        t.g_objIranConvert = std::make_shared<IranCharConvert>();
    return t;
}

const Tables& tables(int mode = 0)
{
    static std::array<std::unique_ptr<Tables>, kTextModes.size()> all;
    auto& t = all[size_t(mode) % all.size()];
    if (!t)
        t = std::make_unique<Tables>(makeTables(kTextModes[size_t(mode) % all.size()]));
    return *t;
}

// What every reader must leave in a label, whatever it was given.
void checkLabel(const char* target, const Label& l)
{
    const Tables& t = l.tables();
    CHECK(target, l.fieldCount() == t.g_arrFieldDef.size());
    CHECK(target, l.m_iSelected >= -1 && l.m_iSelected < l.fieldCount());
    CHECK(target, l.m_iScaleModelIndex >= 0 && l.m_iScaleModelIndex <= qMax(0, t.g_iScaleModelMax()));
    for (const FieldRecord& r : l.m_arrFields) {
        CHECK(target, std::isfinite(r.sngX) && std::isfinite(r.sngY));
        CHECK(target, std::isfinite(r.sngWidth) && std::isfinite(r.sngHeight));
        CHECK(target, std::isfinite(r.dblThickness));
        CHECK(target, r.lAttribute >= 0 && r.lAttribute <= 0xFFFF);
        CHECK(target, r.iTextLine >= 0 && r.iTextLine <= kMaxTextLines);
    }
}

// A new label as a document window starts it, or (model >= 0) on that scale model
// with every field normalised. Built once per tables and model and then copied: for
// a small input, building it was most of the work.
Label newLabel(const Tables& t, int model = -1)
{
    static std::map<std::pair<const Tables*, int>, Label> built;
    const auto key = std::make_pair(&t, model);
    auto it = built.find(key);
    if (it == built.end()) {
        Label l(t);
        if (model >= 0) {
            l.m_iScaleModelIndex = qint16(model);
            for (int i = 0; i < l.fieldCount(); ++i)
                l.NormaliseField(i);
        }
        it = built.emplace(key, l).first;
    }
    return it->second;
}

bool hasReplacementCharacter(const Label& l)
{
    auto bad = [](const QString& s) { return s.contains(QChar(QChar::ReplacementCharacter)) || s.contains(u'?'); };
    for (const FieldRecord& r : l.m_arrFields) {
        if (bad(r.strLogoSize))
            return true;
        for (int j = 1; j <= kMaxTextLines; ++j)
            if (bad(r.strCharSize[j]) || bad(r.strText[j]))
                return true;
    }
    return false;
}

// Whether two records agree but for the two members the reader takes differently
// from the writer: the B2 logo size (written as its value, read as a list index)
// and N1 figures above 9 (written in decimal, read as hexadecimal), which only have
// to be above 9 in both.
bool wideN1(QStringView e) { return e.size() == FieldEntryLength(FT_N1) && e.sliced(14, 2).toInt() > 9; }

bool sameRecords(const Tables& t, QStringView a, QStringView b)
{
    if (a.left(24) != b.left(24))
        return false;
    qsizetype p = 24;
    for (const FieldDef& d : t.g_arrFieldDef) {
        const int n = FieldEntryLength(d.FieldType);
        const QStringView ea = a.mid(p, n), eb = b.mid(p, n);
        p += n;
        if (d.FieldType == FT_N1 && (wideN1(ea) || wideN1(eb))) {
            if (!wideN1(ea) || !wideN1(eb))
                return false;
        } else if (d.FieldType == FT_B2 && ea.size() == n && eb.size() == n) {
            if (ea.left(20) != eb.left(20) || ea.sliced(22) != eb.sliced(22))
                return false;
        } else if (ea != eb) {
            return false;
        }
    }
    return a.mid(p) == b.mid(p);
}

bool hasWideN1(const Tables& t, QStringView record)
{
    qsizetype p = 24;
    for (const FieldDef& d : t.g_arrFieldDef) {
        const int n = FieldEntryLength(d.FieldType);
        if (d.FieldType == FT_N1 && wideN1(record.mid(p, n)))
            return true;
        p += n;
    }
    return false;
}

qsizetype layoutLength(const Tables& t)
{
    qsizetype n = 24;
    for (const FieldDef& d : t.g_arrFieldDef)
        n += FieldEntryLength(d.FieldType);
    return n;
}

// Numbers for the texts the targets write back, in a buffer of their own: a string
// per number was much of the work for a small input. Floats keep 9 figures, which
// reads back to the same float.
struct Number {
    char buf[32];
    std::size_t len = 0;
    operator QLatin1StringView() const { return QLatin1StringView(buf, qsizetype(len)); }
    QByteArrayView bytes() const { return QByteArrayView(buf, qsizetype(len)); }
};

Number floatText(float v)
{
    Number n;
    n.len = std::size_t(std::to_chars(n.buf, n.buf + sizeof n.buf, double(v), std::chars_format::general, 9).ptr - n.buf);
    return n;
}

Number intText(qint64 v, int base = 10)
{
    Number n;
    n.len = std::size_t(std::to_chars(n.buf, n.buf + sizeof n.buf, v, base).ptr - n.buf);
    return n;
}

} // namespace

void SetFailureHandler(FailureHandler handler) { g_handler = handler; }

void Fail(const char* target, const char* what)
{
    if (g_handler)
        g_handler(target, what);
    std::fprintf(stderr, "%s: property broken: %s\n", target, what);
    std::fflush(stderr);
    std::abort();
}

// --- QLF ---------------------------------------------------------------------------
// A file that opens saves to bytes that open to the same label and save identically.
int FuzzQlf(const std::uint8_t* data, std::size_t size)
{
    static const char* T = "qlf";
    const Tables& t = tables();
    Label l1 = newLabel(t);
    const QlfReadResult r1 = ParseFormatFile(bytesOf(data, size), l1);
    if (!r1.ok()) {
        CHECK(T, !r1.message.isEmpty());
        return 0;
    }
    checkLabel(T, l1);
    const QByteArray b1 = FormatFileBytes(l1);
    Label l2 = newLabel(t);
    CHECK(T, ParseFormatFile(b1, l2).ok());
    checkLabel(T, l2);
    // Numbers are written with 7 or 15 figures, so only the second save is exact.
    const QByteArray b2 = FormatFileBytes(l2);
    CHECK(T, b2 == b1);
    Label l3 = newLabel(t);
    CHECK(T, ParseFormatFile(b2, l3).ok());
    CHECK(T, l3 == l2);
    CHECK(T, l2.m_iHoriRulerWidth == l1.m_iHoriRulerWidth && l2.m_iVertRulerHeight == l1.m_iVertRulerHeight);
    CHECK(T, l2.m_iFormatNo == l1.m_iFormatNo && l2.m_iSelected == l1.m_iSelected);
    for (int i = 0; i < l1.fieldCount(); ++i) {
        const FieldRecord& a = l1.m_arrFields[i];
        const FieldRecord& b = l2.m_arrFields[i];
        CHECK(T, a.bUsed == b.bUsed && a.lAttribute == b.lAttribute && a.iTextLine == b.iTextLine);
        CHECK(T, a.iImageNumber == b.iImageNumber && a.iNumOfFigures == b.iNumOfFigures);
    }
    if (!hasReplacementCharacter(l1)) {
        for (int i = 0; i < l1.fieldCount(); ++i)
            CHECK(T, l1.m_arrFields[i].strText == l2.m_arrFields[i].strText);
    }
    return 0;
}

// --- F52 ---------------------------------------------------------------------------
// The splitter loses nothing; a record that imports exports to a record that
// imports to the same label and exports identically.
int FuzzF52(const std::uint8_t* data, std::size_t size)
{
    static const char* T = "f52";
    const QString line = QString::fromLatin1(bytesOf(data, size));
    QString trailing;
    const QStringList records = SplitFormatRecords(line, &trailing);
    const QString trimmed = line.trimmed();
    if (!trimmed.isEmpty() && trimmed != QLatin1String("E2"))
        CHECK(T, records.join(QString()) + trailing == line);
    else
        CHECK(T, records.isEmpty());
    int done = 0;
    for (const QString& rec : records) {
        CHECK(T, !rec.isEmpty() && rec.size() <= line.size());
        if (++done > 4)
            break;
        // One of the two scale models per record, by the input's length: both are
        // covered without doubling every run.
        const int model = int((size + std::size_t(done)) % 2);
        const Tables& t = tables();
        Label l1 = newLabel(t, model);
        const bool ok = ImportFormatData(l1, rec);
        checkLabel(T, l1);
        CHECK(T, (!l1.m_bModified && l1.m_iSelected == -1) || !ok);
        // A label of no or negative size is taken as it comes, but fields cannot be
        // snapped into it the same way twice. Nor can fields at the far edge of one
        // whose whole millimetres reach past the record's 16 bits of dots (7FFF
        // rounded up): their end points are written cut to 7FFF.
        if (!ok || l1.m_iHoriRulerWidth < 1 || l1.m_iVertRulerHeight < 1
            || l1.MMToDot(l1.m_iHoriRulerWidth) == 0x7FFF || l1.MMToDot(l1.m_iVertRulerHeight) == 0x7FFF)
            continue;
        const QString out1 = FormatRecord(l1);
        // A value read that the layout cannot hold (N1 figures above 99) is
        // refused on export; the rest must round-trip.
        if (out1.size() != layoutLength(t))
            continue;
        Label l2 = newLabel(t, model);
        CHECK(T, ImportFormatData(l2, out1));
        checkLabel(T, l2);
        const QString out2 = FormatRecord(l2);
        if (out2.size() != layoutLength(t)) {
            // Only the N1 figures, written in decimal and read back as hexadecimal, grow.
            CHECK(T, hasWideN1(t, out1));
            continue;
        }
        CHECK(T, sameRecords(t, out1, out2));
    }
    return 0;
}

// --- F56 / F61 ---------------------------------------------------------------------
// First byte: code-page mode (bits 0-2) and file kind (bit 3); the rest is the line.
int FuzzTextData(const std::uint8_t* data, std::size_t size)
{
    static const char* T = "textdata";
    if (size == 0)
        return 0;
    const int mode = data[0] & 7;
    const qint32 type = (data[0] & 8) ? FT_SHOPNAME : FT_TEXT;
    const Tables& t = tables(mode);
    const QString line = QString::fromLatin1(bytesOf(data + 1, size - 1));

    Label l1 = newLabel(t);
    const QList<int> changed = ImportTextDataLine(l1, line, type);
    checkLabel(T, l1);
    for (int i : changed) {
        CHECK(T, i >= 0 && i < l1.fieldCount() && l1.fieldType(i) == type);
        const FieldRecord& r = l1.m_arrFields[i];
        CHECK(T, r.iTextLine >= 1);
        for (int j = 1; j <= r.iTextLine; ++j) {
            // 255 bytes a line; a Persian byte can stand for two letters (lam-alef).
            CHECK(T, r.strText[j].size() <= 2 * 255);
        }
    }
    for (int i = 0; i < l1.fieldCount(); ++i)
        if (!changed.contains(i))
            CHECK(T, l1.m_arrFields[i].iTextLine == 0);

    // What was read writes out and reads back to the same lines when every character
    // can be stored. Finding that out costs more than the round trip, so it is only
    // asked when the round trip differs.
    const QString out1 = TextDataRecord(l1, type);
    Label l2 = newLabel(t);
    ImportTextDataLine(l2, out1, type);
    bool same = TextDataRecord(l2, type) == out1;
    for (int i : changed) {
        const FieldRecord& a = l1.m_arrFields[i];
        const FieldRecord& b = l2.m_arrFields[i];
        same = same && a.iTextLine == b.iTextLine;
        for (int j = 1; same && j <= a.iTextLine; ++j)
            same = a.strText[j] == b.strText[j] && a.strCharSize[j] == b.strCharSize[j];
    }
    const auto encodable = [&] {
        for (int i : changed) {
            const FieldRecord& r = l1.m_arrFields[i];
            for (int j = 1; j <= r.iTextLine; ++j)
                if (!UnencodableCharacters(t, r.strText[j]).isEmpty() || EncodeScaleText(t, r.strText[j]).size() > 2 * 255)
                    return false;
        }
        return true;
    };
    CHECK(T, same || !encodable());
    return 0;
}

// --- the field catalogue -----------------------------------------------------------
// Groups and items come in order and within their limits; the definitions, written
// out again as a catalogue, read back the same.
int FuzzCatalogue(const std::uint8_t* data, std::size_t size)
{
    static const char* T = "catalogue";
    struct Item {
        int group, field;
        QString name;
    };
    QStringList groups;
    QList<Item> items;
    CatalogueCallbacks cb;
    cb.onGroup = [&](int id, const QString& caption) {
        CHECK(T, id == groups.size() && id <= 50);
        groups.append(caption);
    };
    cb.onItem = [&](int group, int field, const QString& name) { items.append({group, field, name}); };
    cb.onUnknownType = [](const QString&) {};
    const QVector<FieldDef> defs = ParseFieldCatalogue(bytesOf(data, size), cb);
    CHECK(T, defs.size() <= qsizetype(size) / 2 + 1);
    int lastField = -1;
    for (const Item& it : items) {
        CHECK(T, it.group >= 0 && it.group < groups.size());
        CHECK(T, it.field > lastField && it.field < defs.size() && defs[it.field].Name == it.name);
        lastField = it.field;
    }
    for (const FieldDef& d : defs) {
        CHECK(T, d.FieldType >= 0 && d.FieldType <= 11);
        CHECK(T, std::isfinite(d.X) && std::isfinite(d.Y) && std::isfinite(d.Width) && std::isfinite(d.Height));
        CHECK(T, !d.Name.contains(u',') && d.Name == d.Name.trimmed());
    }

    // Definitions before the first heading, then every heading in order of creation,
    // then the rest, each item under its group. Only a definition before the first
    // heading can have a place without a palette item.
    QString text;
    text.reserve(2 * qsizetype(size) + 64);
    auto defLine = [&](int i, bool full) {
        const FieldDef& d = defs[i];
        text.append(d.Name).append(u',').append(QLatin1String(kTypeNames[d.FieldType]));
        if (full) {
            for (float v : {d.X, d.Y, d.Width, d.Height})
                text.append(u',').append(floatText(v));
        }
        text.append(u'\n');
    };
    bool headings = false;
    int current = -1;
    auto allHeadings = [&] {
        if (headings)
            return;
        for (const QString& g : groups)
            text.append(g).append(u'\n');
        current = int(groups.size()) - 1;
        headings = true;
    };
    qsizetype k = 0;
    for (int i = 0; i < defs.size(); ++i) {
        const FieldDef& d = defs[i];
        if (k < items.size() && items[k].field == i) {
            allHeadings();
            if (items[k].group != current) {
                current = items[k].group;
                text.append(groups[current]).append(u'\n');
            }
            defLine(i, true);
            ++k;
        } else if (d.X != 0 || d.Y != 0 || d.Width != 0 || d.Height != 0) {
            CHECK(T, !headings);
            defLine(i, true);
        } else {
            defLine(i, false);
        }
    }
    allHeadings();
    QStringList groups2;
    QList<Item> items2;
    CatalogueCallbacks cb2;
    cb2.onGroup = [&](int, const QString& caption) { groups2.append(caption); };
    cb2.onItem = [&](int group, int field, const QString& name) { items2.append({group, field, name}); };
    const QVector<FieldDef> defs2 = ParseFieldCatalogue(";\n" + text.toUtf8(), cb2);
    CHECK(T, groups2 == groups);
    CHECK(T, defs2.size() == defs.size());
    for (int i = 0; i < defs.size(); ++i) {
        CHECK(T, defs2[i].Name == defs[i].Name && defs2[i].FieldType == defs[i].FieldType);
        CHECK(T, defs2[i].X == defs[i].X && defs2[i].Y == defs[i].Y);
        CHECK(T, defs2[i].Width == defs[i].Width && defs2[i].Height == defs[i].Height);
    }
    CHECK(T, items2.size() == items.size());
    for (int i = 0; i < items.size(); ++i)
        CHECK(T, items2[i].group == items[i].group && items2[i].field == items[i].field);
    return 0;
}

// --- "FieldFont.dsc" ----------------------------------------------------------------
int FuzzFieldFont(const std::uint8_t* data, std::size_t size)
{
    static const char* T = "fieldfont";
    QList<int> bad;
    const QVector<FieldFont> fonts = ParseFieldFonts(bytesOf(data, size), &bad);
    int last = 0;
    for (int n : bad) {
        CHECK(T, n > last);
        last = n;
    }
    QString text;
    text.reserve(2 * qsizetype(size) + 64);
    for (const FieldFont& f : fonts) {
        CHECK(T, f.Code >= 0 && !f.Name.contains(u',') && f.Name == f.Name.trimmed());
        CHECK(T, !f.Name.startsWith(u';') || f.Name.isEmpty());
        text.append(f.Name).append(QLatin1String(", ")).append(intText(f.Code, 16)).append(QLatin1String(", "));
        text.append(intText(f.Width)).append(QLatin1String(", ")).append(intText(f.Height));
        text.append(QLatin1String("\r\n"));
    }
    QList<int> bad2;
    // A comment first, so a name starting with U+FEFF is not taken for a byte order mark.
    const QVector<FieldFont> fonts2 = ParseFieldFonts(";\n" + text.toUtf8(), &bad2);
    CHECK(T, bad2.isEmpty() && fonts2.size() == fonts.size());
    for (int i = 0; i < fonts.size(); ++i) {
        CHECK(T, fonts2[i].Name == fonts[i].Name && fonts2[i].Code == fonts[i].Code);
        CHECK(T, fonts2[i].Width == fonts[i].Width && fonts2[i].Height == fonts[i].Height);
    }
    return 0;
}

// --- INI ----------------------------------------------------------------------------
// The number rule stays in range and agrees with itself; a whole settings file reads
// bounded values, and setting one key reads back what was set and keeps the others.
int FuzzIni(const std::uint8_t* data, std::size_t size)
{
    static const char* T = "ini";
    const QByteArray bytes = bytesOf(data, size);
    const QString text = QString::fromUtf8(bytes);
    bool valid = false;
    const qint16 v = IniNumber(text, &valid);
    if (valid) {
        bool overflow = true;
        CHECK(T, v == RoundToInt16(LeadingNumber(text), &overflow) && !overflow);
        bool valid2 = false;
        CHECK(T, IniNumber(QString::number(v), &valid2) == v && valid2);
    } else {
        CHECK(T, v == 0);
    }

    // After a write the key reads what was written and every other key what it read
    // before; the length's parity picks a value Latin-1 can hold or one it cannot.
    struct Key {
        QString section, key;
    };
    const QString setting = QStringLiteral("Setting");
    const Key keys[] = {{setting, QStringLiteral("Language")},
                        {setting, QStringLiteral("SetLanguageCodepage")},
                        {setting, QStringLiteral("LangeCodepageToConvert")},
                        {setting, QStringLiteral("AnsiCodepage")},
                        {QStringLiteral("Transfer"), QStringLiteral("Port")}};
    QStringList expected;
    for (const Key& k : keys) {
        const QString value = IniValue(bytes, k.section, k.key);
        CHECK(T, value.size() <= 254 && !value.contains(u'\n'));
        (void)IniNumber(value);
        expected.append(value);
    }
    expected[0] = size % 2 ? QStringLiteral("Chinese") : QString::fromUtf8("Ελληνικά");
    const std::optional<QByteArray> written = WithIniValue(bytes, setting, keys[0].key, expected[0]);
    CHECK(T, written.has_value());
    for (qsizetype i = 0; i < expected.size(); ++i)
        CHECK(T, IniValue(*written, keys[i].section, keys[i].key) == expected[i]);
    return 0;
}

// --- the transfer protocol ----------------------------------------------------------
// First byte chooses the reader: frame header, address, port in an INI, port text.
int FuzzTransfer(const std::uint8_t* data, std::size_t size)
{
    static const char* T = "transfer";
    if (size == 0)
        return 0;
    const int which = data[0] % 4;
    const QByteArray in = bytesOf(data + 1, size - 1);
    switch (which) {
    case 0: {
        // Fed as it arrives, byte by byte: a verdict other than "more" never changes.
        transfer::ParseResult first = transfer::ParseResult::NeedMore;
        for (qsizetype n = 0; n <= in.size(); ++n) {
            transfer::Header h;
            const transfer::ParseResult r = transfer::parseHeader(in.constData(), std::size_t(n), &h);
            if (first != transfer::ParseResult::NeedMore && first != transfer::ParseResult::Ok)
                CHECK(T, r == first);
            if (r == transfer::ParseResult::NeedMore)
                CHECK(T, n < transfer::kHeaderSize);
            if (r == transfer::ParseResult::Ok) {
                CHECK(T, n >= transfer::kHeaderSize && h.length <= transfer::kMaxPayload);
                const QByteArray again = transfer::encodeReply(transfer::Status(h.code), h.type, QByteArray());
                CHECK(T, again.left(7) == in.left(7));
                const auto* u = reinterpret_cast<const unsigned char*>(in.constData());
                CHECK(T, h.length == (std::uint32_t(u[8]) << 24 | std::uint32_t(u[9]) << 16
                                      | std::uint32_t(u[10]) << 8 | u[11]));
            }
            if (first == transfer::ParseResult::NeedMore)
                first = r;
        }
        break;
    }
    case 1: {
        const auto v = transfer::parseDottedIPv4(in);
        if (v) {
            const QByteArray canonical = QByteArray::number(*v >> 24) + '.' + QByteArray::number((*v >> 16) & 255) + '.'
                + QByteArray::number((*v >> 8) & 255) + '.' + QByteArray::number(*v & 255);
            CHECK(T, canonical == in);
            CHECK(T, transfer::isLoopbackIPv4(in) == ((*v >> 24) == 127));
            const QString file = transfer::scaleFileName(in, 52);
            CHECK(T, !file.contains(u'/') && !file.contains(u'\\') && !file.contains(QLatin1String("..")));
        } else {
            CHECK(T, !transfer::isLoopbackIPv4(in));
            // Anything refused is not the canonical spelling of an address.
            const QList<QByteArray> parts = in.split('.');
            bool canonical = parts.size() == 4;
            for (const QByteArray& p : parts) {
                bool ok = false;
                const uint n = p.toUInt(&ok);
                canonical = canonical && ok && n <= 255 && QByteArray::number(n) == p;
            }
            CHECK(T, !canonical);
        }
        break;
    }
    case 2: {
        const auto port = transfer::portFromIni(in);
        CHECK(T, !port || *port >= 1);
        break;
    }
    default: {
        const auto port = transfer::portFromText(in);
        if (port) {
            bool ok = false;
            CHECK(T, *port >= 1 && in.trimmed().toUInt(&ok) == *port && ok);
        }
        break;
    }
    }
    return 0;
}

// --- the driver's result file ------------------------------------------------------------
// Every address asked about gets exactly its own code: a listed success stays out of the
// report, anything unlisted or unreadable is a failure line, never a silent success.
int FuzzResult(const std::uint8_t* data, std::size_t size)
{
    static const char* T = "result";
    const QByteArray line = bytesOf(data, size);
    const QHash<QString, int> codes = ParseDriverResult(line);
    QStringList addresses = codes.keys();
    addresses.sort();
    addresses << QStringLiteral("10.0.0.1") << QString();
    const QString report = DriverReport(codes, addresses, [](int code) { return QString::number(code); });
    const QList<QStringView> lines = QStringView(report).split(u"\r\n", Qt::SkipEmptyParts);
    qsizetype failures = 0;
    for (const QString& a : addresses) {
        const int code = codes.value(a, kNotInResultCode);
        CHECK(T, code >= -32768 && code <= 32767);
        if (code != 0)
            ++failures;
    }
    CHECK(T, lines.size() == failures);
    for (QStringView l : lines) {
        CHECK(T, l.indexOf(u':') >= 16);
        for (QChar c : l)
            CHECK(T, c.unicode() >= 0x20);
    }
    // What the reader accepted reads back the same when written out again.
    QByteArray again;
    again.reserve(line.size() + 16);
    for (auto it = codes.cbegin(); it != codes.cend(); ++it) {
        // Addresses were read as Latin-1: every character is one byte.
        for (QChar c : it.key())
            again.append(char(c.unicode()));
        again.append(':').append(intText(it.value()).bytes()).append(';');
    }
    CHECK(T, ParseDriverResult(again) == codes);
    return 0;
}

// --- registry and seeds ---------------------------------------------------------------

const QList<Target>& Targets()
{
    static const QList<Target> list = {
        {"qlf", FuzzQlf},           {"f52", FuzzF52},   {"textdata", FuzzTextData}, {"catalogue", FuzzCatalogue},
        {"fieldfont", FuzzFieldFont}, {"ini", FuzzIni}, {"transfer", FuzzTransfer},
        {"result", FuzzResult},
    };
    return list;
}

const Target* FindTarget(const QString& name)
{
    for (const Target& t : Targets())
        if (name == QLatin1String(t.name))
            return &t;
    return nullptr;
}

namespace {

// A label with something of everything the writers produce.
Label sampleLabel(const Tables& t, int variant)
{
    Label l = newLabel(t, variant % 2);
    l.m_iFormatNo = qint16(1 + variant * 7 % 99);
    l.m_iHoriRulerWidth = qint16(40 + variant * 5);
    l.m_iVertRulerHeight = qint16(30 + variant * 3);
    const QString texts[] = {QStringLiteral("Fresh bread"), QString::fromUtf8("Crème brûlée, 1,50"),
                             QString::fromUtf8("Žluťoučký kůň"), QString::fromUtf8("Хлеб ржаной"),
                             QString::fromUtf8("نان تازه لاله"), QStringLiteral("")};
    for (int i = 0; i < l.fieldCount(); ++i) {
        if ((i + variant) % 3 == 0)
            continue;
        FieldRecord& r = l.m_arrFields[i];
        r.bUsed = true;
        r.sngX = float(1 + (i * 3 + variant) % 20);
        r.sngY = float(1 + (i * 5 + variant) % 15);
        r.lAttribute = ((i + variant) % 4) * 16384 + ((i % 8) * 16);
        r.strLogoSize = QString::number(1 + i % 8);
        r.dblThickness = 0.25 * (1 + i % 4);
        r.iImageNumber = qint16(i % 10);
        r.iNumOfFigures = qint16(1 + i % 9);
        r.strCharSize[1] = t.g_arrFieldFont[i % t.g_arrFieldFont.size()].Name;
        if (t.g_arrFieldDef[i].FieldType == FT_TEXT || t.g_arrFieldDef[i].FieldType == FT_SHOPNAME) {
            r.iTextLine = qint16(1 + (i + variant) % 3);
            for (int j = 1; j <= r.iTextLine; ++j) {
                r.strCharSize[j] = t.g_arrFieldFont[j % t.g_arrFieldFont.size()].Name;
                r.strText[j] = texts[(i + j + variant) % 6];
            }
        }
        l.NormaliseField(i);
    }
    return l;
}

QByteArray readSource(const char* relative)
{
    QFile f(QString::fromUtf8(qgetenv("QUILLON_SOURCE_DIR")) + QLatin1Char('/') + QLatin1String(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

QList<Seed> Seeds(const QString& target)
{
    QList<Seed> seeds;
    auto add = [&](const QString& name, const QByteArray& bytes) {
        if (!bytes.isNull())
            seeds.append({name, bytes});
    };
    const Tables& t = tables();
    if (target == QLatin1String("qlf")) {
        add(QStringLiteral("new"), FormatFileBytes(Label(t)));
        for (int v = 0; v < 4; ++v)
            add(QStringLiteral("sample%1").arg(v), FormatFileBytes(sampleLabel(t, v)));
    } else if (target == QLatin1String("f52")) {
        add(QStringLiteral("E2"), QByteArrayLiteral("E2"));
        add(QStringLiteral("new"), FormatRecord(newLabel(t, 0)).toLatin1());
        QString two;
        for (int v = 0; v < 4; ++v) {
            const QString rec = FormatRecord(sampleLabel(t, v));
            add(QStringLiteral("sample%1").arg(v), rec.toLatin1());
            two += rec;
        }
        add(QStringLiteral("four-records"), two.toLatin1());
    } else if (target == QLatin1String("textdata")) {
        for (int mode = 0; mode < int(kTextModes.size()); ++mode) {
            for (int v = 0; v < 2; ++v) {
                const Label l = sampleLabel(tables(mode), v);
                for (qint32 type : {FT_TEXT, FT_SHOPNAME}) {
                    const char selector = char(mode | (type == FT_SHOPNAME ? 8 : 0));
                    add(QStringLiteral("mode%1-%2-%3").arg(mode).arg(type).arg(v),
                        selector + TextDataRecord(l, type).toLatin1());
                }
            }
        }
    } else if (target == QLatin1String("catalogue")) {
        add(QStringLiteral("English"), readSource("data/program/FormatField.English.dsc"));
        add(QStringLiteral("Chinese"), readSource("data/program/FormatField.Chinese.dsc"));
        add(QStringLiteral("small"), QByteArrayLiteral("Barcodes\r\nEAN,B1,2,30,40,15\r\nTexts\r\n"
                                                       "Title,TEXT,1,45,50,4\r\nNote,C2\r\n; comment\r\n   \r\n"
                                                       "Barcodes\r\nPLU,n1,1.5e1,2,3,4\r\n"));
    } else if (target == QLatin1String("fieldfont")) {
        add(QStringLiteral("shipped"), readSource("data/program/FieldFont.dsc"));
        QByteArray text;
        for (const FieldFont& f : t.g_arrFieldFont)
            text += f.Name.toUtf8() + ", " + HexN(2, f.Code).toLatin1() + ", " + QByteArray::number(f.Width) + ", "
                + QByteArray::number(f.Height) + "\r\n";
        add(QStringLiteral("written"), text);
    } else if (target == QLatin1String("ini")) {
        add(QStringLiteral("shipped"), readSource("data/root/Vexo2005.INI"));
        add(QStringLiteral("settings"), QByteArrayLiteral("[Setting]\r\nLanguage=\"English\"\r\nSetLanguageCodepage=1\r\n"
                                                          "LangeCodepageToConvert=2 ; Persian\r\nAnsiCodepage=1256\r\n"
                                                          "[Transfer]\r\nPort=3001\r\n"));
        for (const char* n : {"12", "-3.5E2", "&H7FFF", "&HFFFF", "&O17", " 32767.5", "1D4", "+.5", "65536"})
            add(QStringLiteral("number-%1").arg(seeds.size()), QByteArray(n));
    } else if (target == QLatin1String("transfer")) {
        add(QStringLiteral("request"), '\0' + transfer::encodeRequest(transfer::Op::Write, 52, "01AB\r\n"));
        add(QStringLiteral("reply"), '\0' + transfer::encodeReply(transfer::Status::NoData, 61, QByteArray()));
        add(QStringLiteral("address"), QByteArrayLiteral("\x01" "192.168.1.21"));
        add(QStringLiteral("loopback"), QByteArrayLiteral("\x01" "127.0.0.1"));
        add(QStringLiteral("ini"), QByteArrayLiteral("\x02[Setting]\r\nLanguage=English\r\n[Transfer]\r\nPort = 3002 ; test\r\n"));
        add(QStringLiteral("port"), QByteArrayLiteral("\x03 3001 "));
    } else if (target == QLatin1String("result")) {
        add(QStringLiteral("ok"), QByteArrayLiteral("192.168.1.5:0;192.168.1.6:7"));
        add(QStringLiteral("trailing"), QByteArrayLiteral("192.168.1.5:0;192.168.1.6:3;"));
        add(QStringLiteral("odd"), QByteArrayLiteral("a:b;:5;x:-2;y: 4;z:70000;1.2.3.4:0\r\nsecond line"));
    }
    return seeds;
}

} // namespace quillon::fuzz
