#pragma once

#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QStyledItemDelegate>

class BookmarkTableView;

// Paints the library table's cells, the Add and Share buttons of each row included (drawn, not one
// widget per row), and opens the text field of an editable cell. Rows take their tint and pointer
// look from the table's BookmarkTableRowView.
class BookmarkTableDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit BookmarkTableDelegate(BookmarkTableView *table);

    // Where a row button of the column sits in its cell; empty for the other columns.
    static QRect rowButtonRect(const QString &column, const QRect &cell);
    // The colour of a cell's text: white in a selected row, else a bright grey, brighter for titles.
    static QColor textColour(const QString &column, bool selected);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    // A field the user has typed into keeps the text: the rows shown again after a change made
    // elsewhere (a run's results, another window's edit) do not put the stored value back over it.
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;

    // The text field of the cell being edited; null while none is open.
    QWidget *openField() const { return m_openField && !m_openField->isHidden() ? m_openField : nullptr; }

Q_SIGNALS:
    // The Add or Share button of a display row was clicked.
    void rowButtonClicked(const QString &column, int row) const;
    // A cell's text field opened for editing.
    void editingBegan(int row, const QString &column) const;
    // That field is gone, whether the edit was committed, cancelled or cut short by a reload.
    void editingEnded() const;

protected:
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

private:
    void paintRowButton(QPainter *painter, const QRect &cell, const QString &column, bool selected) const;
    void paintText(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index,
                   const QString &column, bool selected) const;
    const QPixmap &buttonGlyph(const QString &column, bool selected, qreal devicePixelRatio) const;

    BookmarkTableView *m_table;
    mutable QHash<QString, QPixmap> m_glyphs;
    // The button a press went down on, so that only a release on the same one clicks it.
    QPersistentModelIndex m_pressedButton;
    // The last field made; the view hides a field it closes, and deletes it later.
    mutable QPointer<QWidget> m_openField;
};
