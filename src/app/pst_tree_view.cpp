#include "app/pst_tree_view.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include "app/app_images.h"
#include "app/model/main_window_model.h"
#include "app/model/tree_selection.h"
#include "encoding/code_page_table.h"
#include "session/pst_session.h"

namespace mailferry {

namespace {

constexpr int kSessionRowHeight = 36;
constexpr int kFolderRowHeight = 22;
constexpr QSize kSessionIconSize(24, 24);
constexpr QSize kFolderIconSize(18, 18);

QString Text(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

const SessionNodeData* SessionOf(const TreeNode* node) {
    return node ? dynamic_cast<const SessionNodeData*>(node->nodeData()) : nullptr;
}

bool IsAnsiSession(const TreeNode* node) {
    const SessionNodeData* session = SessionOf(node);
    return session && !session->session().isUnicodePST();
}

QColor CountColour() {
    return QColor::fromRgbF(0.078125f, 0.24609375f, 0.46875f);
}

QString CountText(qint64 count) {
    return QStringLiteral(" [%1]").arg(count);
}

}  // namespace

// ---- PSTTreeItemModel

PSTTreeItemModel::PSTTreeItemModel(MainWindowModel& model, QObject* parent)
    : QAbstractItemModel(parent), _model(model) {
    _model.setTreeResetHandlers([this] { beginResetModel(); }, [this] { endResetModel(); });
}

PSTTreeItemModel::~PSTTreeItemModel() {
    _model.setTreeResetHandlers({}, {});
}

TreeNode* PSTTreeItemModel::nodeAt(const QModelIndex& index) const {
    if (!index.isValid()) return &_model.root();
    return static_cast<TreeNode*>(index.internalPointer());
}

QModelIndex PSTTreeItemModel::indexOf(const TreeNode& node) const {
    const TreeNode* parent = node.nodeParent();
    if (!parent) return {};
    const auto position = parent->livePositionOf(node);
    if (!position) return {};
    return createIndex(static_cast<int>(*position), 0, const_cast<TreeNode*>(&node));
}

void PSTTreeItemModel::refreshTicks() {
    RefreshRows({});
}

void PSTTreeItemModel::RefreshRows(const QModelIndex& parent) {
    const int rows = rowCount(parent);
    if (rows == 0) return;
    emit dataChanged(index(0, 0, parent), index(rows - 1, 0, parent), {Qt::CheckStateRole});
    for (int row = 0; row < rows; ++row) RefreshRows(index(row, 0, parent));
}

QModelIndex PSTTreeItemModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0) return {};
    TreeNode* child = nodeAt(parent)->liveChildAt(static_cast<std::size_t>(row));
    return child ? createIndex(row, 0, child) : QModelIndex();
}

QModelIndex PSTTreeItemModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    const TreeNode* parent = nodeAt(child)->nodeParent();
    return parent ? indexOf(*parent) : QModelIndex();
}

int PSTTreeItemModel::rowCount(const QModelIndex& parent) const {
    return static_cast<int>(nodeAt(parent)->numberOfChildren());
}

int PSTTreeItemModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant PSTTreeItemModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const TreeNode& node = *nodeAt(index);
    const ITreeNodeData& data = *node.nodeData();
    const bool session = data.treeNodeContainerClass() == kSessionContainer;
    switch (role) {
        case Qt::DisplayRole:
            return data.contentCount() >= 0 ? Text(data.title()) + CountText(data.contentCount()) : Text(data.title());
        case kTitleRole:
            return Text(data.title());
        case kCountRole:
            return QVariant::fromValue<qint64>(data.contentCount());
        case kContainerClassRole:
            return data.treeNodeContainerClass();
        case Qt::DecorationRole:
            return AppIcon(IconNameForContainerClass(data.treeNodeContainerClass()));
        case Qt::ToolTipRole:
            return Text(data.toolTip(node.numberOfChildren() > 0));
        case Qt::FontRole: {
            if (!session) return {};
            QFont bold = QApplication::font();
            bold.setBold(true);
            return bold;
        }
        case Qt::CheckStateRole: {
            // A file's box is its close box: ticked while the file is open.
            if (session) return Qt::Checked;
            const std::int32_t state = _model.boxState(node);
            return state == kSelected ? Qt::Checked : state == kNotSelected ? Qt::Unchecked : Qt::PartiallyChecked;
        }
        default:
            return {};
    }
}

bool PSTTreeItemModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || (role != Qt::CheckStateRole && role != kOnlyThisFolderRole)) return false;
    TreeNode& node = *nodeAt(index);
    if (SessionOf(&node)) {
        if (value.toInt() == Qt::Unchecked) CloseLater(node);
        return true;
    }
    _model.clickFolderBox(node, role == kOnlyThisFolderRole);
    refreshTicks();
    return true;
}

