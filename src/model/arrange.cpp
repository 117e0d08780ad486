#include "model/arrange.h"
#include <QDataStream>
#include <QIODevice>
#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

constexpr quint32 kClipboardMagic = 0x51464C44; // "QFLD"
constexpr quint16 kClipboardVersion = 1;

bool placed(const Label& label, int i)
{
    return i >= 0 && i < label.fieldCount() && label.m_arrFields[i].bUsed;
}

float right(const FieldBox& b) { return b.left + b.width; }
float bottom(const FieldBox& b) { return b.top + b.height; }

// A string the label file can carry.
bool storable(const QString& s)
{
    return !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\r')) && !s.contains(QLatin1Char('\n'));
}

bool sound(const FieldRecord& r)
{
    if (!std::isfinite(r.sngX) || !std::isfinite(r.sngY) || !std::isfinite(r.sngWidth)
        || !std::isfinite(r.sngHeight) || !std::isfinite(r.dblThickness))
        return false;
    if (r.lAttribute < 0 || r.lAttribute > 65535 || r.iTextLine < 0 || r.iTextLine > kMaxTextLines)
        return false;
    if (!storable(r.strLogoSize))
        return false;
    for (int j = 1; j <= kMaxTextLines; ++j)
        if (!storable(r.strText[j]) || !storable(r.strCharSize[j]))
            return false;
    return true;
}

} // namespace

QList<int> PlacedFields(const Label& label, const QList<int>& fields)
{
    QList<int> out;
    for (int i : fields)
        if (placed(label, i) && !out.contains(i))
            out << i;
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<FieldBox> CommonBox(Label& label, const QList<int>& fields)
{
    std::optional<FieldBox> box;
    for (int i : PlacedFields(label, fields)) {
        const FieldBox b = label.GetFieldSize(i);
        if (!box) {
            box = b;
            continue;
        }
        const float l = std::min(box->left, b.left), t = std::min(box->top, b.top);
        const float r = std::max(right(*box), right(b)), btm = std::max(bottom(*box), bottom(b));
        box = FieldBox{l, t, r - l, btm - t};
    }
    return box;
}

QList<int> ArrangeFields(Label& label, const QList<int>& fields, Arrange how, int reference)
{
    const QList<int> list = PlacedFields(label, fields);
    const std::optional<FieldBox> common = CommonBox(label, list);
    if (!common)
        return {};
    QList<std::pair<int, FieldBox>> boxes;
    for (int i : list)
        boxes.append({i, label.GetFieldSize(i)});

    auto distribute = [&](bool horizontal) {
        if (boxes.size() < 3)
            return;
        auto start = [horizontal](const FieldBox& b) { return horizontal ? b.left : b.top; };
        auto extent = [horizontal](const FieldBox& b) { return horizontal ? b.width : b.height; };
        std::stable_sort(boxes.begin(), boxes.end(),
                         [&](const auto& a, const auto& b) { return start(a.second) < start(b.second); });
        float used = 0;
        for (const auto& e : boxes)
            used += extent(e.second);
        const float first = start(boxes.first().second);
        const float last = start(boxes.last().second) + extent(boxes.last().second);
        const float gap = (last - first - used) / float(boxes.size() - 1);
        float at = first;
        for (auto& e : boxes) {
            (horizontal ? e.second.left : e.second.top) = at;
            at += extent(e.second) + gap;
        }
    };

    const FieldBox c = *common;
    const bool hasRef = placed(label, reference);
    const FieldBox ref = hasRef ? label.GetFieldSize(reference) : FieldBox{};
    switch (how) {
    case Arrange::AlignLeft: for (auto& e : boxes) e.second.left = c.left; break;
    case Arrange::AlignRight: for (auto& e : boxes) e.second.left = right(c) - e.second.width; break;
    case Arrange::AlignTop: for (auto& e : boxes) e.second.top = c.top; break;
    case Arrange::AlignBottom: for (auto& e : boxes) e.second.top = bottom(c) - e.second.height; break;
    case Arrange::AlignHCentre:
        for (auto& e : boxes) e.second.left = c.left + (c.width - e.second.width) / 2;
        break;
    case Arrange::AlignVCentre:
        for (auto& e : boxes) e.second.top = c.top + (c.height - e.second.height) / 2;
        break;
    case Arrange::DistributeH: distribute(true); break;
    case Arrange::DistributeV: distribute(false); break;
    case Arrange::SameWidth: if (hasRef) for (auto& e : boxes) e.second.width = ref.width; break;
    case Arrange::SameHeight: if (hasRef) for (auto& e : boxes) e.second.height = ref.height; break;
    }

    QList<int> changed;
    for (const auto& [i, box] : boxes) {
        const FieldRecord before = label.m_arrFields[i];
        label.SetFieldSize(i, box);
        label.NormaliseField(i);
        if (!FieldRecordsEqual(before, label.m_arrFields[i]))
            changed << i;
    }
    std::sort(changed.begin(), changed.end());
    return changed;
}

SnapLines SnapTargets(Label& label, const QList<int>& moving)
{
    SnapLines s;
    const float W = label.m_iHoriRulerWidth, H = label.m_iVertRulerHeight;
    s.x = {0, W / 2, W};
    s.y = {0, H / 2, H};
    for (int i = 0; i < label.fieldCount(); ++i) {
        if (!label.m_arrFields[i].bUsed || moving.contains(i))
            continue;
        const FieldBox b = label.GetFieldSize(i);
        s.x << b.left << b.left + b.width / 2 << right(b);
        s.y << b.top << b.top + b.height / 2 << bottom(b);
    }
    return s;
}

std::optional<Snap> SnapShift(const QVector<float>& edges, const QVector<float>& lines, float gridStep,
                              float tolerance)
{
    std::optional<Snap> best;
    auto consider = [&](float edge, float line) {
        const float shift = line - edge;
        if (std::fabs(shift) <= tolerance && (!best || std::fabs(shift) < std::fabs(best->shift)))
            best = Snap{shift, line};
    };
    for (float e : edges) {
        for (float l : lines)
            consider(e, l);
        if (gridStep > 0)
            consider(e, std::round(e / gridStep) * gridStep);
    }
    return best;
}

QByteArray FieldsToClipboard(const Label& label, const QList<int>& fields)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_6_0);
    const QList<int> list = PlacedFields(label, fields);
    s << kClipboardMagic << kClipboardVersion << qint32(list.size());
    const auto& defs = label.tables().g_arrFieldDef;
    for (int i : list) {
        const FieldRecord& r = label.m_arrFields[i];
        s << qint32(i) << (i < defs.size() ? defs[i].Name : QString()) << qint32(label.fieldType(i));
        s << r.sngX << r.sngY << r.lAttribute << r.sngHeight << r.sngWidth << r.iReserved << r.strLogoSize
          << r.dblThickness << r.iImageNumber << r.iNumOfFigures << r.iTextLine;
        for (int j = 1; j <= kMaxTextLines; ++j)
            s << r.strCharSize[j] << r.strText[j];
    }
    return out;
}

