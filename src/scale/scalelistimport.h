#pragma once
// The scale list outside the program: CSV files (number, address, model name, store)
// and legacy Access databases read through mdbtools' "mdb-export". Used by
// quillon-convert and meant for the scale list dialog as well.
#include "platform/csv.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quillon {

class Database;

namespace scalelist {

// The header of the scale list file; files of older versions lack "Store".
inline QStringList ScaleCsvHeader()
{
    return {QStringLiteral("Number"), QStringLiteral("Address"), QStringLiteral("Model"), QStringLiteral("Store")};
}

// The outcome of an import or export. ok false: nothing was changed (or written),
// error says why. notes: rows reported and skipped, and other remarks.
struct Report {
    bool ok = false;
    QString error;
    QStringList notes;
    int added = 0;
    int replaced = 0;
    int skipped = 0;
};

// The scales in use, by number then address, as the CSV file's bytes.
Report ExportScales(Database& db, QByteArray* csv);
// Adds the file's scales in one transaction. Invalid addresses and addresses
// already known (or given twice) are reported and skipped; a file that is not
// CSV, a record without as many fields as the header or an unknown model name
// changes nothing. The Store column may be missing (the scales get none).
Report ImportScales(Database& db, const QByteArray& csv);

// Runs a program with arguments and returns its standard output; nullopt with
// *error when it cannot start, fails or runs too long. Tests may put their own.
using ExportRunner = std::function<std::optional<QByteArray>(const QString& program, const QStringList& args,
                                                             QString* error)>;
ExportRunner ProcessRunner();

// Reads a legacy Access database with "mdb-tables -1 FILE" and "mdb-export FILE TABLE".
// SCALE_MODEL and SCALE go into the main database in one transaction: a model is
// matched by name (an existing one is kept as it is), a new one keeps its ID when
// that is free; scales follow their model, with invalid and known addresses
// reported and skipped. tbl_LANGUAGE goes into the localisation database in
// another transaction, a text of a key already there replacing it.
struct LegacyReport {
    QString error;                  // the file could not be read at all
    std::optional<Report> main;     // when it holds SCALE_MODEL or SCALE
    std::optional<Report> language; // when it holds tbl_LANGUAGE
    bool ok() const
    {
        return error.isEmpty() && (!main || main->ok) && (!language || language->ok);
    }
};
LegacyReport ImportLegacyDatabase(Database& db, const QString& mdbFile, const ExportRunner& run = ProcessRunner());

} // namespace scalelist
} // namespace quillon
