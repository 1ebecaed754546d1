#pragma once

#include <QMutex>
#include <QString>

// One plain-text diagnostic log: each line is appended as one write. The log lives in the shared
// temporary folder, where another user can plant a link or a pipe under its name; such a name is
// refused rather than followed. A log that has grown past the rotation size is moved aside to
// "<path>.1", replacing the previous one, so the logs never fill the disk.
// Writing is safe from any thread; processes that share a log may interleave lines, never bytes.
class DiagnosticLog {
public:
    static constexpr qint64 defaultRotateSize = 1024 * 1024;

    explicit DiagnosticLog(QString path, qint64 rotateSize = defaultRotateSize);

    // <temporary folder>/fileName; the temporary folder follows TMPDIR.
    static QString tempFilePath(const QString &fileName);

    // The current local time as the logs stamp their lines: "yyyy-MM-dd HH:mm:ss".
    static QString localTimestamp();

    // A number as the logs write it: the shortest text that reads back as the same double, whole
    // numbers with ".0".
    static QString formatNumber(double value);

    const QString &path() const { return m_path; }

    // Appends line and a line feed, as UTF-8. False when the log cannot be written; callers carry on.
    bool writeLine(const QString &line);

private:
    int openForAppend() const;
    // Moves a full log aside; fd is the log as opened. Returns false when fd should be reopened.
    bool rotateIfFull(int fd, qint64 incoming);

    QString m_path;
    qint64 m_rotateSize;
    QMutex m_mutex;
};
