// What a sentence made in core costs now that the windows' translator answers it: the stored language
// is read at each call, so a text made on a worker follows a switch. Arguments: 0 English, 1 Spanish.

#include "core/common/AppSettings.h"
#include "core/common/UiText.h"

#include <benchmark/benchmark.h>

namespace {

void BM_CoreSentence(benchmark::State &state)
{
    const bool spanish = state.range(0) == 1;
    if (spanish)
        AppSettings::setValue(AppSettings::uiLanguageKey, QStringLiteral("es"));
    else
        AppSettings::remove(AppSettings::uiLanguageKey);
    for (auto _ : state)
        benchmark::DoNotOptimize(UiText::tr("Loaded %1 cached bookmarks").arg(100000));
    AppSettings::remove(AppSettings::uiLanguageKey);
}

// The same sentence as core made it before it was translated.
void BM_CoreSentenceLiteral(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(QStringLiteral("Loaded %1 cached bookmarks").arg(100000));
}

} // namespace

BENCHMARK(BM_CoreSentence)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CoreSentenceLiteral)->Unit(benchmark::kMicrosecond);
