#include "app/griddialog.h"
#include "context/texts.h"
#include "platform/placement.h"
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

QString T(const char* key) { return GetLangString(QStringLiteral("frmGrid"), QString::fromLatin1(key)); }


} // namespace

GridSettings GridSettings::Load()
{
    GridSettings g;
    g.visible = ReadUserSetting(QStringLiteral("GridVisible"), false).toBool();
    g.snap = ReadUserSetting(QStringLiteral("GridSnap"), false).toBool();
    g.inDots = ReadUserSetting(QStringLiteral("GridUnit"), QString()).toString() == QLatin1String("dot");
    bool ok = false;
    const double step = ReadUserSetting(QStringLiteral("GridStep"), 1.0).toDouble(&ok);
    // A hand-edited value out of range falls back to the default.
    g.step = ok && std::isfinite(step) && step > 0 && step <= 1000 ? step : 1.0;
    return g;
}

void GridSettings::Store() const
{
    WriteUserSetting(QStringLiteral("GridVisible"), visible);
    WriteUserSetting(QStringLiteral("GridSnap"), snap);
    WriteUserSetting(QStringLiteral("GridStep"), step);
    WriteUserSetting(QStringLiteral("GridUnit"), inDots ? QStringLiteral("dot") : QStringLiteral("mm"));
}

float GridSettings::StepMM(float mmPerDot) const
{
    const double mm = inDots ? std::round(step) * mmPerDot : step;
    return float(std::max<double>(mm, mmPerDot));
}

GridDialog::GridDialog(const GridSettings& settings, QWidget* parent) : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("frmGrid"));
    setWindowTitle(T("Caption"));
    auto* form = new QFormLayout(this);
    m_step = new QDoubleSpinBox(this);
    m_step->setObjectName(QStringLiteral("txtStep"));
    m_step->setRange(0.1, 1000);
    m_step->setDecimals(2);
    m_step->setValue(settings.step);
    m_unit = new QComboBox(this);
    m_unit->setObjectName(QStringLiteral("cboUnit"));
    m_unit->addItems({T("optMM"), T("optDot")});
    m_unit->setCurrentIndex(settings.inDots ? 1 : 0);
    auto* stepLabel = new QLabel(T("lblStep"), this);
    stepLabel->setBuddy(m_step);
    auto* unitLabel = new QLabel(T("lblUnit"), this);
    unitLabel->setBuddy(m_unit);
    form->addRow(stepLabel, m_step);
    form->addRow(unitLabel, m_unit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 160);
}

GridSettings GridDialog::settings() const
{
    GridSettings g = m_settings;
    g.step = m_step->value();
    g.inDots = m_unit->currentIndex() == 1;
    if (g.inDots)
        g.step = std::max(1.0, std::round(g.step));
    return g;
}

} // namespace quillon
