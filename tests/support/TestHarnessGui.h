#pragma once

#include "TestHarness.h"

#include <QApplication>

// For tests of widgets and of anything that needs a GUI application object (clipboard, fonts,
// images): isolated like LYRAFOLD_TEST_MAIN, then a QApplication.
#define LYRAFOLD_TEST_GUI_MAIN(TestClass)                                                                    \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        TestHarness::isolate();                                                                              \
        QApplication app(argc, argv);                                                                        \
        TestClass test;                                                                                      \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
