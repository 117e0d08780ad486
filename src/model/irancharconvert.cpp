#include "model/irancharconvert.h"

#include <QVarLengthArray>


namespace quillon {

namespace {

enum Form : quint8 { ISO = 1, FIN = 2, INI = 4, MED = 8, ALL = 15 };

struct ChartEntry {
    quint8 byte;
    char32_t code;  // the chart's character (a presentation form for letters)
    quint8 forms;   // the joining forms this byte serves
};

// Upper half of the Iran System chart.
constexpr ChartEntry kChart[] = {
    {0x80, 0x06F0, ALL},
    {0x81, 0x06F1, ALL},
    {0x82, 0x06F2, ALL},
    {0x83, 0x06F3, ALL},
    {0x84, 0x06F4, ALL},
    {0x85, 0x06F5, ALL},
    {0x86, 0x06F6, ALL},
    {0x87, 0x06F7, ALL},
    {0x88, 0x06F8, ALL},
    {0x89, 0x06F9, ALL},
    {0x8A, 0x060C, ALL},
    {0x8B, 0x0640, ALL},
    {0x8C, 0x061F, ALL},
    {0x8D, 0xFE81, ISO},
    {0x8E, 0xFE8B, INI|MED},
    {0x8F, 0xFE80, ISO},
    {0x90, 0xFE8D, ISO},
    {0x91, 0xFE8E, FIN},
    {0x92, 0xFE8F, ISO|FIN},
    {0x93, 0xFE91, INI|MED},
    {0x94, 0xFB56, ISO|FIN},
    {0x95, 0xFB58, INI|MED},
    {0x96, 0xFE95, ISO|FIN},
    {0x97, 0xFE97, INI|MED},
    {0x98, 0xFE99, ISO|FIN},
    {0x99, 0xFE9B, INI|MED},
    {0x9A, 0xFE9D, ISO|FIN},
    {0x9B, 0xFE9F, INI|MED},
    {0x9C, 0xFB7A, ISO|FIN},
    {0x9D, 0xFB7C, INI|MED},
    {0x9E, 0xFEA1, ISO|FIN},
    {0x9F, 0xFEA3, INI|MED},
    {0xA0, 0xFEA5, ISO|FIN},
    {0xA1, 0xFEA7, INI|MED},
    {0xA2, 0xFEA9, ISO|FIN},
    {0xA3, 0xFEAB, ISO|FIN},
    {0xA4, 0xFEAD, ISO|FIN},
    {0xA5, 0xFEAF, ISO|FIN},
    {0xA6, 0xFB8A, ISO|FIN},
    {0xA7, 0xFEB1, ISO|FIN},
    {0xA8, 0xFEB3, INI|MED},
    {0xA9, 0xFEB5, ISO|FIN},
    {0xAA, 0xFEB7, INI|MED},
    {0xAB, 0xFEB9, ISO|FIN},
    {0xAC, 0xFEBB, INI|MED},
    {0xAD, 0xFEBD, ISO|FIN},
    {0xAE, 0xFEBF, INI|MED},
    {0xAF, 0xFEC1, ALL},
    {0xB0, 0x2591, ALL},
    {0xB1, 0x2592, ALL},
    {0xB2, 0x2593, ALL},
    {0xB3, 0x2502, ALL},
    {0xB4, 0x2524, ALL},
    {0xB5, 0x2561, ALL},
    {0xB6, 0x2562, ALL},
    {0xB7, 0x2556, ALL},
    {0xB8, 0x2555, ALL},
    {0xB9, 0x2563, ALL},
    {0xBA, 0x2551, ALL},
    {0xBB, 0x2557, ALL},
    {0xBC, 0x255D, ALL},
    {0xBD, 0x255C, ALL},
    {0xBE, 0x255B, ALL},
    {0xBF, 0x2510, ALL},
    {0xC0, 0x2514, ALL},
    {0xC1, 0x2534, ALL},
    {0xC2, 0x252C, ALL},
    {0xC3, 0x251C, ALL},
    {0xC4, 0x2500, ALL},
    {0xC5, 0x253C, ALL},
    {0xC6, 0x255E, ALL},
    {0xC7, 0x255F, ALL},
    {0xC8, 0x255A, ALL},
    {0xC9, 0x2554, ALL},
    {0xCA, 0x2569, ALL},
    {0xCB, 0x2566, ALL},
    {0xCC, 0x2560, ALL},
    {0xCD, 0x2550, ALL},
    {0xCE, 0x256C, ALL},
    {0xCF, 0x2567, ALL},
    {0xD0, 0x2568, ALL},
    {0xD1, 0x2564, ALL},
    {0xD2, 0x2565, ALL},
    {0xD3, 0x2559, ALL},
    {0xD4, 0x2558, ALL},
    {0xD5, 0x2552, ALL},
    {0xD6, 0x2553, ALL},
    {0xD7, 0x256B, ALL},
    {0xD8, 0x256A, ALL},
    {0xD9, 0x2518, ALL},
    {0xDA, 0x250C, ALL},
    {0xDB, 0x2588, ALL},
    {0xDC, 0x2584, ALL},
    {0xDD, 0x258C, ALL},
    {0xDE, 0x2590, ALL},
    {0xDF, 0x2580, ALL},
    {0xE0, 0xFEC5, ALL},
    {0xE1, 0xFEC9, ISO},
    {0xE2, 0xFECA, FIN},
    {0xE3, 0xFECC, MED},
    {0xE4, 0xFECB, INI},
    {0xE5, 0xFECD, ISO},
    {0xE6, 0xFECE, FIN},
    {0xE7, 0xFED0, MED},
    {0xE8, 0xFECF, INI},
    {0xE9, 0xFED1, ISO|FIN},
    {0xEA, 0xFED3, INI|MED},
    {0xEB, 0xFED5, ISO|FIN},
    {0xEC, 0xFED7, INI|MED},
    {0xED, 0xFB8E, ISO|FIN},
    {0xEE, 0xFB90, INI|MED},
    {0xEF, 0xFB92, ISO|FIN},
    {0xF0, 0xFB94, INI|MED},
    {0xF1, 0xFEDD, ISO|FIN},
    {0xF2, 0xFEFB, ISO},
    {0xF3, 0xFEDF, INI|MED},
    {0xF4, 0xFEE1, ISO|FIN},
    {0xF5, 0xFEE3, INI|MED},
    {0xF6, 0xFEE5, ISO|FIN},
    {0xF7, 0xFEE7, INI|MED},
    {0xF8, 0xFEED, ISO|FIN},
    {0xF9, 0xFEE9, ISO|FIN},
    {0xFA, 0xFEEC, MED},
    {0xFB, 0xFEEB, INI},
    {0xFC, 0xFBFD, FIN},
    {0xFD, 0xFBFC, ISO},
    {0xFE, 0xFBFE, INI|MED},
    {0xFF, 0x00A0, ALL},
};

constexpr char32_t kLam = 0x0644;
constexpr char32_t kAlef = 0x0627;
constexpr quint8 kLamAlef = 0xF2;

// Letters the chart has no byte of its own for, written as their Persian look-alike.
char32_t foldLetter(char32_t c)
{
    switch (c) {
    case 0x0643: return 0x06A9;                 // Arabic kaf -> keheh
    case 0x064A: case 0x0649: return 0x06CC;    // Arabic yeh, alef maksura -> Farsi yeh
    case 0x0629: case 0x06C0: return 0x0647;    // teh marbuta, heh with yeh -> heh
    case 0x0623: case 0x0625: case 0x0671: return kAlef;
    case 0x0624: return 0x0648;                 // waw with hamza -> waw
    default: break;
    }
    if (c >= 0x0660 && c <= 0x0669)
        return c - 0x0660 + 0x06F0;             // Arabic-Indic digits -> Persian digits
    return c;
}

// Calls f for every character of s; a lone surrogate is U+FFFD, as toUcs4 gives it.
template <typename F>
void forEachUcs4(QStringView s, F f)
{
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = s[i].unicode();
        if (QChar::isSurrogate(c)) {
            if (QChar::isHighSurrogate(c) && i + 1 < n && s[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(char16_t(c), s[i + 1].unicode());
                ++i;
            } else {
                c = 0xFFFD;
            }
        }
        f(c);
    }
}

// Calls f for every character of the text, presentation forms typed or pasted in
// taken as their base letters.
template <typename F>
void forEachBaseChar(const QString& text, F f)
{
    forEachUcs4(text, [&f](char32_t c) {
        if ((c >= 0xFB50 && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF)) {
            const QString d = QChar::decomposition(c);
            if (!d.isEmpty()) {
                forEachUcs4(d, f);
                return;
            }
        }
        f(c);
    });
}

bool joinsForward(QChar::JoiningType j) { return j == QChar::Joining_Dual || j == QChar::Joining_Causing; }
bool joinsBackward(QChar::JoiningType j)
{
    return j == QChar::Joining_Dual || j == QChar::Joining_Causing || j == QChar::Joining_Right;
}

} // namespace

IranCharConvert::IranCharConvert()
{
    for (const ChartEntry& e : kChart) {
        const QString d = QChar::decomposition(e.code);
        const bool letter = e.code >= 0xFB50 && !d.isEmpty();
        m_decode[e.byte - 0x80] = letter ? d : QString::fromUcs4(&e.code, 1);
        if (!letter || d.size() != 1) {
            if (!letter)
                m_plainBytes.insert(e.code, e.byte);
            continue;
        }
        auto it = m_letterBytes.find(d[0].unicode());
        if (it == m_letterBytes.end())
            it = m_letterBytes.insert(d[0].unicode(), {0, 0, 0, 0});
        for (int f = 0; f < 4; ++f)
            if ((e.forms & (1 << f)) && !(*it)[f])
                (*it)[f] = e.byte;
    }
    // A form the chart lacks takes the nearest one it has (alef's initial is its isolated form).
    static const int kNearest[4][3] = {{1, 2, 3}, {0, 3, 2}, {3, 0, 1}, {2, 1, 0}};
    for (auto it = m_letterBytes.begin(); it != m_letterBytes.end(); ++it) {
        auto& bytes = *it;
        std::array<quint8, 4> filled = bytes;
        for (int f = 0; f < 4; ++f)
            for (int k = 0; k < 3 && !filled[f]; ++k)
                filled[f] = bytes[kNearest[f][k]];
        bytes = filled;
    }
}

QString IranCharConvert::Uni2IrSys(const QString& text) const
{
    QVarLengthArray<char32_t, 256> cs;
    forEachBaseChar(text, [&cs](char32_t c) {
        // Diacritics have no byte and do not break joining.
        if (QChar::joiningType(c) != QChar::Joining_Transparent)
            cs.append(foldLetter(c));
    });

    auto isLetter = [&](qsizetype i) { return i >= 0 && i < cs.size() && m_letterBytes.contains(cs[i]); };
    auto jt = [&](qsizetype i) {
        return i >= 0 && i < cs.size() ? QChar::joiningType(cs[i]) : QChar::Joining_None;
    };

    QString out;
    out.reserve(cs.size());
    for (qsizetype i = 0; i < cs.size(); ++i) {
        const char32_t c = cs[i];
        if (c < 0x80) {
            out += QChar(char16_t(c));
            continue;
        }
        if (c == kLam && i + 1 < cs.size() && cs[i + 1] == kAlef) {
            out += QChar(char16_t(kLamAlef));
            ++i;
            continue;
        }
        if (isLetter(i)) {
            const bool prev = joinsForward(jt(i - 1)) && joinsBackward(jt(i));
            const bool next = joinsForward(jt(i)) && joinsBackward(jt(i + 1));
            const int form = prev ? (next ? 3 : 1) : (next ? 2 : 0); // index of MED, FIN, INI, ISO
            out += QChar(char16_t(m_letterBytes.value(c)[form]));
            continue;
        }
        if (c == 0x200C || c == 0x200D)
            continue;
        const auto p = m_plainBytes.constFind(c);
        out += QChar(char16_t(p != m_plainBytes.constEnd() ? p.value() : quint8('?')));
    }
    return out;
}

QString IranCharConvert::IrSys2Uni(const QString& oneByte) const
{
    QString out;
    for (QChar ch : oneByte) {
        if (ch.unicode() <= 0xFF)
            AppendIrSys2Uni(out, quint8(ch.unicode()));
        else
            out += QChar(u'?');
    }
    return out;
}

void IranCharConvert::AppendIrSys2Uni(QString& out, quint8 byte) const
{
    if (byte < 0x80)
        out += QChar(char16_t(byte));
    else
        out += m_decode[byte - 0x80];
}

} // namespace quillon
