// Placeholder until the canvas lands: keeps the document window linkable.
#include "labelview.h"

namespace quillon {

struct LabelView::Impl {
    float scale = 2.5f;
};

LabelView::LabelView(Document& doc, QWidget* parent) : QWidget(parent), m_doc(doc), d(new Impl) {}
LabelView::~LabelView() { delete d; }
void LabelView::ApplyLabelScale(float s) { if (s >= 0.5f && s <= 5.0f) d->scale = s; }
float LabelView::m_sngLabelScale() const { return d->scale; }
void LabelView::AdjustLabel(int) {}
void LabelView::AdjustAllLabels() {}
void LabelView::SelectField(int i) { m_doc.label().m_iSelected = qint16(i); emit selectionChanged(i); }
void LabelView::HoriRulerHotTrack(float) {}
void LabelView::VertRulerHotTrack(float) {}

} // namespace quillon
