#include "DemoCatalogue.h"

#include "core/json/JsonWriter.h"

namespace DemoCatalogue {

namespace {

constexpr int coverPages = 1;

std::vector<Book> makeBooks()
{
    using enum Meter;
    return {
        {"Lyrafold Demo Fakebook.pdf",
         "Lyrafold Demo Fakebook",
         {
             {"Swing",
              "Jazz",
              {
                  {"Ninth Street Shuffle", "Otis Vandermeer", "Swing", "Medium-Up", 1938, 2},
                  {"Cobblestone Bounce", "Ines Calloway", "Swing", "Fast", 1941, 2},
                  {"Blue Umbrella Stomp", "Otis Vandermeer", "Swing", "Medium-Up", 1936, 1},
                  {"The Tangerine Ledger", "Henri Dalcourt", "Swing", "Medium", 1947, 3},
                  {"Walking Home from Orlen", "Marta Kellgren", "Swing", "Medium", 1952, 2},
                  {"Rainy Platform Nine", "Amos Penrith", "Swing", "Medium-Up", 1949, 2},
                  {"Last Ferry to Kestrel Bay", "Celeste Varga", "Swing", "Medium", 1955, 2},
              }},
             {"Latin",
              "Latin",
              {
                  {"Samba for Teodora", "Rafael Montaigne", "Samba", "Fast", 1962, 2},
                  {"Tidewater Bossa", "Lucia Brandt", "Bossa Nova", "Medium", 1964, 2},
                  {"Lime and Cinnamon", "Rafael Montaigne", "Bossa Nova", "Medium", 1966, 1},
                  {"Rua das Amendoeiras", "Lucia Brandt", "Bossa Nova", "Medium-Ballad", 1963, 3},
                  {"Mooring Lights at Vessa", "Jonah Ashgrove", "Bolero", "Medium-Ballad", 1968, 2},
              }},
             {"Ballads",
              "Jazz",
              {
                  {"Marguerite's Lantern", "Greta Holloway", "Ballad", "Ballad", 1944, 2},
                  {"Quiet Harbour Blues", "Amos Penrith", "Blues", "Medium-Ballad", 1951, 1},
                  {"Slow Waltz for Ilse", "Marta Kellgren", "Jazz Waltz", "Ballad", 1958, 2, Waltz},
                  {"Velvet Hour", "Greta Holloway", "Ballad", "Ballad", 1946, 3},
                  {"Moonlight over Pellham Yard", "Jonah Ashgrove", "Ballad", "Ballad", 1953, 2},
                  {"Letter to Aldous Lane", "Celeste Varga", "Ballad", "Medium-Ballad", 1957, 2},
                  {"Goodnight, Maribel", "Henri Dalcourt", "Ballad", "Ballad", 1950, 3},
              }},
         }},
        {"Evening Standards (Demo).pdf",
         "Evening Standards",
         {
             {"",
              "Jazz",
              {
                  {"Evening at the Corvina", "Beatrix Molloy", "Swing", "Medium", 1934, 3},
                  {"Streetlamp Serenade", "Theo Marchetti", "Ballad", "Ballad", 1939, 2},
                  {"Two Cups of Midnight", "Beatrix Molloy", "Swing", "Medium-Ballad", 1940, 2},
                  {"Candlewick Avenue", "Ezra Lindqvist", "Swing", "Medium-Up", 1937, 3},
                  {"After the Orchestra Leaves", "Theo Marchetti", "Ballad", "Ballad", 1948, 2},
                  {"Silver Thimble Waltz", "Nadia Ferrant", "Waltz", "Medium", 1935, 2, Waltz},
                  {"Promenade in Grey", "Ezra Lindqvist", "Swing", "Medium", 1945, 3},
                  {"Ballad of the Lamplighter's Niece", "Nadia Ferrant", "Ballad", "Ballad", 1951, 2},
                  {"Velvet Steps", "Beatrix Molloy", "Swing", "Medium-Up", 1943, 1},
                  {"Long Table at Rosalind's", "Ezra Lindqvist", "Swing", "Fast", 1956, 3},
              }},
         }},
        {"Folk Tunes Sampler (Demo).pdf",
         "Folk Tunes Sampler",
         {
             {"Reels and Jigs",
              "Folk",
              {
                  {"The Hollowell Reel", "Aileen Corrigan", "Reel", "Fast", 0, 1},
                  {"Bramble Gate Jig", "Aileen Corrigan", "Jig", "Medium-Up", 0, 2, Jig},
                  {"Crossing the Millrace", "Tomas Hearne", "Reel", "Fast", 0, 2},
              }},
             {"Airs",
              "Folk",
              {
                  {"Lament for Old Tarrow", "Tomas Hearne", "Air", "Ballad", 0, 2, Waltz},
                  {"Wren on the Hayrick", "Mairead Quill", "Air", "Medium-Ballad", 1911, 1},
                  {"The Ferrytown Lasses", "Mairead Quill", "Song", "Medium", 0, 3},
              }},
         }},
    };
}

} // namespace

const std::vector<Book> &books()
{
    static const std::vector<Book> all = makeBooks();
    return all;
}

std::vector<PlacedSong> layout(const Book &book)
{
    std::vector<PlacedSong> placed;
    int page = coverPages + 1;
    for (const Section &section : book.sections) {
        for (const Song &song : section.songs) {
            placed.push_back({&section, &song, section.name.empty() ? 0 : 1, page});
            page += song.pages;
        }
    }
    return placed;
}

int pageCount(const Book &book)
{
    int pages = coverPages;
    for (const Section &section : book.sections)
        for (const Song &song : section.songs)
            pages += song.pages;
    return pages;
}

QByteArray bookmarkRecords(const std::string &folder)
{
    json::JsonWriter writer;
    writer.beginArray();
    for (const Book &book : books()) {
        const int totalPages = pageCount(book);
        for (const PlacedSong &placed : layout(book)) {
            const Song &song = *placed.song;
            writer.beginObject();
            writer.key("PdfFileName");
            writer.value(book.fileName);
            writer.key("PdfFilePath");
            writer.value(folder + '/' + book.fileName);
            writer.key("PageNumber");
            writer.value(placed.firstPage);
            writer.key("Title");
            writer.value(song.title);
            writer.key("Level");
            writer.value(placed.level);
            writer.key("PageSpan");
            writer.value(song.pages);
            writer.key("TotalPages");
            writer.value(totalPages);
            writer.key("Genre");
            writer.value(placed.section->genre);
            writer.key("Style");
            writer.value(song.style);
            if (song.year != 0) {
                writer.key("FirstReleaseYear");
                writer.value(song.year);
            }
            writer.key("Composer");
            writer.value(song.composer);
            writer.key("Tempo");
            writer.value(song.tempo);
            writer.endObject();
        }
    }
    writer.endArray();
    return writer.take();
}

QByteArray metadataRecords()
{
    json::JsonWriter writer;
    writer.beginArray();
    for (const Book &book : books()) {
        for (const PlacedSong &placed : layout(book)) {
            const Song &song = *placed.song;
            writer.beginObject();
            writer.key("Title");
            writer.value(song.title);
            writer.key("Genres");
            writer.beginArray();
            writer.value(placed.section->genre);
            writer.endArray();
            writer.key("Styles");
            writer.beginArray();
            writer.value(song.style);
            writer.endArray();
            if (song.year != 0) {
                writer.key("FirstReleaseYear");
                writer.value(song.year);
            }
            writer.key("Composer");
            writer.value(song.composer);
            writer.key("Tempo");
            writer.value(song.tempo);
            writer.endObject();
        }
    }
    writer.endArray();
    return writer.take();
}

} // namespace DemoCatalogue
