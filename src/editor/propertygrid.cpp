#include "editor/propertygrid.h"
#include "context/texts.h"
#include "model/document.h"
#include "model/tables.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace quillon {

namespace {

constexpr int RoleTag = Qt::UserRole + 1;      // item identifier (absent on categories)
constexpr int RoleDropDown = Qt::UserRole + 2;
constexpr int RoleChoices = Qt::UserRole + 3;
constexpr int RoleNumber = Qt::UserRole + 4;
const QString kSection = QStringLiteral("frmProperty");

QString Caption(const char* key) { return GetLangString(kSection, QString::fromLatin1(key)); }
// The caption of a line's character size; the grid shows line 1 only.
QString CharSizeCaption() { return Caption("catCharSize_Size") + QStringLiteral(" 1"); }

// Every item caption the grid can show: the name column is as wide as the widest,
// whatever is selected, so no name is cut and the column does not jump.
const char* const kItemCaptionKeys[] = {
    "catName_Name", "catLabel_FormatNo", "catLabel_ScaleModal", "catLabel_Width", "catLabel_WidthInDot",
    "catLabel_Height", "catLabel_HeightInDot", "catPos_X", "catPos_XInDot", "catPos_Y", "catPos_YInDot",
    "catPos_Angle", "catPos_PrintStatus", "catSize_Width", "catSize_WidthInDot", "catSize_Height",
    "catSize_HeightInDot", "catLogoSize_Size", "catThickness_Thickness", "catThickness_InDot",
    "catImageNumber_Number", "catNumOfDigits_Num", "catCharSize_Fits"};

// Lengths with their unit in the interface language; editing reads the leading number only.
struct Units {
    QString mm = Caption("unitMM");
    QString dot = Caption("unitDot");
    static QString with(const QString& number, const QString& unit)
    {
        return number + QStringLiteral(" (") + unit + u')';
    }
    QString wholeMM(int v) const { return with(QString::number(v), mm); }
    QString MMText(float v) const { return with(QString::number(double(v), 'f', 2), mm); }
    QString DotText(qint16 dots) const { return with(QString::number(dots), dot); }
};

// Line edit or fixed list; the value is handed over once the editor has closed,
// so a listener may rebuild the grid without pulling the editor from under us.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    struct Pending {
        int tag = 0;
        QString text;
        bool valid = false;
    } pending;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        if (index.column() != 1 || !index.data(RoleTag).isValid())
            return nullptr;
        if (index.data(RoleDropDown).toBool()) {
            auto* cb = new QComboBox(parent);
            cb->addItems(index.data(RoleChoices).toStringList());
            cb->setFrame(false);
            // The list shows its entries whole, however narrow the value column is.
            cb->view()->setMinimumWidth(cb->view()->sizeHintForColumn(0) + 2 * cb->view()->frameWidth());
            // Picking an entry is the whole edit.
            connect(cb, &QComboBox::activated, this, [this, cb](int) {
                auto* self = const_cast<GridDelegate*>(this);
                emit self->commitData(cb);
                emit self->closeEditor(cb);
            });
            return cb;
        }
        auto* le = new QLineEdit(parent);
        le->setFrame(false);
        // Number items take whole non-negative numbers only, as the files store them.
        if (index.data(RoleNumber).toBool())
            le->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), le));
        return le;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QString v = index.data(Qt::DisplayRole).toString();
        if (auto* cb = qobject_cast<QComboBox*>(editor)) {
            const int i = cb->findText(v, Qt::MatchExactly | Qt::MatchCaseSensitive);
            cb->setCurrentIndex(i);
        } else if (auto* le = qobject_cast<QLineEdit*>(editor)) {
            le->setText(v);
            le->selectAll();
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        auto* self = const_cast<GridDelegate*>(this);
        self->pending.tag = index.data(RoleTag).toInt();
        self->pending.valid = true;
        if (auto* cb = qobject_cast<QComboBox*>(editor))
            self->pending.text = cb->currentText();
        else if (auto* le = qobject_cast<QLineEdit*>(editor))
            self->pending.text = le->text();
        else
            self->pending.valid = false;
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        editor->setGeometry(option.rect);
    }
};

} // namespace

struct PropertyGrid::Impl {
    PropertyGrid* q = nullptr;
    QTreeWidget* tree = nullptr;
    int nameWidth = 0;   // the widest item caption with its indentation
    GridDelegate* delegate = nullptr;
    QHash<int, QTreeWidgetItem*> byTag;

