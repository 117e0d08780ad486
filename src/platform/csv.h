#pragma once
// CSV as RFC 4180 has it, for the files the program exchanges with spreadsheets.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace quillon {

// One parsed CSV record. A field that was empty and unquoted is a null QVariant
// (mdb-export writes Null so); every other field is a QString.
using CsvRecord = QList<QVariant>;

// RFC 4180: fields separated by ",", records by CR LF or LF; a field in double
// quotes may hold commas, line breaks and doubled quotes. A leading UTF-8 byte
// order mark is dropped, blank lines are skipped. nullopt with *error naming the
// line for text that is not CSV (a quote inside an unquoted field, text after a
// closing quote, a quote left open, bytes that are not UTF-8).
// *lines, when given, gets the line each record starts on.
std::optional<QList<CsvRecord>> ParseCsv(const QByteArray& bytes, QString* error, QList<int>* lines = nullptr);
// One record as a CSV line with CR LF; fields are quoted when they need it.
QByteArray CsvLine(const QStringList& fields);

} // namespace quillon
