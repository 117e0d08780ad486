#pragma once
#include <QString>

namespace quillon {

// Makes the folder and any missing parents. "/" and "\" both separate, a
// trailing separator is ignored, and an existing file of that name counts as
// existing. False (after ReportError with source "MakeDir " + path) on failure.
bool MakeDir(const QString& path);

} // namespace quillon
