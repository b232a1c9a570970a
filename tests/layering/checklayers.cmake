# Fails when a file of the drive library, the command-line tool or the MQTT
# publisher includes a header of the windows library (a window, the shell,
# the windows' common base) or of Qt's GUI, Widgets, Print Support or Charts
# modules: those run without a display and must build without them.
#
#   cmake -DSOURCE_DIR=... -DGUI_HEADER_DIRS="dir;dir" -P checklayers.cmake
cmake_minimum_required(VERSION 3.25)

# The windows library's folders under src/.
set(window_folders app common points params monitor wave tools trend resources)

# Qt's display-bound headers by their plain names ("QWidget", "QPainter").
set(gui_headers "")
foreach(dir IN LISTS GUI_HEADER_DIRS)
  file(GLOB names RELATIVE "${dir}" "${dir}/Q*")
  list(APPEND gui_headers ${names})
endforeach()
list(REMOVE_DUPLICATES gui_headers)
if(NOT gui_headers)
  message(FATAL_ERROR "no Qt GUI headers found in '${GUI_HEADER_DIRS}': the check would prove nothing")
endif()

set(checked 0)
set(faults "")
foreach(layer src/drive cli mqtt)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  foreach(file IN LISTS files)
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include")
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
    foreach(line IN LISTS lines)
      if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
        set(path "${CMAKE_MATCH_1}")
        string(REGEX MATCH "^[^/]+" first "${path}")
        if(first IN_LIST window_folders AND path MATCHES "/")
          string(APPEND faults "  ${shown}: ${line}\n")
        endif()
      elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
        set(path "${CMAKE_MATCH_1}")
        if(path MATCHES "^Qt(Gui|Widgets|PrintSupport|Charts)/")
          string(APPEND faults "  ${shown}: ${line}\n")
        elseif(path IN_LIST gui_headers AND NOT path MATCHES "/")
          string(APPEND faults "  ${shown}: ${line}\n")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked LESS 50)
  message(FATAL_ERROR "only ${checked} files found under ${SOURCE_DIR}: the check would prove nothing")
endif()
if(faults)
  message(FATAL_ERROR "These files of a layer without a display include a window or Qt GUI header:\n${faults}")
endif()
message(STATUS "${checked} files of the drive library, orvex-cli and the MQTT publisher include no window or GUI header")