    // --- the grid's primitives -------------------------------------------
    void clear()
    {
        byTag.clear();
        tree->clear();
    }

    QTreeWidgetItem* addCategory(const QString& caption)
    {
        auto* c = new QTreeWidgetItem(tree, QStringList(caption));
        c->setFlags(Qt::ItemIsEnabled);
        c->setFirstColumnSpanned(true);
        QFont f = c->font(0);
        f.setBold(true);
        c->setFont(0, f);
        c->setData(0, Qt::BackgroundRole, tree->palette().color(QPalette::Button));
        return c;
    }

    QTreeWidgetItem* addItem(QTreeWidgetItem* cat, const QString& caption, int tag, const QString& value,
                             bool number = false, bool dropDown = false, const QStringList& choices = {})
    {
        auto* it = new QTreeWidgetItem(cat, QStringList{caption, value});
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        it->setData(0, RoleTag, tag);
        it->setData(1, RoleTag, tag);
        it->setData(1, RoleDropDown, dropDown);
        it->setData(1, RoleChoices, choices);
        it->setData(1, RoleNumber, number);
        it->setToolTip(0, caption);
        it->setToolTip(1, value);
        byTag.insert(tag, it);
        return it;
    }

    // A line that shows a figure and takes no input.
    void addInfo(QTreeWidgetItem* cat, const QString& caption, const QString& value)
    {
        auto* it = new QTreeWidgetItem(cat, QStringList{caption, value});
        it->setFlags(Qt::ItemIsEnabled);
        it->setToolTip(0, caption);
    }

    void set(int tag, const QString& value)
    {
        if (auto* it = byTag.value(tag)) {
            it->setText(1, value);
            // A long value (a print status, a field's name) may not fit beside the names.
            it->setToolTip(1, value);
        }
    }

    // --- the categories of each kind of selection -------------------------
    QTreeWidgetItem* AddFontProperty(QTreeWidgetItem* cat, const QString& caption, int tag, const Tables& t)
    {
        QStringList names;
        for (const FieldFont& f : t.g_arrFieldFont)
            names.append(f.Name);
        return addItem(cat, caption, tag, names.value(0), false, true, names);
    }

    void SetSizeProperty()
    {
        auto* c = addCategory(Caption("catSize"));
        addItem(c, Caption("catSize_Width"), PROP_WIDTH, QString());
        addItem(c, Caption("catSize_WidthInDot"), PROP_WIDTH_DOT, QString());
        addItem(c, Caption("catSize_Height"), PROP_HEIGHT, QString());
        addItem(c, Caption("catSize_HeightInDot"), PROP_HEIGHT_DOT, QString());
    }

    void SetCommonProperty(const Tables& t)
    {
        clear();
        auto* n = addCategory(Caption("catName"));
        addItem(n, Caption("catName_Name"), PROP_NAME, QStringLiteral("test"), false, true);
        auto* p = addCategory(Caption("catPosition"));
        addItem(p, Caption("catPos_X"), PROP_X, QString());
        addItem(p, Caption("catPos_XInDot"), PROP_X_DOT, QString());
        addItem(p, Caption("catPos_Y"), PROP_Y, QString());
        addItem(p, Caption("catPos_YInDot"), PROP_Y_DOT, QString());
        addItem(p, Caption("catPos_Angle"), PROP_ANGLE, QStringLiteral("0"), false, true,
                {QStringLiteral("0"), QStringLiteral("90"), QStringLiteral("180"), QStringLiteral("270")});
        addItem(p, Caption("catPos_PrintStatus"), PROP_PRINT_STATUS,
                t.g_varPrintStatusList.isEmpty() ? QString() : t.g_varPrintStatusList.last(), false, true,
                t.g_varPrintStatusList);
    }

    void SetCharSizeCategory(const Tables& t, const QString& caption)
    {
        auto* c = addCategory(Caption("catCharSize"));
        AddFontProperty(c, caption, PROP_CHAR_SIZE_1, t);
    }

    void SetNumOfDigitsCategory()
    {
        auto* c = addCategory(Caption("catNumOfDigits"));
        addItem(c, Caption("catNumOfDigits_Num"), PROP_NUM_OF_FIGURES, QStringLiteral("0"), true);
    }

