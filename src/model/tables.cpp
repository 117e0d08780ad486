#include "model/tables.h"
#include "model/numberspelling.h"

#include <algorithm>

namespace quillon {

namespace {

const char* const kTypeNames[] = {"B1", "B2", "B3", "B4", "B5", "C1", "C2", "C3", "C4", "N1", "TEXT", "SHOPNAME"};

// Calls f(line number from 1, line) for every line of a program-folder text file:
// UTF-8, BOM skipped, CR LF, LF or a lone CR. The lines are views into one decoded
// text, so a line costs no allocation of its own.
template <typename F>
void forEachTextLine(const QByteArray& bytes, F f)
{
    QByteArrayView b(bytes);
    if (b.startsWith("\xEF\xBB\xBF"))
        b = b.sliced(3);
    const QString text = QString::fromUtf8(b);
    const QStringView v(text);
    int n = 0;
    qsizetype start = 0;
    qsizetype lf = v.indexOf(u'\n');
    qsizetype cr = v.indexOf(u'\r');
    while (lf >= 0 || cr >= 0) {
        const qsizetype end = lf < 0 || (cr >= 0 && cr < lf) ? cr : lf;
        f(++n, v.sliced(start, end - start));
        start = end + 1;
        if (end == cr && start == lf)
            ++start;
        if (lf >= 0 && lf < start)
            lf = v.indexOf(u'\n', start);
        if (cr >= 0 && cr < start)
            cr = v.indexOf(u'\r', start);
    }
    f(++n, v.sliced(start));
}

// The first N comma-separated parts of a line, and how many there are in all.
template <int N>
struct Parts {
    std::array<QStringView, N> part;
    qsizetype count = 0;
};

template <int N>
Parts<N> splitAtCommas(QStringView line)
{
    Parts<N> p;
    qsizetype start = 0;
    for (;;) {
        const qsizetype comma = line.indexOf(u',', start);
        const qsizetype end = comma < 0 ? line.size() : comma;
        if (p.count < N)
            p.part[size_t(p.count)] = line.sliced(start, end - start);
        ++p.count;
        if (comma < 0)
            return p;
        start = comma + 1;
    }
}

// GetFieldType without a copy for the names a catalogue holds; anything not ASCII
// takes the full upper-casing.
qint32 fieldTypeOf(QStringView name, bool* unknown)
{
    char upper[8];
    const bool ascii = std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii)
        return GetFieldType(name.toString(), unknown);
    if (name.size() <= qsizetype(sizeof upper)) {
        for (qsizetype i = 0; i < name.size(); ++i) {
            const char c = char(name[i].unicode());
            upper[i] = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
        }
        const QLatin1StringView u(upper, name.size());
        for (int i = 0; i < 12; ++i) {
            if (u == QLatin1StringView(kTypeNames[i])) {
                *unknown = false;
                return i;
            }
        }
    }
    *unknown = true;
    return 0;
}

} // namespace

int DefaultAnsiCodepage(qint16 setLanguageCodepage, qint16 langeCodepageToConvert)
{
    if (setLanguageCodepage == 1) {
        switch (langeCodepageToConvert) {
        case 0: return 1250;
        case 1: return 1251;
        case 2: return 1256;
        default: break;
        }
    }
    return 1252;
}

qint32 GetFieldType(const QString& name, bool* unknown)
{
    const QString upper = name.toUpper();
    for (int i = 0; i < 12; ++i) {
        if (upper == QLatin1String(kTypeNames[i])) {
            if (unknown)
                *unknown = false;
            return i;
        }
    }
    if (unknown)
        *unknown = true;
    return 0;
}

QString GetFieldTypeErrorText(const QString& name)
{
    return QStringLiteral("GetFieldType parameter error: Unknown type\r\n\t\t\t") + name;
}

QString FontNameToCode(const Tables& t, const QString& name)
{
    for (const FieldFont& f : t.g_arrFieldFont)
        if (f.Name == name)
            return HexN(2, f.Code);
    return QStringLiteral("00");
}

