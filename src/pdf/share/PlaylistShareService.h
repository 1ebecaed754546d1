#pragma once

#include "core/annotations/PdfEditCacheFile.h"
#include "core/bookmarks/BookmarkEntry.h"
#include "core/common/BuildProgress.h"
#include "core/playlist/PlaylistItem.h"
#include "core/share/ExportResult.h"

#include <QList>
#include <QString>

#include <optional>

// The exports of playlists and single titles that show pages: a PDF of the titles' pages (copied as
// PDF content, never rasterised) and folders of JPEG page images. Each builder writes into the private
// export folder (ExportNaming) and returns the path of what it made, or why it made nothing (a book
// that cannot be read, nothing to export, a failed write, cancelled); nothing is shown or logged. A
// title whose book cannot be read is left out of a playlist export; only when no title is left does
// the export fail. The text exports are PlaylistTextExport.
//
// Builders run on any thread, one call at a time per output name. With a BuildProgress they report
// (pages done, pages planned) as they go and stop when it is cancelled, leaving no output behind. The
// playlist builders also report (titles done, titles with pages).
namespace PlaylistShareService {

// The page images: pages fitted into 612 x 792 points, at this many pixels a point.
constexpr double jpegPixelsPerPoint = 2.0;
constexpr int jpegQuality = 90;

// The pages of every title in playlist order, into "<name>_<date>.pdf". With the header, each title's
// first page carries Spotify and YouTube icons linking to a web search for the title. The outline has
// one entry per title that gave pages.
ExportResult buildPlaylistPDF(const QList<PlaylistItem> &items, const QString &playlistName,
                              bool includeStreamingLinksInHeader, BuildProgress *progress = nullptr);

// One JPEG a page into the folder "<name>_<date>_images", numbered page_0001.jpg on across titles.
ExportResult buildPlaylistJPEGs(const QList<PlaylistItem> &items, const QString &playlistName,
                                BuildProgress *progress = nullptr);

// The title's pages with the annotations of its book drawn over them, into "<suggestedBase>.pdf", with
// a one-entry outline naming the title. The annotations are those given (what a viewer showing the
// book holds), else those kept in the book's annotation file.
ExportResult buildSingleBookmarkPDF(const BookmarkEntry &entry, const QString &suggestedBase,
                                    const std::optional<PdfEditCacheFile> &annotations,
                                    BuildProgress *progress = nullptr);

// The title's pages as JPEGs into the folder "<suggestedBase>_images", with the annotations drawn
// where the PDF share draws them (the same annotations).
ExportResult buildSingleBookmarkJPEGs(const BookmarkEntry &entry, const QString &suggestedBase,
                                      const std::optional<PdfEditCacheFile> &annotations,
                                      BuildProgress *progress = nullptr);

} // namespace PlaylistShareService
