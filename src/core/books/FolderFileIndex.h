#pragma once

#include <QFileInfoList>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Finds a PDF book by its file name in the user's library folder, where it may sit in any subfolder.
//
// A file directly at <folder>/<fileName> wins, whatever its extension. Otherwise the folder is walked
// and the first file whose name ends in ".pdf" and equals fileName, ignoring case and under canonical
// equivalence, is the answer. Walk order, so that the same tree always gives the same book:
// breadth-first (a book nearer the top wins over a copy further down); within one folder, entries in
// code point order of their names. Links to files count as files; links to folders are followed, but
// no folder is walked twice, so a link loop ends. Folders that cannot be read are skipped.
//
// File names that hold a "/" never match: they would reach outside the folder. Only reads the file
// system; safe on any thread.
class FolderFileIndex {
public:
    // An index of nothing: every lookup fails.
    FolderFileIndex() = default;
    // Walks folder once. An empty, missing or unreadable folder gives an index of nothing.
    explicit FolderFileIndex(const QString &folder);

    // The same answer as resolvePathInFolder() gave for the folder as it was when walked.
    std::optional<QString> resolve(const QString &fileName) const;

    // The PDFs the walk found, for tests and benchmarks of the walk.
    qsizetype pdfCountForTesting() const { return m_pdfs.size(); }

    // One lookup without an index; the walk stops at the first match.
    static std::optional<QString> resolvePathInFolder(const QString &folder, const QString &fileName);

    // Lists the entries of one folder; nothing when it cannot be read. The walk reads the disk unless
    // given another (tests make folders unreadable this way, which permissions cannot do for root).
    using FolderReader = std::function<std::optional<QFileInfoList>(const QString &path)>;

    // Every file below folder whose name ends in ".pdf", at any depth, as paths inside folder in walk
    // order, so that two walks of one tree give one list; how many folders could not be read (skipped,
    // with what lies below them); and, read from the disk only, the PDFs whose paths inside folder are
    // not valid UTF-8 (old archives name files and folders in Latin-1): no path of ours can open them,
    // so they are left out, and told by name, each byte that does not decode shown as U+FFFD.
    struct PdfListing {
        QStringList paths;
        qsizetype unreadableFolders = 0;
        QStringList undecodableNames;
    };
    static PdfListing listPdfs(const QString &folder, const FolderReader &reader = {});

    // Whether two paths name one folder: links resolved, trailing separators and "." and ".." steps
    // dropped. A folder that is not there is compared by its cleaned path. An empty path names none.
    static bool sameFolder(const QString &a, const QString &b);

private:
    QString m_folder;
    QSet<QString> m_directFiles;    // names of the files at the top, as they are
    QHash<QString, QString> m_pdfs; // name key -> relative path of the first such PDF
};
