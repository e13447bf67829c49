# Fails when a source of gui/ reaches into a window it does not coordinate.
#
#   cmake -DGUI_DIR=<source>/gui -P reach_check.cmake
#
# 1. `FormN->` (another window's controls or operations through its global)
#    appears only in app/ (the start-up and the window switches), and in the
#    Graph window for its own two axis dialogs (Form3, Form6).
# 2. A window's header is included only by app/, by the window's own source,
#    and by the Graph window for its axis dialogs.
# 3. Includes point down: app/ headers only from app/ (and the main window,
#    which wires its own switches); kit/ and session/ include no window folder.
#
# Every file under gui/ is read, so a new file is checked without being listed.

cmake_policy(SET CMP0007 NEW)
if(NOT GUI_DIR)
  message(FATAL_ERROR "GUI_DIR not set")
endif()

set(window_headers
  control/main.h control/joystick.h control/atsamples.h navdata/tags.h
  plot/graph.h plot/leftaxis.h plot/bottomaxis.h plot/axis_dialog.h)

file(GLOB_RECURSE sources RELATIVE ${GUI_DIR} ${GUI_DIR}/*.cpp ${GUI_DIR}/*.h)
set(faults "")
foreach(f ${sources})
  get_filename_component(folder ${f} DIRECTORY)
  get_filename_component(stem ${f} NAME_WE)
  # One list entry per line (semicolons would split a line).
  file(READ ${GUI_DIR}/${f} text)
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(n 0)
  foreach(line IN LISTS lines)
    math(EXPR n "${n} + 1")
    # 1. FormN->
    if(line MATCHES "Form([0-9])->" AND NOT folder STREQUAL "app")
      set(k ${CMAKE_MATCH_1})
      if(NOT (f STREQUAL "plot/graph.cpp" AND (k STREQUAL "3" OR k STREQUAL "6")))
        list(APPEND faults "${f}:${n}: reaches Form${k}: ${line}")
      endif()
    endif()
    if(line MATCHES "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\"")
      set(inc ${CMAKE_MATCH_1})
      get_filename_component(inc_folder ${inc} DIRECTORY)
      get_filename_component(inc_stem ${inc} NAME_WE)
      # 2. window headers
      list(FIND window_headers ${inc} w)
      if(w GREATER -1 AND NOT folder STREQUAL "app")
        set(own FALSE)
        if(inc_folder STREQUAL folder AND inc_stem STREQUAL stem)
          set(own TRUE) # a window's own pair
        elseif(f STREQUAL "plot/graph.cpp" AND (inc STREQUAL "plot/leftaxis.h" OR inc STREQUAL "plot/bottomaxis.h"))
          set(own TRUE) # the Graph window and its axis dialogs
        elseif(inc STREQUAL "plot/axis_dialog.h" AND f MATCHES "^plot/(leftaxis|bottomaxis)\\.(h|cpp)$")
          set(own TRUE) # the axis dialogs and their common base
        endif()
        if(NOT own)
          list(APPEND faults "${f}:${n}: includes the window header ${inc}")
        endif()
      endif()
      # 3. direction
      if(inc_folder STREQUAL "app" AND NOT folder STREQUAL "app"
         AND NOT (f STREQUAL "control/main.cpp" AND inc STREQUAL "app/window_switches.h"))
        list(APPEND faults "${f}:${n}: includes ${inc} from above")
      endif()
      if((folder STREQUAL "kit" OR folder STREQUAL "session")
         AND inc_folder MATCHES "^(app|control|navdata|plot)$")
        list(APPEND faults "${f}:${n}: includes ${inc}, a window folder, from ${folder}/")
      endif()
    endif()
  endforeach()
endforeach()

list(LENGTH sources count)
if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "gui/ reaches across windows:\n${text}")
endif()
message(STATUS "gui/: ${count} files, no window reached from outside the coordinator")
