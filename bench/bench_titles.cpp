// Computing the normalised title key, which every metadata fill and title match pays per title.

#include "Fixtures.h"
#include "core/titles/TitleMetadataIndex.h"

#include <QStringList>

#include <benchmark/benchmark.h>

namespace {

constexpr int titleCount = 100000;

const QStringList &libraryTitles()
{
    static const QStringList titles = [] {
        QStringList list;
        list.reserve(titleCount);
        for (const BookmarkEntry &entry : Fixtures::realisticLibrary(titleCount))
            list.append(entry.title);
        return list;
    }();
    return titles;
}

// The same titles with the articles and spacing that hand-made songbook outlines carry: a leading
// "The" on every fourth, a trailing ", The" or "(The)" on others, doubled blanks here and there.
const QStringList &titlesWithArticles()
{
    static const QStringList titles = [] {
        QStringList list = libraryTitles();
        for (qsizetype i = 0; i < list.size(); ++i) {
            switch (i % 8) {
            case 0:
            case 4:
                list[i] = QStringLiteral("The ") + list[i];
                break;
            case 1:
                list[i] += QStringLiteral(", The");
                break;
            case 2:
                list[i] += QStringLiteral(" (The)");
                break;
            case 3:
                list[i] = QStringLiteral(" ") + list[i].replace(QLatin1Char(' '), QStringLiteral("  "));
                break;
            default:
                break;
            }
        }
        return list;
    }();
    return titles;
}

void runKeys(benchmark::State &state, const QStringList &titles)
{
    for (auto _ : state) {
        for (const QString &title : titles)
            benchmark::DoNotOptimize(TitleMetadataIndex::normalizedTitleKey(title));
    }
    state.counters["titles"] = double(titles.size());
}

void BM_NormalizedTitleKey(benchmark::State &state)
{
    runKeys(state, libraryTitles());
}
BENCHMARK(BM_NormalizedTitleKey)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_NormalizedTitleKeyWithArticles(benchmark::State &state)
{
    runKeys(state, titlesWithArticles());
}
BENCHMARK(BM_NormalizedTitleKeyWithArticles)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
