#include "context/texts.h"

namespace quillon {

static TextLookup& lookup()
{
    static TextLookup l;
    return l;
}

void SetTextLookup(TextLookup l) { lookup() = std::move(l); }

QString GetLangString(const QString& section, const QString& key)
{
    return lookup() ? lookup()(section, key) : key;
}

} // namespace quillon
