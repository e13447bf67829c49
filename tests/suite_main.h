// Several QtTest classes in one test program. Each test file registers its
// class with one of the macros below instead of defining main(); the first
// argument of the program names the class to run, the rest goes to QtTest:
//
//   core_tests TestDecoder                 every test function of TestDecoder
//   gui_tests TestGraphWindow realDrag...  one test function
//   core_tests --list                      the registered classes
//
// CTest runs every class as a test of its own (see kestrix_add_qtest_suite in
// tests/CMakeLists.txt), so each keeps its name, timeout and port lock.
//
// A test that starts its own program again (for a private network namespace)
// passes on only QtTest's arguments; the chosen class therefore also travels
// in the environment (KESTRIX_TEST_CLASS), which a child started with the
// parent's environment falls back on when its first argument names no class.
#pragma once

#include <QCoreApplication>
#include <QTest>

namespace kestrix::test {

using SuiteRun = int (*)(int argc, char** argv);

// Adds a class to the program; called during static initialisation.
bool RegisterSuite(const char* className, SuiteRun run);

} // namespace kestrix::test

#define KESTRIX_TEST_SUITE_(TestObject, ...)                                                        \
    namespace {                                                                                    \
    int kestrixRun##TestObject(int argc, char** argv)                                              \
    {                                                                                              \
        QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>();                          \
        __VA_ARGS__                                                                                \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }                                                                                              \
    const bool kestrixRegistered##TestObject =                                                     \
        ::kestrix::test::RegisterSuite(#TestObject, &kestrixRun##TestObject);                      \
    }

// Counterparts of QTEST_APPLESS_MAIN and QTEST_GUILESS_MAIN.
#define KESTRIX_APPLESS_TEST(TestObject) KESTRIX_TEST_SUITE_(TestObject)
#define KESTRIX_GUILESS_TEST(TestObject)                                                           \
    KESTRIX_TEST_SUITE_(TestObject, QCoreApplication app(argc, argv);                             \
                        app.setAttribute(Qt::AA_Use96Dpi, true);)
