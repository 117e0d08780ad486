#pragma once
// The property grid: the label's properties, or the selected field's, in mm and dots.
#include <QWidget>

namespace quillon {

class Document;

class frmProperty : public QWidget {
    Q_OBJECT
public:
    explicit frmProperty(QWidget* parent = nullptr);
    ~frmProperty() override;

    // Rebuild for the document (nullptr: empty grid).
    void ResetProperty(const Document* doc);

signals:
    // The user changed an item: its identifier and its value as text.
    void propertyChanged(int iTag, const QString& value);

private:
    struct Impl;
    Impl* d;
};

} // namespace quillon
