#pragma once

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

// What must hold for any input. A broken rule aborts, and the fuzzer keeps the input as a finding.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: rule broken: %s\n", __FILE__, __LINE__, #condition);                \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

inline QByteArray fuzzInput(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A reader and its writer agree: what was read is written and read back the same, and writing that
// again gives the same bytes. encode gives the bytes or nothing.
template <typename Decode, typename Encode, typename Same>
void checkRoundTrip(const QByteArray &input, Decode decode, Encode encode, Same same)
{
    const auto first = decode(input);
    if (!first)
        return;
    const std::optional<QByteArray> written = encode(first.value());
    FUZZ_CHECK(written);
    const auto second = decode(*written);
    FUZZ_CHECK(second && same(second.value(), first.value()));
    FUZZ_CHECK(encode(second.value()) == written);
}