    void SetFieldProperty(const Tables& t, qint32 type)
    {
        SetCommonProperty(t);
        SetSizeProperty();
        switch (type) {
        case FT_B2: {
            auto* c = addCategory(Caption("catLogoSize"));
            addItem(c, Caption("catLogoSize_Size"), PROP_LOGO_SIZE, t.g_varLogoSizeList.value(1), false, true,
                    t.g_varLogoSizeList);
            break;
        }
        case FT_B3: {
            auto* c = addCategory(Caption("catThickness"));
            addItem(c, Caption("catThickness_Thickness"), PROP_THICKNESS, QStringLiteral("0"));
            addItem(c, Caption("catThickness_InDot"), PROP_THICKNESS_DOT, QStringLiteral("0"));
            break;
        }
        case FT_B4: {
            auto* c = addCategory(Caption("catImageNumber"));
            addItem(c, Caption("catImageNumber_Number"), PROP_IMAGE_NUMBER, QStringLiteral("0"), true);
            break;
        }
        case FT_B5:
            SetNumOfDigitsCategory();
            break;
        case FT_C1: case FT_C2: case FT_C3: case FT_C4: case FT_TEXT: case FT_SHOPNAME:
            SetCharSizeCategory(t, CharSizeCaption());
            break;
        case FT_N1:
            // The same caption as every other type's size, in the interface language.
            SetCharSizeCategory(t, CharSizeCaption());
            SetNumOfDigitsCategory();
            break;
        default: // B1 and anything unknown: the common items only
            break;
        }
    }

    void SetLabelProperty(const Tables& t)
    {
        QStringList models;
        for (const ScaleModel& m : t.g_arrScaleModel)
            models.append(m.SCALE_NAME);
        auto* c = addCategory(Caption("catLabel"));
        addItem(c, Caption("catLabel_FormatNo"), PROP_FORMAT_NO, QStringLiteral("0"), true);
        addItem(c, Caption("catLabel_ScaleModal"), PROP_SCALE_MODEL, QString(), false, true, models);
        addItem(c, Caption("catLabel_Width"), PROP_LABEL_WIDTH, QString());
        addItem(c, Caption("catLabel_WidthInDot"), PROP_LABEL_WIDTH_DOT, QString());
        addItem(c, Caption("catLabel_Height"), PROP_LABEL_HEIGHT, QString());
        addItem(c, Caption("catLabel_HeightInDot"), PROP_LABEL_HEIGHT_DOT, QString());
    }

    void measureNames()
    {
        const QFontMetrics fm(tree->font());
        int widest = fm.horizontalAdvance(CharSizeCaption());
        for (const char* key : kItemCaptionKeys)
            widest = std::max(widest, fm.horizontalAdvance(Caption(key)));
        // An item sits two indentations in (category, branch); the view pads text on both sides.
        const int padding = 2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1);
        nameWidth = widest + 2 * tree->indentation() + padding + 2;
    }

    // Names whole, unless the pane is so narrow that the values could no longer be read or picked.
    void fitNameColumn()
    {
        constexpr int kValueRoom = 60;
        tree->setColumnWidth(0, std::max(kValueRoom, std::min(nameWidth, tree->viewport()->width() - kValueRoom)));
    }

    void committed()
    {
        if (!delegate->pending.valid)
            return;
        const auto p = delegate->pending;
        delegate->pending = {};
        QTreeWidgetItem* it = byTag.value(p.tag);
        if (!it || it->text(1) == p.text)
            return;
        set(p.tag, p.text);
        emit q->propertyChanged(p.tag, p.text);
    }
};

PropertyGrid::PropertyGrid(QWidget* parent) : QWidget(parent), d(new Impl)
{
    d->q = this;
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    d->tree = new QTreeWidget(this);
    d->tree->setObjectName(QStringLiteral("wndPropertyGrid"));
    d->tree->setColumnCount(2);
    d->tree->header()->hide();
    d->tree->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    // The values take what the names leave, without a scroll bar across the pane.
    d->tree->header()->setStretchLastSection(false);
    d->tree->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    d->tree->header()->setMinimumSectionSize(24);
    d->tree->setAlternatingRowColors(true);
    d->tree->setIndentation(12);
    d->measureNames();
    d->tree->viewport()->installEventFilter(this);
    d->tree->setSortingEnabled(false);   // items stay in the order they were added
    d->tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    d->tree->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    d->delegate = new GridDelegate(d->tree);
    d->tree->setItemDelegate(d->delegate);
    // Connected after the view's own slot: the editor is already released here.
    connect(d->delegate, &QAbstractItemDelegate::closeEditor, this, [this] { d->committed(); });
    // One click on an item starts its edit; a list opens straight away.
    connect(d->tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* it, int) {
        if (!it || !it->data(0, RoleTag).isValid())
            return;
        if (auto* cb = qobject_cast<QComboBox*>(editItem(it->data(0, RoleTag).toInt())))
            cb->showPopup();
    });
    lay->addWidget(d->tree);
}