Qt::ItemFlags PSTTreeItemModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

// The view is still inside the click that asked for it; the row goes once the click is over.
void PSTTreeItemModel::CloseLater(const TreeNode& sessionNode) {
    QMetaObject::invokeMethod(
        this,
        [this, node = &sessionNode] {
            for (const auto& row : _model.root().allchildren())
                if (row.get() == node) return _model.closePSTFile(*node);
        },
        Qt::QueuedConnection);
}

// ---- PSTTreeDelegate

void PSTTreeDelegate::PrepareOption(QStyleOptionViewItem& option, const QModelIndex& index) const {
    initStyleOption(&option, index);
    const bool session = index.data(PSTTreeItemModel::kContainerClassRole).toInt() == kSessionContainer;
    option.decorationSize = session ? kSessionIconSize : kFolderIconSize;
}

void PSTTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    PrepareOption(opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const bool session = index.data(PSTTreeItemModel::kContainerClassRole).toInt() == kSessionContainer;
    const QString title = index.data(PSTTreeItemModel::kTitleRole).toString();
    const qint64 count = index.data(PSTTreeItemModel::kCountRole).toLongLong();

    // The text is drawn here, in two runs; the style draws the rest and says where the text goes.
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    opt.text.clear();
    if (session) opt.checkState = Qt::Unchecked;  // an empty box, with the close cross drawn into it below
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    painter->save();
    const bool selected = opt.state & QStyle::State_Selected;
    const QColor textColour = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    if (session) {
        const QRect box =
            style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, widget).adjusted(4, 4, -4, -4);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(textColour, 1.6, Qt::SolidLine, Qt::RoundCap));
        painter->drawLine(box.topLeft(), box.bottomRight() + QPoint(1, 1));
        painter->drawLine(box.topRight() + QPoint(1, 0), box.bottomLeft() + QPoint(0, 1));
    }
    const QRect rect = textRect.adjusted(2, 0, -2, 0);
    QFont countFont = opt.font;
    countFont.setBold(true);
    const QString countText = count >= 0 ? CountText(count) : QString();
    const int countWidth = QFontMetrics(countFont).horizontalAdvance(countText);
    const QFontMetrics titleMetrics(opt.font);
    const QString shownTitle = titleMetrics.elidedText(title, Qt::ElideRight, std::max(0, rect.width() - countWidth));
    painter->setFont(opt.font);
    painter->setPen(textColour);
    painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, shownTitle);
    if (!countText.isEmpty()) {
        QRect countRect = rect;
        countRect.setLeft(rect.left() + titleMetrics.horizontalAdvance(shownTitle));
        painter->setFont(countFont);
        painter->setPen(selected ? textColour : CountColour());
        painter->drawText(countRect, Qt::AlignLeft | Qt::AlignVCenter, countText);
    }
    painter->restore();
}

QSize PSTTreeDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    PrepareOption(opt, index);
    // Room for the count in bold.
    opt.font.setBold(true);
    opt.fontMetrics = QFontMetrics(opt.font);
    QSize size = QStyledItemDelegate::sizeHint(opt, index);
    const bool session = index.data(PSTTreeItemModel::kContainerClassRole).toInt() == kSessionContainer;
    size.setHeight(session ? kSessionRowHeight : kFolderRowHeight);
    return size;
}

bool PSTTreeDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) {
    // Alt + click on a folder's box changes that folder alone.
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        QStyleOptionViewItem opt = option;
        PrepareOption(opt, index);
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        const QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, widget);
        if ((mouse->modifiers() & Qt::AltModifier) && mouse->button() == Qt::LeftButton &&
            box.contains(mouse->position().toPoint()) &&
            index.data(PSTTreeItemModel::kContainerClassRole).toInt() != kSessionContainer)
            return model->setData(index, {}, PSTTreeItemModel::kOnlyThisFolderRole);
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

// ---- PSTTreeView