QString FontCodeToName(const Tables& t, int code)
{
    for (const FieldFont& f : t.g_arrFieldFont)
        if (f.Code == code)
            return f.Name;
    return t.g_arrFieldFont.isEmpty() ? QString() : t.g_arrFieldFont.first().Name;
}

int FontIndexByName(const Tables& t, const QString& name)
{
    for (int i = 0; i < t.g_arrFieldFont.size(); ++i)
        if (t.g_arrFieldFont[i].Name == name)
            return i;
    return 0;
}

int ScaleModelIndexByName(const Tables& t, const QString& name)
{
    for (int i = 0; i < t.g_arrScaleModel.size(); ++i)
        if (t.g_arrScaleModel[i].SCALE_NAME == name)
            return i;
    return 0;
}

int FindScaleModelIndexByID(const Tables& t, int id)
{
    for (int i = 0; i < t.g_arrScaleModel.size(); ++i)
        if (t.g_arrScaleModel[i].ID == id)
            return i;
    return 0;
}

int FieldEntryLength(qint32 fieldType)
{
    switch (fieldType) {
    case FT_B1: case FT_B2: case FT_B3: case FT_B4: case FT_B5:
    case FT_C2: case FT_TEXT: case FT_SHOPNAME:
        return 24;
    case FT_C1: return 28;
    case FT_C3: return 52;
    case FT_C4: return 36;
    case FT_N1: return 16;
    default: return 0;
    }
}

QVector<FieldFont> ParseFieldFonts(const QByteArray& text, QList<int>* badLines)
{
    QVector<FieldFont> fonts;
    forEachTextLine(text, [&](int n, QStringView raw) {
        const QStringView line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            return;
        const Parts<4> parts = splitAtCommas<4>(line);
        if (parts.count < 4) {
            if (badLines)
                badLines->append(n);
            return;
        }
        FieldFont f;
        f.Name = parts.part[0].trimmed().toString();
        f.Code = CInt(double(HexLeading(parts.part[1].trimmed())));
        f.Width = CInt(Val(parts.part[2].trimmed()));
        f.Height = CInt(Val(parts.part[3].trimmed()));
        fonts.append(f);
    });
    return fonts;
}

QVector<FieldDef> ParseFieldCatalogue(const QByteArray& text, const CatalogueCallbacks& cb)
{
    constexpr int kMaxGroups = 51;
    QVector<FieldDef> defs;
    QStringList groups;
    int current = -1;
    forEachTextLine(text, [&](int, QStringView raw) {
        const QStringView line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            return;
        const Parts<6> parts = splitAtCommas<6>(line);
        if (parts.count == 1) {
            const int found = int(groups.indexOf(line));
            if (found >= 0) {
                current = found;
            } else if (groups.size() < kMaxGroups) {
                groups.append(line.toString());
                current = int(groups.size()) - 1;
                if (cb.onGroup)
                    cb.onGroup(current, groups.last());
            }
            return;
        }
        FieldDef d;
        d.Name = parts.part[0].trimmed().toString();
        bool unknown = false;
        const QStringView type = parts.part[1].trimmed();
        d.FieldType = fieldTypeOf(type, &unknown);
        if (unknown && cb.onUnknownType)
            cb.onUnknownType(type.toString());
        if (parts.count >= 4) {
            float* members[] = {&d.X, &d.Y, &d.Width, &d.Height};
            for (int k = 0; k < 4 && 2 + k < parts.count; ++k) {
                const double v = Val(parts.part[size_t(2 + k)].trimmed());
                *members[k] = float(qBound(-3.0e38, v, 3.0e38));
            }
        }
        const int index = int(defs.size());
        defs.append(d);
        if (parts.count >= 4 && current >= 0 && cb.onItem)
            cb.onItem(current, index, d.Name);
    });
    return defs;
}

} // namespace quillon