PropertyGrid::~PropertyGrid() { delete d; }

bool PropertyGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == d->tree->viewport() && event->type() == QEvent::Resize)
        d->fitNameColumn();
    return QWidget::eventFilter(watched, event);
}

void PropertyGrid::ResetProperty(const Document* doc)
{
    d->delegate->pending = {};
    d->clear();
    if (!doc)
        return;
    const Label& label = doc->label();
    const Tables& t = label.tables();
    const int sel = label.m_iSelected;
    const Units units;

    if (sel < 0 || sel >= label.fieldCount()) {
        d->SetLabelProperty(t);
        const float h = float(label.m_iVertRulerHeight);
        const float w = float(label.m_iHoriRulerWidth);
        d->set(PROP_FORMAT_NO, QString::number(label.m_iFormatNo));
        d->set(PROP_LABEL_HEIGHT, units.wholeMM(label.m_iVertRulerHeight));
        d->set(PROP_LABEL_HEIGHT_DOT, units.DotText(label.MMToDot(h)));
        d->set(PROP_LABEL_WIDTH, units.wholeMM(label.m_iHoriRulerWidth));
        d->set(PROP_LABEL_WIDTH_DOT, units.DotText(label.MMToDot(w)));
        const int m = label.m_iScaleModelIndex;
        d->set(PROP_SCALE_MODEL, m >= 0 && m < t.g_arrScaleModel.size() ? t.g_arrScaleModel[m].SCALE_NAME : QString());
        ExpandAllCategory(true);
        return;
    }

    const qint32 type = label.fieldType(sel);
    d->SetFieldProperty(t, type);
    // The texts of one field's items.
    auto valuesOf = [&](int f) {
        const FieldRecord& r = label.m_arrFields[f];
        QHash<int, QString> v;
        v[PROP_LOGO_SIZE] = r.strLogoSize;
        v[PROP_THICKNESS] = units.MMText(float(r.dblThickness));
        v[PROP_THICKNESS_DOT] = units.DotText(label.MMToDot(float(r.dblThickness)));
        v[PROP_IMAGE_NUMBER] = QString::number(r.iImageNumber);
        v[PROP_NUM_OF_FIGURES] = QString::number(r.iNumOfFigures);
        v[PROP_CHAR_SIZE_1] = r.strCharSize[1];
        v[PROP_X] = units.MMText(r.sngX);
        v[PROP_X_DOT] = units.DotText(label.MMToDot(r.sngX));
        v[PROP_Y] = units.MMText(r.sngY);
        v[PROP_Y_DOT] = units.DotText(label.MMToDot(r.sngY));
        v[PROP_ANGLE] = QString::number(r.rotation() * 90);
        const int ps = r.printStatus();
        v[PROP_PRINT_STATUS] = ps >= 0 && ps < t.g_varPrintStatusList.size() ? t.g_varPrintStatusList[ps]
                                                                             : QString::number(ps);
        v[PROP_HEIGHT] = units.MMText(r.sngHeight);
        v[PROP_HEIGHT_DOT] = units.DotText(label.MMToDot(r.sngHeight));
        v[PROP_WIDTH] = units.MMText(r.sngWidth);
        v[PROP_WIDTH_DOT] = units.DotText(label.MMToDot(r.sngWidth));
        return v;
    };
    // With several fields selected an item shows the value they share, or nothing.
    const QHash<int, QString> shown = valuesOf(sel);
    QList<std::pair<qint32, QHash<int, QString>>> others;   // type and texts of each other selected field
    for (int f : doc->selection())
        if (f != sel)
            others.append({label.fieldType(f), valuesOf(f)});
    for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
        bool shared = true;
        for (const auto& [otherType, values] : others)
            if (FieldHasProperty(otherType, it.key()) && values.value(it.key()) != it.value())
                shared = false;
        d->set(it.key(), shared ? it.value() : QString());
    }
    // How many characters of the field's size its width holds.
    if (d->byTag.contains(PROP_CHAR_SIZE_1) && !t.g_arrFieldFont.isEmpty()) {
        const FieldFont& cell = t.g_arrFieldFont[FontIndexByName(t, label.m_arrFields[sel].strCharSize[1])];
        const int fit = cell.Width > 0 ? label.MMToDot(label.m_arrFields[sel].sngWidth) / cell.Width : 0;
        d->addInfo(d->byTag.value(PROP_CHAR_SIZE_1)->parent(), Caption("catCharSize_Fits"), QString::number(fit));
    }

    // Item 1 offers every placed field, in character-code order.
    QStringList names;
    for (int i = 0; i < label.fieldCount() && i < t.g_arrFieldDef.size(); ++i)
        if (label.m_arrFields[i].bUsed)
            names.append(t.g_arrFieldDef[i].Name);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseSensitive) < 0;
    });
    if (auto* it = d->byTag.value(PROP_NAME))
        it->setData(1, RoleChoices, names);
    d->set(PROP_NAME, sel < t.g_arrFieldDef.size() ? t.g_arrFieldDef[sel].Name : QString());
    ExpandAllCategory(true);
}

