#pragma once
#include <QString>

namespace quillon {

// Outcome of a model operation; the caller decides how to show a failure.
struct Result {
    bool ok = true;
    QString error;      // the error's description, for ReportError or a message box
    static Result Ok() { return {}; }
    static Result Fail(const QString& e) { return {false, e}; }
    explicit operator bool() const { return ok; }
};

} // namespace quillon
