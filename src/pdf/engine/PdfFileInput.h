#pragma once

#include <QFile>
#include <QString>

#include <qpdf/InputSource.hh>

#include <memory>
#include <string>

// A file read by qpdf through a window of its bytes (internal to src/pdf).
//
// qpdf's own file source reads through stdio, and qpdf seeks before almost every read while it
// parses objects or rebuilds the cross-reference table of a damaged file: each seek throws the
// stdio buffer away, so a damaged book costs hundreds of thousands of system calls. Here reads and
// seeks inside the window are plain copies. The window is read, not mapped: a file cut short by
// another program while it is open reads as ending early instead of killing the process.
//
// Behaves as qpdf's file source does: seeking past the end is allowed and reads nothing there; a read
// that finds nothing leaves the position at the end of the file; seeking before the start throws.
class PdfFileInput final : public InputSource {
public:
    // Throws std::runtime_error when the file cannot be opened, as qpdf's file source does.
    explicit PdfFileInput(const QString &path);
    ~PdfFileInput() override;

    qpdf_offset_t findAndSkipNextEOL() override;
    const std::string &getName() const override;
    qpdf_offset_t tell() override;
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override;
    size_t read(char *buffer, size_t length) override;
    void unreadCh(char ch) override;

private:
    bool windowHolds(qpdf_offset_t offset) const;
    // Reads the window holding offset; false at or past the end of the file.
    bool load(qpdf_offset_t offset);
    qint64 readAt(qpdf_offset_t offset, char *buffer, qint64 length);
    [[noreturn]] void failRead(qpdf_offset_t offset, size_t length) const;

    QFile m_file;
    std::string m_name;
    qpdf_offset_t m_position = 0;
    std::unique_ptr<char[]> m_window;
    qpdf_offset_t m_windowStart = 0;
    qint64 m_windowLength = 0;
};
