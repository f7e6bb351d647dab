#include "listctrl.h"

#include <QKeyEvent>
#include <QPainter>

namespace pelmora {

void CImageList::Create(QSize imageSize, int count)
{
    m_size = imageSize;
    QPixmap blank(imageSize);
    blank.fill(Qt::black);
    m_images.assign(size_t(std::max(count, 0)), blank);
}

bool CImageList::Replace(int i, const QImage& picture)
{
    if (i < 0 || i >= GetImageCount() || picture.isNull())
        return false;
    QPixmap slot(m_size);
    slot.fill(Qt::black);
    QPainter p(&slot);
    p.drawImage(0, 0, picture, 0, 0, m_size.width(), m_size.height());
    p.end();
    m_images[size_t(i)] = slot;
    return true;
}

QPixmap CImageList::Image(int i) const
{
    if (i < 0 || i >= GetImageCount())
        return {};
    return m_images[size_t(i)];
}

CListCtrl::CListCtrl(QWidget* parent) : QListWidget(parent)
{
    setViewMode(QListView::IconMode);
    setMovement(QListView::Free);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(false);
    setResizeMode(QListView::Fixed);
    setWrapping(true);
    setSpacing(4);
    setUniformItemSizes(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::StyledPanel);
}

void CListCtrl::SetImageList(CImageList* images)
{
    m_images = images;
    if (images)
        setIconSize(images->ImageSize());
}

int CListCtrl::InsertItem(int index, const QString& text, int image)
{
    index = std::clamp(index, 0, count());
    auto* item = new QListWidgetItem(text);
    item->setData(kImageRole, image);
    item->setData(kDataRole, qintptr(0));
    if (m_images)
        item->setIcon(QIcon(m_images->Image(image)));
    insertItem(index, item);
    return index;
}

bool CListCtrl::SetItemData(int index, qintptr tag)
{
    QListWidgetItem* it = item(index);
    if (!it)
        return false;
    it->setData(kDataRole, tag);
    return true;
}

qintptr CListCtrl::GetItemData(int index) const
{
    const QListWidgetItem* it = item(index);
    return it ? it->data(kDataRole).value<qintptr>() : 0;
}

QString CListCtrl::GetItemText(int index) const
{
    const QListWidgetItem* it = item(index);
    return it ? it->text() : QString();
}

void CListCtrl::SetItemFile(int index, const QString& path)
{
    if (QListWidgetItem* it = item(index))
        it->setData(kFileRole, path);
}

QString CListCtrl::GetItemFile(int index) const
{
    const QListWidgetItem* it = item(index);
    return it ? it->data(kFileRole).toString() : QString();
}

QPoint CListCtrl::GetItemPosition(int index) const
{
    const QListWidgetItem* it = item(index);
    if (!it)
        return {};
    // Positions are only known once the view has laid its items out.
    const_cast<CListCtrl*>(this)->executeDelayedItemsLayout();
    return rectForIndex(indexFromItem(it)).topLeft();
}

bool CListCtrl::SetItemPosition(int index, QPoint position)
{
    QListWidgetItem* it = item(index);
    if (!it)
        return false;
    it->setData(kPositionRole, position);
    executeDelayedItemsLayout();
    setPositionForIndex(position, indexFromItem(it));
    return true;
}

void CListCtrl::doItemsLayout()
{
    // The view lays every item out afresh whenever items come or go; items
    // the program has placed keep their place, as in a list view without
    // automatic arrangement, and new ones take the next free place.
    QListWidget::doItemsLayout();
    for (int row = 0; row < count(); ++row) {
        const QVariant placed = item(row)->data(kPositionRole);
        if (placed.isValid())
            setPositionForIndex(placed.toPoint(), indexFromItem(item(row)));
    }
}

void CListCtrl::DeleteAllItems() { clear(); }

int CListCtrl::GetNextSelectedItem() const
{
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected())
            return i;
    return -1;
}

void CListCtrl::SetBkImageTiled(const QPixmap& tile)
{
    QPalette pal = viewport()->palette();
    pal.setBrush(QPalette::Base, QBrush(tile));
    viewport()->setPalette(pal);
    viewport()->setAutoFillBackground(true);
    m_hasBkImage = !tile.isNull();
}

void CListCtrl::ClearBkImage()
{
    viewport()->setPalette(QPalette());
    m_hasBkImage = false;
}

void CListCtrl::SetRedraw(bool on)
{
    setUpdatesEnabled(on);
    if (on)
        viewport()->update();
}

void CListCtrl::RefreshImage(int i)
{
    if (!m_images)
        return;
    for (int row = 0; row < count(); ++row)
        if (item(row)->data(kImageRole).toInt() == i)
            item(row)->setIcon(QIcon(m_images->Image(i)));
}

void CListCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListWidget::mouseDoubleClickEvent(event);
    Q_EMIT doubleClicked();
}

void CListCtrl::keyPressEvent(QKeyEvent* event)
{
    Q_EMIT keyDown(event->key());
    QListWidget::keyPressEvent(event);
}

} // namespace pelmora
