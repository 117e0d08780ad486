#pragma once
#include "platform/errorreport.h"

namespace quillon {

// A message box with the description as text, the source as title, OK only, no icon.
class MessageBoxReporter : public ErrorReporter {
public:
    void report(const QString& source, const QString& description) override;
};

} // namespace quillon
