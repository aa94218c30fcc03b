#pragma once

#include "EventDispatch.h"

#include <QApplication>
#include <QTest>

// QTEST_MAIN, with the event dispatcher the program itself uses.
#define ADTEST_GUI_TEST_MAIN(TestClass)                                                            \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        selectEventDispatcher();                                                                   \
        QApplication application(argc, argv);                                                      \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
