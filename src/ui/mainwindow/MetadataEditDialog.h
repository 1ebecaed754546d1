#pragma once

#include "core/bookmarks/BookmarkEntry.h"
#include "core/bookmarks/BookmarkMetadataField.h"
#include "core/common/Result.h"

#include <QDialog>

class QLineEdit;

// "Edit metadata" for one title: genre, style, year, composer, tempo and rating, filled from the
// bookmark as stored (a rating of 4.5 shows as 4.5), with Save and Cancel.
class MetadataEditDialog : public QDialog {
    Q_OBJECT

public:
    explicit MetadataEditDialog(const BookmarkEntry &entry, QWidget *parent = nullptr);

    // The typed values, trimmed; an empty or unreadable year or rating is none. Fails for a rating that
    // is not a finite number.
    Result<MetadataValues> values() const;

private:
    QLineEdit *addRow(class QVBoxLayout *rows, const QString &label, const QString &text);

    QLineEdit *m_genre;
    QLineEdit *m_style;
    QLineEdit *m_year;
    QLineEdit *m_composer;
    QLineEdit *m_tempo;
    QLineEdit *m_rating;
};
