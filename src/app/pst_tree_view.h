#pragma once
// pst_tree_view.h: the outline of open PST files and their folders. PSTTreeItemModel shows the main window's tree
// (live rows only) with its boxes, icons, titles and tooltips and turns clicks on a box into the model's rules;
// PSTTreeDelegate draws a folder's count in bold colour after its name and a file's close box; PSTTreeView takes
// dropped PST files and opens the text-encoding menu of an ANSI file's row. Main thread only.

#include <QAbstractItemModel>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <functional>
#include <memory>
#include <set>

namespace mailferry {

class MainWindowModel;
class TreeNode;

class PSTTreeItemModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role {
        // A box click that changes only this folder (Alt held); the value is ignored.
        kOnlyThisFolderRole = Qt::UserRole + 1,
        kContainerClassRole,
        kTitleRole,  // the title without the count
        kCountRole,  // the folder's item count, -1 for a file's row
    };

    explicit PSTTreeItemModel(MainWindowModel& model, QObject* parent = nullptr);
    ~PSTTreeItemModel() override;

    // The node of an index (the root for an invalid one), and back.
    TreeNode* nodeAt(const QModelIndex& index) const;
    QModelIndex indexOf(const TreeNode& node) const;
    // Repaints every row: ticks fold over whole subtrees.
    void refreshTicks();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void RefreshRows(const QModelIndex& parent);
    void CloseLater(const TreeNode& sessionNode);

    MainWindowModel& _model;
};

class PSTTreeDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    void PrepareOption(QStyleOptionViewItem& option, const QModelIndex& index) const;
};

class PSTTreeView final : public QTreeView {
    Q_OBJECT
public:
    PSTTreeView(MainWindowModel& model, PSTTreeItemModel& itemModel, QWidget* parent = nullptr);
    ~PSTTreeView() override;

    // The context menu of a row, when it has one (an ANSI file's row); opens without waiting.
    void showContextMenuForRow(const QModelIndex& index, const QPoint& globalPosition);
    // Remembers which rows are open before the tree is rebuilt, and opens them again afterwards.
    void rememberExpandedRows();
    void restoreExpandedRows();

signals:
    void filesDropped(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList DroppedPSTFiles(const QMimeData* mimeData) const;
    // The row the menu was opened on, while that file is still open.
    const TreeNode* TakeMenuRow();
    void ChooseEncoding(int codePage);

    MainWindowModel& _model;
    PSTTreeItemModel& _itemModel;
    std::unique_ptr<QMenu> _contextMenu;
    QMenu* _encodingMenu = nullptr;       // owned by the context menu
    const TreeNode* _menuRow = nullptr;   // the file row the open menu belongs to
    std::set<const TreeNode*> _expanded;  // compared by address only, never followed
};

}  // namespace mailferry
