#pragma once
// The one way to fetch an interface text. SetApp installs the program's
// localisation database as the source; a test of a lone window may install its own.
#include <QString>
#include <functional>

namespace quillon {

using TextLookup = std::function<QString(const QString& section, const QString& key)>;
void SetTextLookup(TextLookup lookup);

// The localised text of a key ("" after a reported lookup error). Without a source
// (tools, tests) the key itself stands in, so no caption is ever blank.
QString GetLangString(const QString& section, const QString& key);

} // namespace quillon
