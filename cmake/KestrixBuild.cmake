# Build-speed helpers, applied to targets by name so the target definitions
# stay as they are.

option(KESTRIX_PCH "Precompile the Qt headers of the Qt-heavy targets" ON)

# kestrix_qt_pch(TARGET [TEST]) precompiles the Qt headers every window source
# needs. qcustomplot.h pulls in the whole of Qt Widgets, Gui and Print Support,
# several seconds of parsing per file, so one precompiled copy per target
# replaces that work in each of its files (the generated moc files included).
# TEST adds QtTest for the test programs.
function(kestrix_qt_pch target)
  if(NOT KESTRIX_PCH)
    return()
  endif()
  cmake_parse_arguments(P "TEST" "" "" ${ARGN})
  set(headers
    <qcustomplot.h>
    <QtWidgets>
    <QHostAddress>
    <QUdpSocket>
    <QNetworkProxy>
    <atomic> <functional> <memory> <mutex> <string> <thread> <vector>)
  if(P_TEST)
    list(APPEND headers <QtTest> <QSignalSpy>)
  endif()
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()

# kestrix_test_pch(TARGET) precompiles what every test source of a test
# program includes: QtTest alone is some 4 s of parsing per file at -O2, more
# than most suites' own code, and a program holds a folder's suites.
function(kestrix_test_pch target)
  if(NOT KESTRIX_PCH)
    return()
  endif()
  target_precompile_headers(${target} PRIVATE
    <QtTest> <QSignalSpy> <QTemporaryDir> <QTemporaryFile>
    <algorithm> <cmath> <cstring> <memory> <random> <string> <vector>)
endfunction()