PSTTreeView::PSTTreeView(MainWindowModel& model, PSTTreeItemModel& itemModel, QWidget* parent)
    : QTreeView(parent), _model(model), _itemModel(itemModel) {
    setModel(&itemModel);
    setItemDelegate(new PSTTreeDelegate(this));
    setHeaderHidden(true);
    setUniformRowHeights(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&itemModel, &QAbstractItemModel::modelAboutToBeReset, this, &PSTTreeView::rememberExpandedRows);
    connect(&itemModel, &QAbstractItemModel::modelReset, this, &PSTTreeView::restoreExpandedRows);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        showContextMenuForRow(indexAt(position), viewport()->mapToGlobal(position));
    });

    // Built once: a close item and the encodings ICU can read, in the table's order.
    _contextMenu = std::make_unique<QMenu>();
    QAction* close = _contextMenu->addAction(tr("Close"));
    connect(close, &QAction::triggered, this, [this] {
        if (const TreeNode* row = TakeMenuRow()) _model.closePSTFile(*row);
    });
    _encodingMenu = _contextMenu->addMenu(tr("Text Encoding"));
    for (const TextEncodingItem& encoding : text_encodings()) {
        if (!encoding.available) continue;
        QAction* item = _encodingMenu->addAction(QString::fromUtf8(encoding.displayName));
        item->setData(encoding.codePage);
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, codePage = encoding.codePage] { ChooseEncoding(codePage); });
    }
    connect(_contextMenu.get(), &QMenu::aboutToHide, this, [this] {
        for (QAction* item : _encodingMenu->actions()) item->setChecked(false);
    });
}

PSTTreeView::~PSTTreeView() = default;

void PSTTreeView::showContextMenuForRow(const QModelIndex& index, const QPoint& globalPosition) {
    const TreeNode* row = index.isValid() ? _itemModel.nodeAt(index) : nullptr;
    if (!IsAnsiSession(row)) return;
    _menuRow = row;
    const std::int32_t current = SessionOf(row)->session().pstDefaultCodePage();
    for (QAction* item : _encodingMenu->actions()) item->setChecked(item->data().toInt() == current);
    _contextMenu->popup(globalPosition);
}

const TreeNode* PSTTreeView::TakeMenuRow() {
    const TreeNode* row = std::exchange(_menuRow, nullptr);
    for (const auto& open : _model.root().allchildren())
        if (open.get() == row) return row;
    return nullptr;
}

void PSTTreeView::ChooseEncoding(int codePage) {
    if (const TreeNode* row = TakeMenuRow()) _model.changeTextEncoding(*row, codePage);
}

void PSTTreeView::rememberExpandedRows() {
    _expanded.clear();
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int row = 0; row < _itemModel.rowCount(parent); ++row) {
            const QModelIndex index = _itemModel.index(row, 0, parent);
            if (!isExpanded(index)) continue;
            _expanded.insert(_itemModel.nodeAt(index));
            walk(index);
        }
    };
    walk({});
}

void PSTTreeView::restoreExpandedRows() {
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int row = 0; row < _itemModel.rowCount(parent); ++row) {
            const QModelIndex index = _itemModel.index(row, 0, parent);
            if (!_expanded.contains(_itemModel.nodeAt(index))) continue;
            expand(index);
            walk(index);
        }
    };
    walk({});
}

QStringList PSTTreeView::DroppedPSTFiles(const QMimeData* mimeData) const {
    QStringList paths;
    if (!mimeData || !_model.allowPSTDrop()) return paths;
    for (const QUrl& url : mimeData->urls()) {
        const QString path = url.toLocalFile();
        if (path.endsWith(QStringLiteral(".pst"), Qt::CaseSensitive)) paths.push_back(path);
    }
    return paths;
}

void PSTTreeView::dragEnterEvent(QDragEnterEvent* event) {
    if (DroppedPSTFiles(event->mimeData()).isEmpty()) return event->ignore();
    event->acceptProposedAction();
}

void PSTTreeView::dragMoveEvent(QDragMoveEvent* event) {
    if (DroppedPSTFiles(event->mimeData()).isEmpty()) return event->ignore();
    event->acceptProposedAction();
}

void PSTTreeView::dropEvent(QDropEvent* event) {
    const QStringList paths = DroppedPSTFiles(event->mimeData());
    if (paths.isEmpty()) return event->ignore();
    event->acceptProposedAction();
    emit filesDropped(paths);
}

void PSTTreeView::mousePressEvent(QMouseEvent* event) {
    // Ctrl + click is the one-button mouse's right click, as the row's tooltip says.
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier)) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (IsAnsiSession(index.isValid() ? _itemModel.nodeAt(index) : nullptr)) {
            showContextMenuForRow(index, event->globalPosition().toPoint());
            return;
        }
    }
    QTreeView::mousePressEvent(event);
}

}  // namespace mailferry

namespace mailferry {

void PSTTreeView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (_itemModel.rowCount() > 0) return;
    // An empty list says how to fill it.
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(viewport()->rect().adjusted(24, 24, -24, -24), Qt::AlignCenter | Qt::TextWordWrap,
                     tr("Add PST files with \u201cAdd PST\u201d (Ctrl+O), or drop them here."));
}

}  // namespace mailferry
