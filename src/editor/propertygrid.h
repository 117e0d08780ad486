#pragma once
// The property grid: the label's properties, or the selected field's, in mm and dots.
#include <QStringList>
#include <QWidget>

class QTreeWidget;

namespace quillon {

class Document;

class PropertyGrid : public QWidget {
    Q_OBJECT
public:
    explicit PropertyGrid(QWidget* parent = nullptr);
    ~PropertyGrid() override;

    // Rebuild for the document (nullptr: empty grid).
    void ResetProperty(const Document* doc);

    // The grid's own operations, for the owner and for tests.
    void ExpandAllCategory(bool bExpand);
    QStringList categoryCaptions() const;          // in display order
    QList<int> itemIds() const;                    // every item, in display order
    QList<int> categoryItemIds(int category) const;
    QString itemCaption(int iTag) const;
    QString itemValue(int iTag) const;             // "" when there is no such item
    QStringList itemChoices(int iTag) const;       // a drop-down item's list
    bool isDropDown(int iTag) const;
    bool isNumberItem(int iTag) const;
    bool hasItem(int iTag) const;
    // Find by identifier and set the shown value (no event).
    bool SetItemValue(int iTag, const QString& value);
    // Opens the item's editor as a click on its value does; nullptr when there is none.
    QWidget* editItem(int iTag);
    // A refused edit: tell the user (the owner then rebuilds with the stored value).
    void ShowRefusal(const QString& message);
    QTreeWidget* tree() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The user changed an item: its identifier and its value as text.
    void propertyChanged(int iTag, const QString& value);

private:
    struct Impl;
    Impl* d;
};

} // namespace quillon
