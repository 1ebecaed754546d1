#include "core/bookmarks/SongRecordCodec.h"

#include "core/text/TextUtils.h"

namespace SongRecordCodec {

void encode(json::JsonWriter &w, const SongRecord &r)
{
    w.beginObject();
    w.key("pdfFileName");
    w.value(r.pdfFileName);
    w.key("pdfFilePath");
    w.value(r.pdfFilePath);
    w.key("pageNumber");
    w.value(r.pageNumber);
    w.key("title");
    w.value(r.title);
    w.key("level");
    w.value(r.level);
    w.key("pageSpan");
    w.value(r.pageSpan);
    w.key("totalPages");
    w.value(r.totalPages);
    w.key("genre");
    w.value(r.genre);
    w.key("style");
    w.value(r.style);
    if (r.firstReleaseYear) {
        w.key("firstReleaseYear");
        w.value(*r.firstReleaseYear);
    }
    w.key("composer");
    w.value(r.composer);
    w.key("tempo");
    w.value(r.tempo);
    if (const auto rating = TextUtils::finiteRating(r.rating)) {
        w.key("rating");
        w.value(*rating);
    }
    w.key("spotifyURL");
    w.value(r.spotifyURL);
    w.key("youtubeURL");
    w.value(r.youtubeURL);
    w.endObject();
}

void decode(json::od::value element, Required required, SongRecord &r, json::DecodeStatus &status,
            const QString &path, qsizetype index, json::TextPool &pool)
{
    json::ObjectReader in(element, status, path, index);
    in.required("pdfFileName", r.pdfFileName, pool);
    in.required("pdfFilePath", r.pdfFilePath, pool);
    in.required("pageNumber", r.pageNumber);
    in.required("title", r.title);
    if (required == Required::BookmarkFields) {
        in.required("level", r.level);
        in.required("pageSpan", r.pageSpan);
        in.required("totalPages", r.totalPages);
    } else {
        r.level = 0;
        r.pageSpan = 1;
        r.totalPages = 0;
        in.optional("level", r.level);
        in.optional("pageSpan", r.pageSpan);
        in.optional("totalPages", r.totalPages);
    }
    in.optional("genre", r.genre, pool);
    in.optional("style", r.style, pool);
    in.optional("firstReleaseYear", r.firstReleaseYear);
    in.optional("composer", r.composer, pool);
    in.optional("tempo", r.tempo, pool);
    in.optional("rating", r.rating);
    in.optional("spotifyURL", r.spotifyURL);
    in.optional("youtubeURL", r.youtubeURL);
}

} // namespace SongRecordCodec
