// Saves a format file and format and text data in a loop, alternating two labels,
// until it is killed. Prints "ready" once every file has been written, then a line
// after each round, so the test can time its kills to the saver's pace.
#include "common/testtables.h"
#include "model/f52data.h"
#include "model/f56f61data.h"
#include "model/qlffile.h"

#include <QDir>
#include <cstdio>

int main(int argc, char** argv)
{
    using namespace quillon;
    if (argc != 2)
        return 2;
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const Tables t = test::manyFields(240);
    const Label labels[2] = {test::makeLabel(t, 0), test::makeLabel(t, 1)};
    for (long round = 0;; ++round) {
        const Label& l = labels[round % 2];
        if (!SaveToFile(l, dir.filePath(QStringLiteral("label.QLF"))).ok
            || !ExportFormatData(l, dir.filePath(QStringLiteral("F52.DAT"))).ok
            || !ExportTextData(l, dir.filePath(QStringLiteral("F56.DAT")), FT_TEXT).ok)
            return 1;
        if (round >= 1) {
            std::printf(round == 1 ? "ready\n" : "round\n");
            std::fflush(stdout);
        }
    }
}
