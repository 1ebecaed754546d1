#pragma once

#include "TestHarness.h"

#include <QApplication>

// LYRAFOLD_TEST_MAIN for tests that build widgets. Kept out of TestHarness.h so that tests of the lower
// layers do not pull in Qt Widgets.
#define LYRAFOLD_TEST_GUI_MAIN(TestClass) LYRAFOLD_TEST_MAIN_WITH(QApplication, TestClass)
