#pragma once

#include <span>

// The interface texts in Turkish and Spanish, keyed by their English text. One row per key keeps the
// two tables on the same keys in the same order.
namespace LyrafoldTranslations {

struct Row {
    const char16_t *english;
    const char16_t *turkish;
    const char16_t *spanish;
};

std::span<const Row> rows();

} // namespace LyrafoldTranslations