void PropertyGrid::ExpandAllCategory(bool bExpand)
{
    for (int i = 0; i < d->tree->topLevelItemCount(); ++i)
        d->tree->topLevelItem(i)->setExpanded(bExpand);
}

QStringList PropertyGrid::categoryCaptions() const
{
    QStringList out;
    for (int i = 0; i < d->tree->topLevelItemCount(); ++i)
        out.append(d->tree->topLevelItem(i)->text(0));
    return out;
}

QList<int> PropertyGrid::categoryItemIds(int category) const
{
    QList<int> out;
    if (QTreeWidgetItem* c = d->tree->topLevelItem(category))
        for (int k = 0; k < c->childCount(); ++k)
            if (c->child(k)->data(0, RoleTag).isValid())   // not the figures shown for information
                out.append(c->child(k)->data(0, RoleTag).toInt());
    return out;
}

QList<int> PropertyGrid::itemIds() const
{
    QList<int> out;
    for (int i = 0; i < d->tree->topLevelItemCount(); ++i)
        out += categoryItemIds(i);
    return out;
}

QString PropertyGrid::itemCaption(int iTag) const
{
    auto* it = d->byTag.value(iTag);
    return it ? it->text(0) : QString();
}

QString PropertyGrid::itemValue(int iTag) const
{
    auto* it = d->byTag.value(iTag);
    return it ? it->text(1) : QString();
}

QStringList PropertyGrid::itemChoices(int iTag) const
{
    auto* it = d->byTag.value(iTag);
    return it ? it->data(1, RoleChoices).toStringList() : QStringList();
}

bool PropertyGrid::isDropDown(int iTag) const
{
    auto* it = d->byTag.value(iTag);
    return it && it->data(1, RoleDropDown).toBool();
}

bool PropertyGrid::isNumberItem(int iTag) const
{
    auto* it = d->byTag.value(iTag);
    return it && it->data(1, RoleNumber).toBool();
}

bool PropertyGrid::hasItem(int iTag) const { return d->byTag.contains(iTag); }

bool PropertyGrid::SetItemValue(int iTag, const QString& value)
{
    if (!d->byTag.contains(iTag))
        return false;
    d->set(iTag, value);
    return true;
}

QWidget* PropertyGrid::editItem(int iTag)
{
    auto* it = d->byTag.value(iTag);
    if (!it)
        return nullptr;
    d->tree->scrollToItem(it);
    d->tree->setCurrentItem(it, 1);
    d->tree->editItem(it, 1);
    QWidget* ed = d->tree->indexWidget(d->tree->indexFromItem(it, 1));
    if (ed)
        ed->setFocus();
    return ed;
}

void PropertyGrid::ShowRefusal(const QString& message)
{
    QMessageBox box(QMessageBox::Warning, window()->windowTitle(), message, QMessageBox::Ok, this);
    box.exec();
}

QTreeWidget* PropertyGrid::tree() const { return d->tree; }

} // namespace quillon
