#pragma once

#include <QString>

// What an export builder made: the path of its file or folder, or why it made none. The window that
// started the export tells the user the reason (message()).
struct ExportResult {
    enum class Failure {
        none,
        bookMissing,     // the books of the titles could not be read
        nothingToExport, // no titles, or none with a page in its book
        writeFailed,     // the export folder or the file could not be written
        cancelled,       // the user stopped it
    };

    QString path;
    Failure failure = Failure::none;

    ExportResult() = default;
    static ExportResult made(const QString &path) { return ExportResult(path, Failure::none, {}); }
    // detail: the book that could not be read, or why the write failed; message() tells it.
    static ExportResult failed(Failure failure, const QString &detail = {})
    {
        return ExportResult({}, failure, detail);
    }

    explicit operator bool() const { return failure == Failure::none; }

    // One line for an alert or the status line; empty when the export was made.
    QString message() const;

private:
    ExportResult(const QString &path, Failure failure, const QString &detail)
        : path(path), failure(failure), m_detail(detail)
    {
    }

    QString m_detail;
};
