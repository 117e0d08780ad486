#include "texts.h"

namespace quillon {

static LangLookup& lookup()
{
    static LangLookup l;
    return l;
}

void SetPaneTextLookup(LangLookup l) { lookup() = std::move(l); }

// Without a lookup (tests, tools) the key itself stands in, so nothing is blank.
QString PaneText(const QString& section, const QString& key)
{
    return lookup() ? lookup()(section, key) : key;
}

} // namespace quillon
