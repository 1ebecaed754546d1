#pragma once

#include <QCoreApplication>
#include <QString>
#include <QTest>

#include <sys/resource.h>

// Every test runs in a home of its own: HOME, the XDG folders, XDG_RUNTIME_DIR and TMPDIR point into
// a fresh temporary folder, so no test touches the user's files or another test's.
namespace TestHarness {

// Call before the application object exists.
void isolate();

// The temporary home.
QString home();

// Removes what earlier test functions left in the data, config and Documents folders.
void clearUserFiles();

// Writes bytes to path, creating folders; fails the test when it cannot.
void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// While it lives, every write past limit bytes into one file fails as on a full disk (root is not
// spared, unlike with file permissions).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

} // namespace TestHarness

// ApplicationType: QCoreApplication, or QApplication for tests that show widgets.
#define LYRAFOLD_TEST_MAIN_WITH(ApplicationType, TestClass)                                                  \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        TestHarness::isolate();                                                                              \
        ApplicationType app(argc, argv);                                                                     \
        TestClass test;                                                                                      \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&test, argc, argv);                                                              \
    }

#define LYRAFOLD_TEST_MAIN(TestClass) LYRAFOLD_TEST_MAIN_WITH(QCoreApplication, TestClass)
