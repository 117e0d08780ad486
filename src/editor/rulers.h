#pragma once
// The millimetre rulers above and left of the canvas. The scale is painted from
// its ticks on every paint and the hot-track mark on top of it, so moving or
// removing the mark never leaves a trace.
#include <QString>
#include <QVector>
#include <QWidget>

namespace quillon {

struct RulerTick {
    int mm = 0;           // label mm counted from the left edge or from the bottom
    float from = 0;       // ruler mm across the ruler where the tick starts (it ends at 5)
    QString number;       // the figure written beside the tick, empty for none
};

// Length of a ruler in label mm before zooming: the next multiple of 10 beyond the label.
int RulerLengthMM(int labelMM);
// Ticks of a ruler for a label `labelMM` long at zoom `s`, in drawing order.
QVector<RulerTick> RulerTicks(float s, int labelMM);

class Ruler : public QWidget {
public:
    enum class Orientation { Horizontal, Vertical };
    Ruler(Orientation o, QWidget* parent);

    void setScale(float s, int labelMM);
    // Label mm from the left (horizontal) or from the top (vertical); outside 0..length
    // nothing is drawn but the position is kept.
    void setMark(float position);
    float mark() const { return m_mark; }
    bool markDrawn() const { return m_mark >= 0 && m_mark <= m_length; }
    float scale() const { return m_scale; }
    int labelLength() const { return m_length; }

    static QColor background();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double pxPerMM() const;
    Orientation m_o;
    float m_scale = 1;
    int m_length = 0;
    float m_mark = -1;
    QVector<RulerTick> m_ticks;
};

} // namespace quillon
