#pragma once

#include "core/annotations/AnnotationDocument.h"

#include <QObject>
#include <QString>

// The annotations of the book a viewer shows, bound to that book's annotation file: read when the
// book opens, written back when asked (after each change, when the viewer leaves the book or closes),
// and removed when nothing is left. Main thread only.
//
// The file is read on a worker; until it has arrived the annotations are not ready: the document is
// empty, takes no changes and nothing is written, so a file never loses what was not yet read. Writes
// and removals run in the background in the order they were asked for (StateFile), so a late write can
// never bring back what a clear removed.
//
// A file that cannot be read or decoded is moved aside before anything can write that name again; if
// it cannot be moved, nothing is written for that book while it is open.
class BookAnnotations : public QObject {
    Q_OBJECT

public:
    explicit BookAnnotations(QObject *parent = nullptr);
    // Saves what changed.
    ~BookAnnotations() override;

    AnnotationDocument &document() { return m_document; }
    const AnnotationDocument &document() const { return m_document; }

    // The book the annotations belong to; empty when none.
    const QString &bookPath() const { return m_bookPath; }
    bool isReady() const { return m_ready; }

    // Saves the annotations of the book bound so far, then binds to pdfPath and reads its file. The
    // same book again keeps what is in memory and starts a new history.
    void open(const QString &pdfPath);
    // Saves, then belongs to no book: the document empties and nothing is written until the next open.
    void close();
    // Writes the file (or removes it when no page holds anything) in the background, when the
    // annotations changed since they were read or last saved.
    void save();

Q_SIGNALS:
    // The book's file arrived (or there was none); the document holds it.
    void loaded();
    // The book's file could not be read; it now lies at asidePath (empty when it could not be moved).
    void fileSetAside(const QString &bookPath, const QString &asidePath);
    // A background write or removal of the book's file failed; it keeps what it held before.
    void saveFailed(const QString &bookPath, const QString &reason);

private:
    void markDirty();

    AnnotationDocument m_document;
    QString m_bookPath;
    quint64 m_openCount = 0;
    bool m_ready = false;
    // The book's file could not be set aside: changes are kept in memory only.
    bool m_readOnly = false;
    bool m_dirty = false;
};
