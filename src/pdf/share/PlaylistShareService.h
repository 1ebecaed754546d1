#pragma once

#include "core/common/BuildProgress.h"
#include "core/library/BookmarkEntry.h"
#include "core/playlist/PlaylistItem.h"

#include <QList>
#include <QString>

#include <optional>

// The exports of playlists and single titles that show pages: a PDF of the titles' pages (copied as
// PDF content, never rasterised) and folders of JPEG page images. Each builder writes into the private
// export folder (ExportNaming) and returns the path of what it made, or nothing when it made nothing;
// nothing is shown or logged. The text exports are PlaylistTextExport.
//
// Builders run on any thread, one call at a time per output name. With a BuildProgress they report
// (pages done, pages planned) as they go and stop when it is cancelled, leaving no output behind and
// returning nothing.
namespace PlaylistShareService {

// The page images: pages fitted into 612 x 792 points, at this many pixels a point.
constexpr double jpegPixelsPerPoint = 2.0;
constexpr int jpegQuality = 90;

// The pages of every title in playlist order, into "<name>_<date>.pdf". With the header, each title's
// first page carries Spotify and YouTube icons linking to a web search for the title. The outline has
// one entry per title that gave pages.
std::optional<QString> buildPlaylistPDF(const QList<PlaylistItem> &items, const QString &playlistName,
                                        bool includeStreamingLinksInHeader,
                                        BuildProgress *progress = nullptr);

// One JPEG a page into the folder "<name>_<date>_images", numbered page_0001.jpg on across titles.
std::optional<QString> buildPlaylistJPEGs(const QList<PlaylistItem> &items, const QString &playlistName,
                                          BuildProgress *progress = nullptr);

// The title's pages with the annotations the viewer keeps for its book drawn over them, into
// "<suggestedBase>.pdf", with a one-entry outline naming the title.
std::optional<QString> buildSingleBookmarkPDF(const BookmarkEntry &entry, const QString &suggestedBase,
                                              BuildProgress *progress = nullptr);

// The title's pages as JPEGs into the folder "<suggestedBase>_images".
std::optional<QString> buildSingleBookmarkJPEGs(const BookmarkEntry &entry, const QString &suggestedBase,
                                                BuildProgress *progress = nullptr);

// Where the annotations of the PDF at pdfPath are kept; nothing without a data folder. Creates nothing.
std::optional<QString> editCacheURL(const QString &pdfPath);

} // namespace PlaylistShareService
