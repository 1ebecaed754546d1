#pragma once

#include "core/common/Result.h"
#include "core/playlist/Playlist.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The playlist file (".lyf") that carries playlists from one installation to another: a JSON object
// with a marker, a version, the export time and the playlists. Its files come from other people, so
// the reader takes what it can from each item, but refuses a file that is not a playlist bundle.
// Safe on any thread.
namespace LyfPlaylistCodec {

// The reader's refusals, in the order in which it checks; the values are the codes of the
// LyrafoldError that decodeBundle() gives.
enum class CodecError { invalidRoot = 1, missingMagic, badVersion, missingPlaylists, invalidPlaylist };

// Refusals that are not the codec's own.
enum class ReadError { notJson = 101, tooLarge, unreadable, tooMany };

QString errorDescription(CodecError error);

// Larger files are refused before they are parsed: no playlist comes near this size.
constexpr qsizetype maxFileSize = 16 * 1024 * 1024;

// A file with more playlists or titles than these is refused before any item is read. A set list, or
// all of a musician's playlists shared at once, stays far below them; without them a file of a few
// megabytes of empty items would become a playlists file of a gigabyte that every start reads.
constexpr qsizetype maxPlaylists = 1000;
constexpr qsizetype maxItemsPerPlaylist = 10000;
constexpr qsizetype maxItems = 50000;

// The whole file for one playlist: indented JSON, one key per line. Empty when it cannot be encoded.
QByteArray encodeBundle(const QString &playlistName, const QList<PlaylistItem> &items,
                        const QDateTime &exportedAt);

// The playlists of a file, in file order, or the first refusal: a CodecError, ReadError::notJson
// with the parser's reason, ReadError::tooLarge, or ReadError::tooMany (more playlists or titles than
// the bounds above). The message names the file by fileName ("This file" or "This playlist file" when
// it is empty); for a CodecError or notJson it says the file is damaged or no playlist file, followed
// by errorDescription() or the parser's reason. Nothing partial is returned.
//
// Items never fail: a missing or mistyped key takes its default. A path that is not absolute counts
// as missing (the title is found again through its book), and playlist names and titles are folded
// as every title is (TextUtils::foldedTitle()).
Result<QList<Playlist>> decodeBundle(const QByteArray &data, const QString &fileName = QString());

// Reads and decodes the file at path; a file that cannot be read, or is too large, is refused without
// being read whole.
Result<QList<Playlist>> readBundleFile(const QString &path);

} // namespace LyfPlaylistCodec
