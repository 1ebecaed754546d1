#include "DemoBookWriter.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <string_view>

namespace DemoBookWriter {

namespace {

using DemoCatalogue::Book;
using DemoCatalogue::Meter;
using DemoCatalogue::PlacedSong;
using DemoCatalogue::Song;

// US Letter, the size of most fakebooks.
constexpr double pageWidth = 612.0;
constexpr double pageHeight = 792.0;
constexpr double marginLeft = 54.0;
constexpr double marginRight = pageWidth - 54.0;
constexpr double lineSpace = 7.0; // between two staff lines
constexpr double musicBottom = 735.0;

const char *const serif = "DejaVu Serif";
const char *const sans = "DejaVu Sans";

// The same title always gives the same music on every platform, which the distributions of <random>
// do not promise: FNV-1a of the title seeds a splitmix64 sequence.
class Random {
public:
    explicit Random(std::string_view seedText)
    {
        for (unsigned char c : seedText) {
            m_state ^= c;
            m_state *= 1099511628211ull;
        }
    }

    int below(int n) { return int(next() % std::uint64_t(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(int percent) { return below(100) < percent; }

private:
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }

    std::uint64_t m_state = 14695981039346656037ull;
};

// ---- chords -----------------------------------------------------------------------------------------

// Scales of the keys the songs are in, spelled for chord symbols.
const char *const keyScales[][7] = {
    {"C", "D", "E", "F", "G", "A", "B"},
    {"F", "G", "A", "B\u266D", "C", "D", "E"},
    {"B\u266D", "C", "D", "E\u266D", "F", "G", "A"},
    {"E\u266D", "F", "G", "A\u266D", "B\u266D", "C", "D"},
    {"A\u266D", "B\u266D", "C", "D\u266D", "E\u266D", "F", "G"},
    {"G", "A", "B", "C", "D", "E", "F\u266F"},
    {"D", "E", "F\u266F", "G", "A", "B", "C\u266F"},
};
constexpr int keyCount = int(std::size(keyScales));
constexpr int folkKeyCount = 2; // folk tunes keep to G and D: the last two keys above

const char *const jazzQualities[7] = {"maj7", "m7", "m7", "maj7", "7", "m7", "m7\u266D5"};
const char *const folkQualities[7] = {"", "m", "m", "", "", "m", "\u00B0"};

// Where a progression may go from each scale degree (doubled entries are likelier).
const int jazzMoves[7][4] = {{5, 1, 3, 2}, {4, 4, 4, 6}, {5, 5, 1, 1}, {4, 1, 0, 6},
                             {0, 0, 0, 5}, {1, 1, 3, 4}, {2, 2, 4, 4}};
const int folkMoves[7][4] = {{3, 4, 4, 5}, {4, 4, 4, 4}, {5, 5, 3, 3}, {0, 0, 4, 4},
                             {0, 0, 0, 5}, {3, 1, 3, 1}, {0, 0, 0, 0}};

class Harmony {
public:
    Harmony(Random &random, bool folk)
        : m_random(random), m_folk(folk),
          m_key(folk ? keyCount - folkKeyCount + random.below(folkKeyCount) : random.below(keyCount - 2))
    {
    }

    std::string next()
    {
        // One step at a time: gcc 12 with the undefined-behaviour sanitizer miscompiles the subscript
        // of a conditional array, calling below() on a null object.
        const int(&moves)[7][4] = m_folk ? folkMoves : jazzMoves;
        const int choice = m_random.below(4);
        m_degree = moves[m_degree][choice];
        return std::string(keyScales[m_key][m_degree]) + (m_folk ? folkQualities : jazzQualities)[m_degree];
    }

private:
    Random &m_random;
    bool m_folk;
    int m_key;
    int m_degree = 0;
};

// ---- text -------------------------------------------------------------------------------------------

enum class Align { Left, Centre, Right };

void text(cairo_t *cr, const char *face, double size, bool bold, bool italic, double x, double y,
          const std::string &utf8, Align align = Align::Left)
{
    cairo_select_font_face(cr, face, italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, utf8.c_str(), &extents);
    if (align == Align::Centre)
        x -= extents.x_advance / 2;
    else if (align == Align::Right)
        x -= extents.x_advance;
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, utf8.c_str());
}

// ---- staff ------------------------------------------------------------------------------------------

// Staff positions count half spaces up from the bottom line: 0 bottom line, 8 top line.
double yOf(double staffTop, int step)
{
    return staffTop + 4 * lineSpace - step * lineSpace / 2;
}

void drawStaffLines(cairo_t *cr, double top)
{
    cairo_set_line_width(cr, 0.6);
    for (int i = 0; i < 5; ++i) {
        cairo_move_to(cr, marginLeft, top + i * lineSpace);
        cairo_line_to(cr, marginRight, top + i * lineSpace);
    }
    cairo_stroke(cr);
}

// A treble-clef-like sign: a loop around the second line, a stroke through the staff and a tail.
void drawClef(cairo_t *cr, double x, double top)
{
    const double bottom = top + 4 * lineSpace;
    auto px = [&](double u) { return x + u * lineSpace; };
    auto py = [&](double v) { return bottom - v * lineSpace; };
    cairo_set_line_width(cr, 1.3);
    cairo_move_to(cr, px(0.15), py(0.6));
    cairo_curve_to(cr, px(0.95), py(0.7), px(0.95), py(1.75), px(0.1), py(1.8));
    cairo_curve_to(cr, px(-0.95), py(1.85), px(-1.05), py(0.15), px(0.0), py(-0.15));
    cairo_curve_to(cr, px(1.25), py(-0.4), px(1.45), py(1.6), px(0.6), py(2.6));
    cairo_curve_to(cr, px(0.0), py(3.35), px(-0.45), py(4.2), px(0.0), py(5.0));
    cairo_curve_to(cr, px(0.6), py(5.6), px(0.75), py(4.4), px(0.1), py(3.6));
    cairo_line_to(cr, px(0.45), py(-1.3));
    cairo_curve_to(cr, px(0.5), py(-2.0), px(-0.3), py(-2.1), px(-0.4), py(-1.55));
    cairo_stroke(cr);
    cairo_arc(cr, px(-0.25), py(-1.45), lineSpace * 0.3, 0, 2 * std::numbers::pi);
    cairo_fill(cr);
}

void drawTimeSignature(cairo_t *cr, double x, double top, Meter meter)
{
    const std::string upper = meter == Meter::Common ? "4" : meter == Meter::Waltz ? "3" : "6";
    const std::string lower = meter == Meter::Jig ? "8" : "4";
    text(cr, serif, 2.3 * lineSpace, true, false, x, top + 1.85 * lineSpace, upper, Align::Centre);
    text(cr, serif, 2.3 * lineSpace, true, false, x, top + 3.85 * lineSpace, lower, Align::Centre);
}

void drawBarLine(cairo_t *cr, double x, double top, bool final)
{
    cairo_set_line_width(cr, 0.8);
    cairo_move_to(cr, final ? x - 5 : x, top);
    cairo_line_to(cr, final ? x - 5 : x, top + 4 * lineSpace);
    cairo_stroke(cr);
    if (final) {
        cairo_rectangle(cr, x - 2.5, top, 2.5, 4 * lineSpace);
        cairo_fill(cr);
    }
}

// ---- notes ------------------------------------------------------------------------------------------

// Durations in eighths; each bar pattern fills one bar of its meter.
const std::vector<std::vector<int>> commonBars = {
    {8},       {4, 4},          {2, 2, 2, 2}, {4, 2, 2}, {2, 2, 4}, {1, 1, 2, 2, 2}, {2, 1, 1, 2, 2},
    {3, 1, 4}, {1, 1, 1, 1, 4}, {6, 2}};
const std::vector<std::vector<int>> waltzBars = {{6}, {4, 2}, {2, 2, 2}, {2, 4}, {1, 1, 2, 2}, {3, 1, 2}};
const std::vector<std::vector<int>> jigBars = {{3, 3},       {1, 1, 1, 1, 1, 1}, {2, 1, 3},
                                               {3, 1, 1, 1}, {1, 1, 1, 3},       {1, 1, 1, 2, 1}};

int barLength(Meter meter)
{
    return meter == Meter::Common ? 8 : 6;
}

int beatLength(Meter meter)
{
    return meter == Meter::Jig ? 3 : 2;
}

struct Note {
    double x = 0;
    int step = 0;
    int length = 0; // eighths
    int beat = 0;
};

void drawHead(cairo_t *cr, double x, double y, bool filled)
{
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, -0.35);
    cairo_scale(cr, 0.68 * lineSpace, 0.46 * lineSpace);
    cairo_arc(cr, 0, 0, 1, 0, 2 * std::numbers::pi);
    cairo_restore(cr);
    if (filled) {
        cairo_fill(cr);
    } else {
        cairo_set_line_width(cr, 1.2);
        cairo_stroke(cr);
    }
}

void drawLedgerLines(cairo_t *cr, double staffTop, const Note &note)
{
    cairo_set_line_width(cr, 0.6);
    for (int step = -2; step >= note.step; step -= 2) {
        cairo_move_to(cr, note.x - 1.3 * lineSpace, yOf(staffTop, step));
        cairo_line_to(cr, note.x + 1.3 * lineSpace, yOf(staffTop, step));
    }
    for (int step = 10; step <= note.step; step += 2) {
        cairo_move_to(cr, note.x - 1.3 * lineSpace, yOf(staffTop, step));
        cairo_line_to(cr, note.x + 1.3 * lineSpace, yOf(staffTop, step));
    }
    cairo_stroke(cr);
}

// Stems hang down from notes on or above the middle line and rise from the others; a beamed group
// takes the direction of its average note.
double stemX(const Note &note, bool up)
{
    return note.x + (up ? 0.62 : -0.62) * lineSpace;
}

void drawStem(cairo_t *cr, double staffTop, const Note &note, bool up, double endY)
{
    cairo_set_line_width(cr, 0.9);
    cairo_move_to(cr, stemX(note, up), yOf(staffTop, note.step));
    cairo_line_to(cr, stemX(note, up), endY);
    cairo_stroke(cr);
}

void drawFlag(cairo_t *cr, double x, double endY, bool up)
{
    const double d = up ? 1 : -1;
    cairo_set_line_width(cr, 1.4);
    cairo_move_to(cr, x, endY);
    cairo_curve_to(cr, x + 0.2 * lineSpace, endY + d * 1.2 * lineSpace, x + 1.4 * lineSpace,
                   endY + d * 1.5 * lineSpace, x + 0.9 * lineSpace, endY + d * 3.0 * lineSpace);
    cairo_stroke(cr);
}

void drawNotes(cairo_t *cr, double staffTop, const std::vector<Note> &notes)
{
    const double stemLength = 3.5 * lineSpace;
    for (std::size_t i = 0; i < notes.size();) {
        const Note &note = notes[i];
        drawLedgerLines(cr, staffTop, note);
        const bool open = note.length >= 4;
        drawHead(cr, note.x, yOf(staffTop, note.step), !open);
        if (note.length == 3 || note.length == 6) {
            const int dotStep = note.step % 2 == 0 ? note.step + 1 : note.step;
            cairo_arc(cr, note.x + 1.3 * lineSpace, yOf(staffTop, dotStep), 1.2, 0, 2 * std::numbers::pi);
            cairo_fill(cr);
        }
        if (note.length == 8) {
            ++i;
            continue;
        }
        if (note.length != 1) {
            const bool up = note.step < 4;
            drawStem(cr, staffTop, note, up, yOf(staffTop, note.step) + (up ? -stemLength : stemLength));
            ++i;
            continue;
        }
        // Eighths of one beat share a beam; a lone eighth gets a flag.
        std::size_t end = i + 1;
        while (end < notes.size() && notes[end].length == 1 && notes[end].beat == note.beat)
            ++end;
        int stepSum = 0;
        for (std::size_t k = i; k < end; ++k)
            stepSum += notes[k].step;
        const bool up = stepSum < 4 * int(end - i);
        double beamY = up ? 1e9 : -1e9;
        for (std::size_t k = i; k < end; ++k) {
            const double y = yOf(staffTop, notes[k].step) + (up ? -stemLength : stemLength);
            beamY = up ? std::min(beamY, y) : std::max(beamY, y);
        }
        for (std::size_t k = i; k < end; ++k) {
            if (k > i) {
                drawLedgerLines(cr, staffTop, notes[k]);
                drawHead(cr, notes[k].x, yOf(staffTop, notes[k].step), true);
            }
            drawStem(cr, staffTop, notes[k], up, beamY);
        }
        if (end - i == 1) {
            drawFlag(cr, stemX(note, up), beamY, up);
        } else {
            const double thickness = up ? 3.2 : -3.2;
            cairo_rectangle(cr, stemX(notes[i], up) - 0.45, beamY,
                            stemX(notes[end - 1], up) - stemX(notes[i], up) + 0.9, thickness);
            cairo_fill(cr);
        }
        i = end;
    }
}

// ---- pages ------------------------------------------------------------------------------------------

struct MelodyState {
    int step = 4;
};

// One staff: clef, optional time signature, four bars of notes with chord symbols above them.
void drawSystem(cairo_t *cr, double top, const Song &song, bool withTimeSignature, bool lastOfSong,
                Random &random, Harmony &harmony, MelodyState &melody)
{
    drawStaffLines(cr, top);
    drawClef(cr, marginLeft + 12, top);
    double left = marginLeft + 28;
    if (withTimeSignature) {
        drawTimeSignature(cr, left + 4, top, song.meter);
        left += 20;
    }
    const auto &patterns = song.meter == Meter::Common  ? commonBars
                           : song.meter == Meter::Waltz ? waltzBars
                                                        : jigBars;
    constexpr int barsPerStaff = 4;
    const double barWidth = (marginRight - left) / barsPerStaff;
    const double padding = 9;
    for (int bar = 0; bar < barsPerStaff; ++bar) {
        const double barLeft = left + bar * barWidth;
        const double usable = barWidth - 2 * padding;
        std::vector<Note> notes;
        int position = 0;
        for (int length : patterns[random.below(int(patterns.size()))]) {
            melody.step = std::clamp(melody.step + random.between(-2, 2), -2, 10);
            notes.push_back({barLeft + padding + 4 + usable * position / barLength(song.meter), melody.step,
                             length, position / beatLength(song.meter)});
            position += length;
        }
        drawNotes(cr, top, notes);

        const int chords = song.meter == Meter::Common && random.chance(35) ? 2 : 1;
        for (int c = 0; c < chords; ++c)
            text(cr, sans, 10.5, true, false, barLeft + padding + c * usable / 2, top - 2.6 * lineSpace,
                 harmony.next());
        drawBarLine(cr, barLeft + barWidth, top, lastOfSong && bar == barsPerStaff - 1);
    }
}

void drawSongPage(cairo_t *cr, const Song &song, int pageOfSong, int pageNumber, Random &random,
                  Harmony &harmony, MelodyState &melody)
{
    double firstStaff;
    int staves;
    if (pageOfSong == 0) {
        text(cr, serif, 22, true, false, pageWidth / 2, 72, song.title, Align::Centre);
        const std::string feel = song.style == song.tempo ? song.tempo : song.tempo + " " + song.style;
        text(cr, serif, 11, false, true, marginLeft, 104, "(" + feel + ")");
        text(cr, serif, 11, false, false, marginRight, 104, song.composer, Align::Right);
        firstStaff = 150;
        staves = random.between(4, 6);
    } else {
        text(cr, serif, 11, false, true, pageWidth / 2, 50,
             song.title + " - " + std::to_string(pageOfSong + 1), Align::Centre);
        firstStaff = 95;
        staves = random.between(6, 8);
    }
    const bool lastPage = pageOfSong == song.pages - 1;
    if (lastPage && pageOfSong > 0)
        staves = random.between(4, staves);
    const double pitch = std::min(88.0, (musicBottom - firstStaff) / staves);
    for (int s = 0; s < staves; ++s) {
        drawSystem(cr, firstStaff + s * pitch, song, pageOfSong == 0 && s == 0, lastPage && s == staves - 1,
                   random, harmony, melody);
    }
    text(cr, sans, 10, false, false, pageWidth / 2, pageHeight - 30, std::to_string(pageNumber),
         Align::Centre);
}

void drawCover(cairo_t *cr, const Book &book, const std::vector<PlacedSong> &songs)
{
    text(cr, serif, 30, true, false, pageWidth / 2, 170, book.title, Align::Centre);
    text(cr, serif, 13, false, true, pageWidth / 2, 200, "A demonstration songbook for Lyrafold",
         Align::Centre);
    text(cr, serif, 10, false, true, pageWidth / 2, 218,
         "Every title, name and melody in this book is invented.", Align::Centre);

    double y = 275;
    text(cr, serif, 14, true, false, marginLeft + 40, y, "Contents");
    y += 26;
    const DemoCatalogue::Section *section = nullptr;
    for (const PlacedSong &placed : songs) {
        if (placed.section != section) {
            section = placed.section;
            if (!section->name.empty()) {
                text(cr, serif, 11, true, false, marginLeft + 40, y, section->name);
                y += 16;
            }
        }
        const double indent = placed.level > 0 ? 56 : 40;
        text(cr, serif, 11, false, false, marginLeft + indent, y, placed.song->title);
        text(cr, serif, 11, false, false, marginRight - 40, y, std::to_string(placed.firstPage),
             Align::Right);
        y += 15;
    }
}

std::string pageLink(int page)
{
    return "page=" + std::to_string(page);
}

} // namespace

bool write(const Book &book, const std::string &path, std::string *error)
{
    // Written beside the target and renamed at the end, so a failed run never leaves a book that
    // looks whole to the build.
    const std::string partPath = path + ".part";
    cairo_surface_t *surface = cairo_pdf_surface_create(partPath.c_str(), pageWidth, pageHeight);
    // cairo stamps the current time otherwise, and the books must come out byte for byte the same.
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, "2024-01-01T00:00:00Z");
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, book.title.c_str());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "lyrafold-make-demo-books");
    cairo_t *cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0, 0, 0);

    const std::vector<PlacedSong> songs = DemoCatalogue::layout(book);
    drawCover(cr, book, songs);
    cairo_show_page(cr);

    int page = 2;
    const DemoCatalogue::Section *section = nullptr;
    int parent = CAIRO_PDF_OUTLINE_ROOT;
    for (const PlacedSong &placed : songs) {
        if (placed.section != section) {
            section = placed.section;
            // Section entries are bracketed, the way books mark outline entries that are not songs,
            // so reading the outline back gives the songs and nothing else.
            parent = section->name.empty()
                         ? CAIRO_PDF_OUTLINE_ROOT
                         : cairo_pdf_surface_add_outline(
                               surface, CAIRO_PDF_OUTLINE_ROOT, ("[" + section->name + "]").c_str(),
                               pageLink(placed.firstPage).c_str(), CAIRO_PDF_OUTLINE_FLAG_OPEN);
        }
        const Song &song = *placed.song;
        cairo_pdf_surface_add_outline(surface, parent, song.title.c_str(), pageLink(placed.firstPage).c_str(),
                                      cairo_pdf_outline_flags_t(0));
        Random random(song.title);
        Harmony harmony(random, section->genre == "Folk");
        MelodyState melody;
        for (int p = 0; p < song.pages; ++p) {
            drawSongPage(cr, song, p, page++, random, harmony, melody);
            cairo_show_page(cr);
        }
    }

    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    std::error_code fileError;
    if (status != CAIRO_STATUS_SUCCESS) {
        if (error)
            *error = cairo_status_to_string(status);
        std::filesystem::remove(partPath, fileError);
        return false;
    }
    std::filesystem::rename(partPath, path, fileError);
    if (fileError) {
        if (error)
            *error = fileError.message();
        std::filesystem::remove(partPath, fileError);
        return false;
    }
    return true;
}

} // namespace DemoBookWriter
