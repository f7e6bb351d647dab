#pragma once
// The wizard's one list view and its image list: an icon view with single
// selection, items carrying an integer tag, free item positions and a tiled
// background, drawing its icons from a shared list of 100 image slots.
#include <QImage>
#include <QListWidget>
#include <QPixmap>
#include <vector>

namespace pelmora {

class CImageList {
public:
    // Image slots of the given size, all blank.
    void Create(QSize imageSize, int count);
    int GetImageCount() const { return int(m_images.size()); }
    QSize ImageSize() const { return m_size; }

    // Puts a picture into slot i, its top-left part when it is larger than a
    // slot. Refused (false) for a slot the list does not hold.
    bool Replace(int i, const QImage& picture);
    QPixmap Image(int i) const;

private:
    QSize m_size;
    std::vector<QPixmap> m_images;
};

class CListCtrl : public QListWidget {
    Q_OBJECT
public:
    explicit CListCtrl(QWidget* parent = nullptr);

    void SetImageList(CImageList* images);
    // Inserts an item with text and image slot at index (clamped to the end);
    // returns its index.
    int InsertItem(int index, const QString& text, int image);
    bool SetItemData(int index, qintptr tag);
    // The item's tag, 0 for an item that does not exist.
    qintptr GetItemData(int index) const;
    QString GetItemText(int index) const;
    // The file a chooser item stands for, empty for none.
    void SetItemFile(int index, const QString& path);
    QString GetItemFile(int index) const;
    QPoint GetItemPosition(int index) const;
    bool SetItemPosition(int index, QPoint position);
    void DeleteAllItems();
    // The first selected item, -1 when none.
    int GetNextSelectedItem() const;
    // A background picture tiled over the whole view, or none.
    void SetBkImageTiled(const QPixmap& tile);
    void ClearBkImage();
    bool HasBkImage() const { return m_hasBkImage; }
    // Redrawing switched off and on again, as around a full rebuild.
    void SetRedraw(bool on);
    // Tells items drawn from slot i that the slot has a new picture.
    void RefreshImage(int i);

    void doItemsLayout() override;

Q_SIGNALS:
    // Any double-click inside the view, on an item or not.
    void doubleClicked();
    // Every key pressed while the view has the focus.
    void keyDown(int key);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    static constexpr int kImageRole = Qt::UserRole + 1;
    static constexpr int kDataRole = Qt::UserRole + 2;
    static constexpr int kPositionRole = Qt::UserRole + 3; // a position set by the program
    static constexpr int kFileRole = Qt::UserRole + 4;
    CImageList* m_images = nullptr;
    bool m_hasBkImage = false;
};

} // namespace pelmora
