# quorvex_add_skin(<target> SOURCE_DIR <folder> OUTPUT <file>)
#
# Packs a skin folder into a skin file: the folder's KEY.png / KEY.bmp pictures and its
# values.ini go to the root of a Qt binary resource file made by rcc. The target is part of
# ALL; the file is made again when a picture or values.ini changes (a new picture is picked up
# at the next configure, which the build runs by itself).
function(quorvex_add_skin target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SOURCE_DIR;OUTPUT" "")
  if(NOT arg_SOURCE_DIR OR NOT arg_OUTPUT)
    message(FATAL_ERROR "quorvex_add_skin: SOURCE_DIR and OUTPUT are required")
  endif()
  file(GLOB files CONFIGURE_DEPENDS
    "${arg_SOURCE_DIR}/*.png" "${arg_SOURCE_DIR}/*.bmp" "${arg_SOURCE_DIR}/values.ini")
  set(content "<RCC>\n  <qresource prefix=\"/\">\n")
  foreach(file IN LISTS files)
    get_filename_component(name "${file}" NAME)
    string(APPEND content "    <file alias=\"${name}\">${file}</file>\n")
  endforeach()
  string(APPEND content "  </qresource>\n</RCC>\n")
  set(qrc "${CMAKE_CURRENT_BINARY_DIR}/${target}.qrc")
  file(CONFIGURE OUTPUT "${qrc}" CONTENT "${content}" @ONLY)
  qt_add_binary_resources(${target} "${qrc}" DESTINATION "${arg_OUTPUT}")
endfunction()
