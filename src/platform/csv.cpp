#include "platform/csv.h"

#include <QStringDecoder>

namespace quillon {

std::optional<QList<CsvRecord>> ParseCsv(const QByteArray& bytes, QString* error, QList<int>* lines)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(view);
    if (decoder.hasError()) {
        *error = QStringLiteral("the file is not UTF-8 text");
        return std::nullopt;
    }

    QList<CsvRecord> out;
    QList<int> starts;
    CsvRecord record;
    QString field;
    bool quoted = false;     // the current field began with a quote
    bool inQuotes = false;
    bool afterQuote = false; // its closing quote has been read
    int line = 1;
    int recordLine = 1;
    const auto endField = [&] {
        record.append(quoted || !field.isEmpty() ? QVariant(field) : QVariant());
        field.clear();
        quoted = inQuotes = afterQuote = false;
    };
    const auto endRecord = [&] {
        endField();
        if (!(record.size() == 1 && record[0].isNull())) { // a blank line
            out.append(record);
            starts.append(recordLine);
        }
        record.clear();
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == u'"') {
                if (i + 1 < n && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    inQuotes = false;
                    afterQuote = true;
                }
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == u',') {
            endField();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            endRecord();
            recordLine = ++line;
        } else if (afterQuote) {
            *error = QStringLiteral("line %1: text after the closing quote of a field").arg(line);
            return std::nullopt;
        } else if (c == u'"') {
            if (!field.isEmpty()) {
                *error = QStringLiteral("line %1: a quote inside a field that does not begin with one").arg(line);
                return std::nullopt;
            }
            quoted = inQuotes = true;
        } else {
            field += c;
        }
    }
    if (inQuotes) {
        *error = QStringLiteral("line %1: a quoted field is not closed").arg(recordLine);
        return std::nullopt;
    }
    if (quoted || !field.isEmpty() || !record.isEmpty())
        endRecord();
    if (lines)
        *lines = starts;
    return out;
}

QByteArray CsvLine(const QStringList& fields)
{
    QStringList parts;
    for (const QString& f : fields) {
        const bool quote = f.contains(u',') || f.contains(u'"') || f.contains(u'\n') || f.contains(u'\r')
                           || f.startsWith(u' ') || f.endsWith(u' ');
        if (!quote) {
            parts << f;
            continue;
        }
        QString q = f;
        q.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        parts << QLatin1Char('"') + q + QLatin1Char('"');
    }
    return parts.join(u',').toUtf8() + "\r\n";
}

} // namespace quillon
