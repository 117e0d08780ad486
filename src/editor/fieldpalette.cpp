#include "editor/fieldpalette.h"
#include "model/label.h"
#include "editor/labelview.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillon {

namespace {
constexpr int kMaxGroups = 51;
constexpr int RoleField = Qt::UserRole + 1;
constexpr int RoleGroup = Qt::UserRole + 2;

// An item dragged past the drag distance carries its field to the canvas.
class PaletteTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        m_pressPos = e->position().toPoint();
        m_pressed = e->button() == Qt::LeftButton ? itemAt(m_pressPos) : nullptr;
        QTreeWidget::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (!m_pressed || !(e->buttons() & Qt::LeftButton)
            || (e->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance()) {
            QTreeWidget::mouseMoveEvent(e);
            return;
        }
        const QVariant field = m_pressed->data(0, RoleField);
        m_pressed = nullptr;
        if (!field.isValid() || !isEnabled())
            return;
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setData(QLatin1String(kFieldMimeType), QByteArray::number(field.toInt()));
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction);
    }

private:
    QPoint m_pressPos;
    QTreeWidgetItem* m_pressed = nullptr;
};
}

struct FieldPalette::Impl {
    QTreeWidget* tree = nullptr;
    QList<QTreeWidgetItem*> groups;          // index = group identifier
    QHash<int, QTreeWidgetItem*> items;      // field index -> item

    void setSelected(QTreeWidgetItem* item, bool on)
    {
        item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
        QFont f = item->font(0);
        f.setBold(on);
        item->setFont(0, f);
        item->setData(0, Qt::BackgroundRole,
                      on ? QVariant(tree->palette().color(QPalette::Highlight).lighter(175)) : QVariant());
        // The tint is always light; the palette's text colour may be too (dark theme).
        item->setData(0, Qt::ForegroundRole, on ? QVariant(QColor(Qt::black)) : QVariant());
    }
};

FieldPalette::FieldPalette(QWidget* parent) : QWidget(parent), d(new Impl)
{
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    d->tree = new PaletteTree(this);
    d->tree->setObjectName(QStringLiteral("wndToolBox"));
    d->tree->setColumnCount(1);
    d->tree->header()->hide();
    d->tree->setRootIsDecorated(true);
    d->tree->setIndentation(14);
    d->tree->setSelectionMode(QAbstractItemView::NoSelection);
    d->tree->setFocusPolicy(Qt::NoFocus);
    d->tree->setUniformRowHeights(true);
    d->tree->setStyleSheet(QStringLiteral(
        "QTreeWidget { background: palette(base); border: none; }"
        "QTreeWidget::item { padding: 3px 2px; }"
        "QTreeWidget::item:hover { background: palette(midlight); }"));
    lay->addWidget(d->tree);

    connect(d->tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        if (!item || !isEnabled())
            return;
        if (item->data(0, RoleGroup).isValid()) {
            item->setExpanded(!item->isExpanded());
            return;
        }
        const QVariant f = item->data(0, RoleField);
        if (f.isValid())
            emit itemClicked(f.toInt());
    });
    setEnabled(false);
}

FieldPalette::~FieldPalette() { delete d; }

CatalogueCallbacks FieldPalette::catalogueCallbacks()
{
    CatalogueCallbacks cb;
    cb.onGroup = [this](int groupId, const QString& caption) {
        // Identifiers arrive in order; anything else would misfile the items.
        if (groupId != d->groups.size() || groupId >= kMaxGroups)
            return;
        auto* g = new QTreeWidgetItem(d->tree, QStringList(caption));
        g->setData(0, RoleGroup, groupId);
        g->setFlags(Qt::ItemIsEnabled);
        QFont f = g->font(0);
        f.setBold(true);
        g->setFont(0, f);
        g->setData(0, Qt::BackgroundRole, QColor(0xdd, 0xe4, 0xee));
        g->setData(0, Qt::ForegroundRole, QColor(0x1f, 0x3a, 0x60));
        g->setExpanded(true);
        d->groups.append(g);
    };
    cb.onItem = [this](int groupId, int fieldIndex, const QString& name) {
        // A field line before any heading has no group to live in.
        if (groupId < 0 || groupId >= d->groups.size() || fieldIndex < 0 || d->items.contains(fieldIndex))
            return;
        auto* it = new QTreeWidgetItem(d->groups[groupId], QStringList(name));
        it->setData(0, RoleField, fieldIndex);
        it->setToolTip(0, name);
        it->setFlags(Qt::ItemIsEnabled);
        d->setSelected(it, false);
        d->items.insert(fieldIndex, it);
        d->groups[groupId]->setExpanded(true);
    };
    return cb;
}

void FieldPalette::ResetToolbox(const Label* label)
{
    for (auto it = d->items.cbegin(); it != d->items.cend(); ++it) {
        const int i = it.key();
        const bool used = label && i < label->fieldCount() && label->m_arrFields[i].bUsed;
        d->setSelected(it.value(), used);
    }
    setEnabled(label != nullptr);
}

int FieldPalette::groupCount() const { return int(d->groups.size()); }

QString FieldPalette::groupCaption(int groupId) const
{
    return groupId >= 0 && groupId < d->groups.size() ? d->groups[groupId]->text(0) : QString();
}

QList<int> FieldPalette::groupItems(int groupId) const
{
    QList<int> out;
    if (groupId < 0 || groupId >= d->groups.size())
        return out;
    QTreeWidgetItem* g = d->groups[groupId];
    for (int k = 0; k < g->childCount(); ++k)
        out.append(g->child(k)->data(0, RoleField).toInt());
    return out;
}

bool FieldPalette::isItemSelected(int fieldIndex) const
{
    auto* it = d->items.value(fieldIndex);
    return it && it->checkState(0) == Qt::Checked;
}

QTreeWidget* FieldPalette::tree() const { return d->tree; }

} // namespace quillon