QList<ClipboardField> FieldsFromClipboard(const Label& label, const QByteArray& data)
{
    QDataStream s(data);
    s.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint16 version = 0;
    qint32 count = 0;
    s >> magic >> version >> count;
    if (s.status() != QDataStream::Ok || magic != kClipboardMagic || version != kClipboardVersion || count < 0)
        return {};
    const auto& defs = label.tables().g_arrFieldDef;
    QList<ClipboardField> out;
    for (qint32 n = 0; n < count && n < label.fieldCount(); ++n) {
        ClipboardField f;
        QString name;
        qint32 type = 0;
        FieldRecord& r = f.record;
        s >> f.index >> name >> type;
        s >> r.sngX >> r.sngY >> r.lAttribute >> r.sngHeight >> r.sngWidth >> r.iReserved >> r.strLogoSize
          >> r.dblThickness >> r.iImageNumber >> r.iNumOfFigures >> r.iTextLine;
        for (int j = 1; j <= kMaxTextLines; ++j)
            s >> r.strCharSize[j] >> r.strText[j];
        if (s.status() != QDataStream::Ok)
            break;
        r.bUsed = true;
        if (f.index < 0 || f.index >= label.fieldCount() || f.index >= defs.size() || defs[f.index].Name != name
            || label.fieldType(f.index) != type || !sound(r))
            continue;
        out << f;
    }
    return out;
}

QList<int> PasteFields(Label& label, const QList<ClipboardField>& fields)
{
    QList<int> changed;
    for (const ClipboardField& f : fields) {
        if (f.index < 0 || f.index >= label.fieldCount())
            continue;
        const FieldRecord before = label.m_arrFields[f.index];
        label.m_arrFields[f.index] = f.record;
        label.NormaliseField(f.index);
        if (!FieldRecordsEqual(before, label.m_arrFields[f.index]) && !changed.contains(f.index))
            changed << f.index;
    }
    return changed;
}

} // namespace quillon
