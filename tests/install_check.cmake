# Installs the build into PREFIX and checks that the programs, the desktop
# entry, its icon and the AppStream metadata are where the README says.
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/kestrix_diagnostics bin/kestrix_navdata bin/kestrix_sim
          share/applications/kestrix_diagnostics.desktop
          share/icons/hicolor/scalable/apps/kestrix_diagnostics.svg
          share/metainfo/org.kestrix.diagnostics.metainfo.xml)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(READ ${PREFIX}/share/applications/kestrix_diagnostics.desktop entry)
if(NOT entry MATCHES "Exec=kestrix_diagnostics")
  message(FATAL_ERROR "the desktop entry does not start kestrix_diagnostics")
endif()
file(REMOVE_RECURSE ${PREFIX})
message(STATUS "installed layout ok")
