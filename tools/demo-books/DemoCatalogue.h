#pragma once

#include <QByteArray>

#include <string>
#include <vector>

// The invented songs of the demo songbooks: every title, composer and year here is made up, so the
// books can ship and be shared freely.
namespace DemoCatalogue {

// Bar length and beat grouping of the music drawn for a song.
enum class Meter { Common, Waltz, Jig };

struct Song {
    std::string title;
    std::string composer;
    std::string style;
    std::string tempo; // in the tempo words the metadata uses ("Ballad" ... "Fast")
    int year = 0;      // 0: no year recorded
    int pages = 1;
    Meter meter = Meter::Common;
};

struct Section {
    std::string name; // empty: the songs sit at the top of the outline
    std::string genre;
    std::vector<Song> songs;
};

struct Book {
    std::string fileName;
    std::string title;
    std::vector<Section> sections;
};

// A song with the place it takes in its book. Page 1 of every book is the cover.
struct PlacedSong {
    const Section *section = nullptr;
    const Song *song = nullptr;
    int level = 0;
    int firstPage = 0;
};

const std::vector<Book> &books();

std::vector<PlacedSong> layout(const Book &book);
int pageCount(const Book &book);

// The songs of all books in the built-in bookmark list format, each book as if it had been recorded in
// folder.
QByteArray bookmarkRecords(const std::string &folder);

// The songs of all books in the built-in title metadata format.
QByteArray metadataRecords();

} // namespace DemoCatalogue
