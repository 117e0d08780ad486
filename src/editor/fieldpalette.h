#pragma once
// The field palette: the catalogue's groups with one clickable item per field;
// an item is highlighted exactly when its field is on the active label.
#include "model/tables.h"
#include <QWidget>

class QTreeWidget;

namespace quillon {

class Label;

class FieldPalette : public QWidget {
    Q_OBJECT
public:
    explicit FieldPalette(QWidget* parent = nullptr);
    ~FieldPalette() override;

    // Callbacks for the catalogue reading pass: groups and items as they are met.
    CatalogueCallbacks catalogueCallbacks();

    // Mirror the label (nullptr: no document, every item unselected and disabled).
    void ResetToolbox(const Label* label);

    // What the palette shows, for the owner and for tests.
    int groupCount() const;
    QString groupCaption(int groupId) const;          // "" for an unknown group
    QList<int> groupItems(int groupId) const;         // field indices in their order
    bool isItemSelected(int fieldIndex) const;        // false when it has no item
    QTreeWidget* tree() const;

signals:
    // The user clicked the item of this field.
    void itemClicked(int fieldIndex);

private:
    struct Impl;
    Impl* d;
};

} // namespace quillon
