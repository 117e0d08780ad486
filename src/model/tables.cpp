#include "model/tables.h"
#include "model/numberspelling.h"

namespace quillon {

namespace {

const char* const kTypeNames[] = {"B1", "B2", "B3", "B4", "B5", "C1", "C2", "C3", "C4", "N1", "TEXT", "SHOPNAME"};

// Lines of a program-folder text file: UTF-8, BOM skipped, any line end.
QStringList textLines(const QByteArray& bytes)
{
    QByteArray b = bytes;
    if (b.startsWith("\xEF\xBB\xBF"))
        b.remove(0, 3);
    QString text = QString::fromUtf8(b);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    return text.split(u'\n');
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
    const QStringList lines = textLines(text);
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        const QStringList parts = line.split(u',');
        if (parts.size() < 4) {
            if (badLines)
                badLines->append(n + 1);
            continue;
        }
        FieldFont f;
        f.Name = parts[0].trimmed();
        f.Code = CInt(double(HexLeading(parts[1].trimmed())));
        f.Width = CInt(Val(parts[2].trimmed()));
        f.Height = CInt(Val(parts[3].trimmed()));
        fonts.append(f);
    }
    return fonts;
}

QVector<FieldDef> ParseFieldCatalogue(const QByteArray& text, const CatalogueCallbacks& cb)
{
    constexpr int kMaxGroups = 51;
    QVector<FieldDef> defs;
    QStringList groups;
    int current = -1;
    for (const QString& raw : textLines(text)) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        const QStringList parts = line.split(u',');
        if (parts.size() == 1) {
            const int found = int(groups.indexOf(line));
            if (found >= 0) {
                current = found;
            } else if (groups.size() < kMaxGroups) {
                groups.append(line);
                current = int(groups.size()) - 1;
                if (cb.onGroup)
                    cb.onGroup(current, line);
            }
            continue;
        }
        FieldDef d;
        d.Name = parts[0].trimmed();
        bool unknown = false;
        d.FieldType = GetFieldType(parts[1].trimmed(), &unknown);
        if (unknown && cb.onUnknownType)
            cb.onUnknownType(parts[1].trimmed());
        if (parts.size() >= 4) {
            float* members[] = {&d.X, &d.Y, &d.Width, &d.Height};
            for (int k = 0; k < 4 && 2 + k < parts.size(); ++k) {
                const double v = Val(parts[2 + k].trimmed());
                *members[k] = float(qBound(-3.0e38, v, 3.0e38));
            }
        }
        const int index = int(defs.size());
        defs.append(d);
        if (parts.size() >= 4 && current >= 0 && cb.onItem)
            cb.onItem(current, index, d.Name);
    }
    return defs;
}

} // namespace quillon
