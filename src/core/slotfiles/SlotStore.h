#pragma once

#include "core/bookmarks/BookmarkCache.h"
#include "core/bookmarks/LibraryRows.h"
#include "core/storage/StateFile.h"

#include <QHash>
#include <QList>
#include <QMap>

#include <optional>

// The active slot, the user's names for the slots and how many bookmarks each slot file held when it
// was last written ("slots_meta.json"). A count is a hint for questions asked before a slot is read:
// the rows of the file win.
struct SlotMeta {
    qint64 activeSlot = 0;
    QMap<qint64, QString> slotNames;
    QMap<qint64, qint64> slotCounts = {};

    friend bool operator==(const SlotMeta &, const SlotMeta &) = default;
};

// The six bookmark slots on disk. Slot 0 holds the built-in list, slots 1 to 5 the user's own; which
// slots may be changed is the callers' rule. Nothing is kept in memory: every call reads or writes the
// files. Writers return whether the file was written.
namespace SlotStore {

inline constexpr int slotCount = 6;
inline const QString customSinglesBookName = QStringLiteral("Custom Singles (Custom).pdf");

QString rootPath();
QString slotFilePath(qint64 slot);
QString metaFilePath();

// Nothing when the metadata file is missing or undecodable. While its last write failed, what that
// write was to leave there.
std::optional<SlotMeta> loadMeta();
bool saveMeta(const SlotMeta &meta);
// The bytes saveMeta() writes, and their reading (strict, as for every state file).
QByteArray encodeMeta(const SlotMeta &meta);
Result<SlotMeta> decodeMeta(const QByteArray &bytes);
// The stored active slot clamped to 0-5; 0 without a readable metadata file.
qint64 activeSlot();
qint64 clampSlot(qint64 slot);

QString builtInSlotName(qint64 slot);
QString slotName(qint64 slot);
// A blank name, or the built-in "Slot N", removes the stored name. Slot 0 cannot be renamed.
bool setSlotName(qint64 slot, const QString &name);

// The slot file as stored; nothing when missing, unreadable or undecodable.
std::optional<BookmarkCache> loadSlotFile(qint64 slot);
// The slot's bookmarks with custom singles grouped under one book; empty when the file is unusable.
BookmarkList loadSlot(qint64 slot);
QString selectedFolder(qint64 slot);

// Both from one read of the file: what loadSlot() and selectedFolder() give, and the version of the file
// they were read from (a missing or unusable file's is that of a missing one).
struct SlotContents {
    BookmarkList bookmarks;
    QString selectedFolder;
    StateFile::FileVersion version;
};
SlotContents loadSlotContents(qint64 slot);
// The same from the bytes of a slot file (no version).
Result<SlotContents> decodeSlot(const QByteArray &bytes);
// The same with the rows read straight into the blocks the library keeps them in.
struct SlotRows {
    LibraryRows rows;
    QString selectedFolder;
    StateFile::FileVersion version;
};
SlotRows loadSlotRows(qint64 slot);

// Writes the slot file and its count in the metadata.
bool saveSlot(qint64 slot, const BookmarkList &bookmarks, const QString &selectedFolder);
// The count the metadata holds for the slot; nothing when it holds none.
std::optional<qsizetype> storedSlotCount(qint64 slot);
// The bytes saveSlot() writes, stamped with the time of the call. Safe on any thread.
std::optional<QByteArray> encodeSlot(const BookmarkList &bookmarks, const QString &selectedFolder);

// Whether the entry's PDF lies inside the import library ("PDFs" in Documents), at any depth. Never
// creates the folder.
bool isInDefaultImportLibrary(const BookmarkEntry &entry);
bool isInDefaultImportLibrary(const QString &pdfFilePath);

// Whether the entry is an imported single file, which slots store under the book name
// customSinglesBookName: its book name starts with "Custom Single". Where its PDF lies plays no part.
bool isCustomSingle(const BookmarkEntry &entry);

// The import library test of a pass over many rows: the folder is looked up once, and each path is
// placed once (a library holds many songs of few books).
class ImportLibraryTest {
public:
    ImportLibraryTest();
    bool contains(const QString &pdfFilePath);

private:
    QString m_prefix;
    QHash<QString, bool> m_known;
};

// A path as the slots compare them: composed, "~" expanded, cleaned.
QString standardizedPath(const QString &path);

} // namespace SlotStore
