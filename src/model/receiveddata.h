#pragma once
// Format data received from a scale (or imported from a file): one record per
// label, each made into a label the same way whichever path brings it.
#include "model/label.h"
#include <QStringList>

namespace quillon {

// A scale holds formats 1 to 99; a file claiming more is damaged, and opening
// thousands of windows from it would bring the program to a halt.
constexpr int kMaxReceivedRecords = 99;

struct ReceivedFormatData {
    QStringList records;   // at most kMaxReceivedRecords
    int dropped = 0;       // records past the limit
    QString trailing;      // an incomplete record at the end, not imported
};

// The records of the first line of a format data file ("E2" or empty: none).
ReceivedFormatData SplitReceivedFormatData(const QString& line);

// Makes `label` the label of one record as a new document makes it: model 0 at
// 55 x 50 mm with every field snapped to its dots, then the scale's model set,
// then the record read. False when the record's length field did not match (the
// format number is taken all the same).
bool ImportReceivedRecord(Label& label, const QString& record, int model);

} // namespace quillon
