#pragma once
// The panes look their captions up through this function, which the program
// sets to its localisation lookup (tests may set their own).
#include <QString>
#include <functional>

namespace quillon {

using LangLookup = std::function<QString(const QString& section, const QString& key)>;
void SetPaneTextLookup(LangLookup lookup);
QString PaneText(const QString& section, const QString& key);

} // namespace quillon
