#pragma once

#include <QAbstractTableModel>

#include <functional>

class LibraryShownRows;

// The library table's rows: the first of the shown rows of the library (at most
// LibraryShownRows::maxDisplayRows), in the twelve columns of LibraryColumns. Headers show the
// identifiers in the interface language; columnIdentifierRole gives the English identifier.
class BookmarkTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int columnIdentifierRole = Qt::UserRole + 1;

    // Whether column edit mode has opened the editable columns for editing now.
    using EditRule = std::function<bool()>;
    // A cell edit ended with the typed text; the owner decides what becomes of it.
    using CellEdited = std::function<void(int row, const QString &column, const QString &text)>;

    explicit BookmarkTableModel(const LibraryShownRows *rows, QObject *parent = nullptr);

    void setEditRule(EditRule rule) { m_editRule = std::move(rule); }
    void setCellEdited(CellEdited edited) { m_cellEdited = std::move(edited); }

    static QString columnIdentifier(int column);
    // -1 for an unknown identifier.
    static int columnOf(const QString &identifier);

    // Whether the cell opens for editing: an editable column, edit mode on, and not slot 0.
    bool isCellEditable(const QModelIndex &index) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Hands the text to the edit callback; the rows themselves change only through the session.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // The shown rows changed: every row is read again and the selection is gone.
    void reload();
    // As reload(), unless the same library positions are shown in the same order: then their cells
    // are read again in place, and the selection and an open cell field stay.
    void refresh();
    // The interface language changed.
    void retranslateHeaders();

private:
    const LibraryShownRows *m_rows;
    EditRule m_editRule;
    CellEdited m_cellEdited;
    // The library positions the rows stood for at the last reload.
    QList<qsizetype> m_shownPositions;
};
