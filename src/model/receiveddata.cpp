#include "model/receiveddata.h"
#include "model/f52data.h"

namespace quillon {

ReceivedFormatData SplitReceivedFormatData(const QString& line)
{
    ReceivedFormatData d;
    d.records = SplitFormatRecords(line, &d.trailing);
    if (d.records.size() > kMaxReceivedRecords) {
        d.dropped = int(d.records.size()) - kMaxReceivedRecords;
        d.records = d.records.mid(0, kMaxReceivedRecords);
    }
    return d;
}

bool ImportReceivedRecord(Label& label, const QString& record, int model)
{
    label = Label(label.tables());
    for (int i = 0; i < label.fieldCount(); ++i)
        label.NormaliseField(i);
    label.m_iScaleModelIndex = qint16(model);
    return ImportFormatData(label, record);
}

} // namespace quillon
