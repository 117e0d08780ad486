#include "scale/scalepicker.h"

#include "scale/scalepickerdialog.h"

namespace quillon {

void ScalePicker::Show()
{
    ScalePickerDialog dlg(m_ctx, m_parent);
    dlg.m_bJustOneSelected = !m_bMultiSelect;
    dlg.m_preselected = m_preselected;
    dlg.exec();
    m_bCancel = dlg.m_bCancel;
    m_strScales = dlg.m_bCancel ? QString() : dlg.m_strScales;
}

} // namespace quillon
