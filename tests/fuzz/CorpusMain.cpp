// Runs a fuzz target without libFuzzer: every input of the given files and folders once (so that an
// ordinary test run checks every kept input), then, with --for, mutated copies of them until the time
// is up. The mutations are blind (no coverage guides them): bytes flipped, cut, dropped, repeated or
// spliced in from another input, and numbers swapped for extreme ones.
//
// fuzz_<name> [--for <seconds>] [--seed <n>] [--last-input <file>] <file or folder>...
// --last-input: each mutated input is written there before it runs, so a crash leaves it behind.

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

void run(const QByteArray &bytes)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()), size_t(bytes.size()));
}

// Numbers that sit on the edges of the ranges readers size their tables from.
QByteArray extremeNumber(QRandomGenerator &random)
{
    static const char *const numbers[] = {
        "0",        "-1",          "1",           "2147483647",          "2147483648",          "4294967296",
        "21000000", "99999999999", "-2147483649", "9223372036854775807", "18446744073709551616"};
    return numbers[random.bounded(int(std::size(numbers)))];
}

QByteArray mutated(const QList<QByteArray> &inputs, QRandomGenerator &random)
{
    QByteArray bytes = inputs[random.bounded(int(inputs.size()))];
    const int steps = 1 + random.bounded(3);
    for (int step = 0; step < steps && !bytes.isEmpty(); ++step) {
        const int size = int(bytes.size());
        const int at = random.bounded(size);
        const int length = 1 + random.bounded(qMin(size - at, 256));
        switch (random.bounded(6)) {
        case 0:
            for (int i = random.bounded(8); i >= 0; --i)
                bytes[random.bounded(size)] = char(random.bounded(256));
            break;
        case 1:
            bytes.truncate(at);
            break;
        case 2:
            bytes.remove(at, length);
            break;
        case 3:
            bytes.insert(random.bounded(size + 1), bytes.mid(at, length));
            break;
        case 4: {
            const QByteArray &other = inputs[random.bounded(int(inputs.size()))];
            if (!other.isEmpty())
                bytes.insert(at, other.mid(random.bounded(int(other.size())), length));
            break;
        }
        case 5: {
            // The first run of digits from a random point on.
            qsizetype start = at;
            while (start < bytes.size() && !std::isdigit(static_cast<unsigned char>(bytes[start])))
                ++start;
            qsizetype end = start;
            while (end < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[end])))
                ++end;
            if (end > start)
                bytes.replace(start, end - start, extremeNumber(random));
            break;
        }
        }
    }
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    double seconds = 0;
    quint32 seed = quint32(std::chrono::steady_clock::now().time_since_epoch().count());
    QString lastInput;
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--for") == 0 && i + 1 < argc) {
            seconds = QByteArray(argv[++i]).toDouble();
            continue;
        }
        if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            seed = QByteArray(argv[++i]).toUInt();
            continue;
        }
        if (std::strcmp(argv[i], "--last-input") == 0 && i + 1 < argc) {
            lastInput = QFile::decodeName(argv[++i]);
            continue;
        }
        const QString path = QFile::decodeName(argv[i]);
        if (!QFileInfo(path).isDir()) {
            files.append(path);
            continue;
        }
        QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(it.next());
    }
    files.sort();

    QList<QByteArray> inputs;
    for (const QString &path : std::as_const(files)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 1;
        }
        inputs.append(file.readAll());
        std::fprintf(stderr, "running %s\n", qPrintable(path));
        run(inputs.last());
    }
    if (inputs.isEmpty()) {
        std::fprintf(stderr, "no inputs\n");
        return 1;
    }
    std::fprintf(stderr, "%lld inputs passed\n", static_cast<long long>(inputs.size()));

    qint64 executions = inputs.size();
    if (seconds > 0) {
        std::fprintf(stderr, "mutating for %g s, seed %u\n", seconds, seed);
        QRandomGenerator random(seed);
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            const QByteArray bytes = mutated(inputs, random);
            if (!lastInput.isEmpty()) {
                QFile file(lastInput);
                if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                    file.write(bytes) != bytes.size()) {
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(lastInput));
                    return 1;
                }
            }
            run(bytes);
            ++executions;
        }
    }
    if (!lastInput.isEmpty())
        QFile::remove(lastInput);
    // Worded as libFuzzer words it, for scripts/fuzz.sh.
    std::fprintf(stderr, "stat::number_of_executed_units: %lld\n", static_cast<long long>(executions));
    return 0;
}
