// Export and import speed of the label files: 10,000 labels with every field placed.
#include "model/f52data.h"
#include "model/qlffile.h"
#include "model/f56f61data.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace quillon;

namespace {

int g_labels = 10000;

Tables makeTables()
{
    Tables t;
    t.softwareName = QStringLiteral("Quillon");
    t.g_arrScaleModel = {ScaleModel{1, QStringLiteral("Model"), 100, 20, 100, 20, 125}};
    t.g_arrFieldFont = {FieldFont{QStringLiteral("S"), 1, 8, 16}, FieldFont{QStringLiteral("M"), 2, 10, 20},
                        FieldFont{QStringLiteral("L"), 3, 12, 24}};
    t.g_varLogoSizeList = {QStringLiteral("0"), QStringLiteral("1")};
    for (int i = 0; i < 40; ++i)
        t.g_arrFieldDef.append(FieldDef{QStringLiteral("F%1").arg(i), i % 12, 2, 3, 20, 5});
    BuildCodePageTables(t);
    return t;
}

Label makeLabel(const Tables& t)
{
    Label l(t);
    for (int i = 0; i < l.fieldCount(); ++i) {
        FieldRecord& r = l.m_arrFields[i];
        r.bUsed = true;
        r.sngX = float(i % 30);
        r.sngY = float(i % 20);
        r.iTextLine = 3;
        for (int j = 1; j <= 3; ++j) {
            r.strCharSize[j] = QStringLiteral("M");
            r.strText[j] = QStringLiteral("Fresh bread line %1").arg(j);
        }
        l.NormaliseField(i);
    }
    return l;
}

template <typename F>
void measure(const char* what, F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    long long sink = 0;
    for (int i = 0; i < g_labels; ++i)
        sink += f(i);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-12s %12.0f labels/s  (%lld)\n", what, g_labels / s, sink % 10);
}

} // namespace

// An optional argument sets the number of labels (fewer for a run under a profiler).
int main(int argc, char** argv)
{
    if (argc > 1)
        g_labels = qMax(1, std::atoi(argv[1]));
    const Tables t = makeTables();
    const Label label = makeLabel(t);
    const QString f52 = FormatRecord(label);
    const QString f56 = TextDataRecord(label, FT_TEXT);
    const QByteArray qlf = FormatFileBytes(label);
    Label target(t);

    measure("F52 export", [&](int) { return FormatRecord(label).size(); });
    measure("F52 import", [&](int) { return int(ImportFormatData(target, f52)); });
    measure("F56 export", [&](int) { return TextDataRecord(label, FT_TEXT).size(); });
    measure("F56 import", [&](int) { return ImportTextDataLine(target, f56, FT_TEXT).size(); });
    measure("QLF export", [&](int) { return FormatFileBytes(label).size(); });
    measure("QLF import", [&](int) { return int(ParseFormatFile(qlf, target).ok()); });
    return 0;
}
