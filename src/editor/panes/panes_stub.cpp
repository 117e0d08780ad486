// Placeholders until the panes land: keep the main window linkable.
#include "frmEditText.h"
#include "frmProperty.h"
#include "frmToolbox.h"
#include "texts.h"

namespace quillon {

static LangLookup& lookup() { static LangLookup l; return l; }
void SetPaneTextLookup(LangLookup l) { lookup() = std::move(l); }
QString PaneText(const QString& s, const QString& k) { return lookup() ? lookup()(s, k) : k; }

struct frmToolbox::Impl {};
frmToolbox::frmToolbox(QWidget* p) : QWidget(p), d(new Impl) {}
frmToolbox::~frmToolbox() { delete d; }
CatalogueCallbacks frmToolbox::catalogueCallbacks() { return {}; }
void frmToolbox::ResetToolbox(const Label*) {}

struct frmProperty::Impl {};
frmProperty::frmProperty(QWidget* p) : QWidget(p), d(new Impl) {}
frmProperty::~frmProperty() { delete d; }
void frmProperty::ResetProperty(const Document*) {}

struct frmEditText::Impl {};
frmEditText::frmEditText(const Tables&, QWidget* p) : QDialog(p), d(new Impl) {}
frmEditText::~frmEditText() { delete d; }
void frmEditText::Init(qint16 n, const std::array<QString, kMaxTextLines + 1>& t,
                       const std::array<QString, kMaxTextLines + 1>& c)
{
    m_iTextLine = n;
    m_strText = t;
    m_strCharSize = c;
}

} // namespace quillon
