#include "pdf/engine/PdfFileInput.h"

#include <qpdf/QPDFExc.hh>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

constexpr qint64 windowSize = qint64(1) << 16;
// The window starts on a block boundary, so that qpdf's short steps back stay inside it.
constexpr qint64 windowAlignment = 4096;

} // namespace

PdfFileInput::PdfFileInput(const QString &path)
    : m_file(path), m_name(QFile::encodeName(path).toStdString()), m_window(new char[windowSize])
{
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw std::runtime_error("open " + m_name + ": " + m_file.errorString().toStdString());
}

PdfFileInput::~PdfFileInput() = default;

const std::string &PdfFileInput::getName() const
{
    return m_name;
}

qpdf_offset_t PdfFileInput::tell()
{
    return m_position;
}

void PdfFileInput::seek(qpdf_offset_t offset, int whence)
{
    qpdf_offset_t base = 0;
    switch (whence) {
    case SEEK_SET:
        break;
    case SEEK_CUR:
        base = m_position;
        break;
    case SEEK_END:
        base = m_file.size();
        break;
    default:
        throw std::logic_error("seek " + m_name + ": invalid whence");
    }
    qpdf_offset_t target = 0;
    if (__builtin_add_overflow(base, offset, &target) || target < 0)
        throw std::runtime_error("seek " + m_name + ": before the start of the file");
    m_position = target;
}

void PdfFileInput::rewind()
{
    m_position = 0;
}

void PdfFileInput::unreadCh(char)
{
    if (m_position > 0)
        --m_position;
}

bool PdfFileInput::windowHolds(qpdf_offset_t offset) const
{
    return offset >= m_windowStart && offset - m_windowStart < m_windowLength;
}

qint64 PdfFileInput::readAt(qpdf_offset_t offset, char *buffer, qint64 length)
{
    if (!m_file.seek(offset))
        return offset >= m_file.size() ? 0 : -1;
    return m_file.read(buffer, length);
}

bool PdfFileInput::load(qpdf_offset_t offset)
{
    const qpdf_offset_t start = offset - offset % windowAlignment;
    const qint64 length = readAt(start, m_window.get(), windowSize);
    if (length < 0)
        failRead(offset, 1);
    m_windowStart = start;
    m_windowLength = length;
    return windowHolds(offset);
}

void PdfFileInput::failRead(qpdf_offset_t offset, size_t length) const
{
    throw QPDFExc(qpdf_e_system, m_name, "", offset,
                  "read " + std::to_string(length) + " bytes: " + m_file.errorString().toStdString());
}

size_t PdfFileInput::read(char *buffer, size_t length)
{
    last_offset = m_position;
    size_t done = 0;
    while (done < length) {
        const qint64 wanted = qint64(std::min<size_t>(length - done, size_t(windowSize)));
        if (!windowHolds(m_position) && wanted >= windowSize) {
            // Long reads (whole streams) go straight to the caller's buffer.
            const qint64 got = readAt(m_position, buffer + done, wanted);
            if (got < 0)
                failRead(m_position, length);
            if (got == 0)
                break;
            done += size_t(got);
            m_position += got;
            continue;
        }
        if (!windowHolds(m_position) && !load(m_position))
            break;
        const qint64 available = m_windowStart + m_windowLength - m_position;
        const qint64 count = std::min(wanted, available);
        std::memcpy(buffer + done, m_window.get() + (m_position - m_windowStart), size_t(count));
        done += size_t(count);
        m_position += count;
    }
    if (done == 0 && length > 0) {
        // Nothing there: the position goes to the end, as after stdio's end of file.
        m_position = m_file.size();
        last_offset = m_position;
    }
    return done;
}

qpdf_offset_t PdfFileInput::findAndSkipNextEOL()
{
    for (;;) {
        if (!windowHolds(m_position) && !load(m_position)) {
            m_position = std::max<qpdf_offset_t>(m_file.size(), 0);
            last_offset = m_position;
            return m_position;
        }
        const char *begin = m_window.get() + (m_position - m_windowStart);
        const char *end = m_window.get() + m_windowLength;
        const char *eol = std::find_if(begin, end, [](char c) { return c == '\r' || c == '\n'; });
        last_offset = m_position;
        if (eol == end) {
            m_position = m_windowStart + m_windowLength;
            continue;
        }
        const qpdf_offset_t found = m_windowStart + (eol - m_window.get());
        m_position = found + 1;
        char c = 0;
        while (read(&c, 1) == 1) {
            if (c != '\r' && c != '\n') {
                unreadCh(c);
                break;
            }
        }
        return found;
    }
}
