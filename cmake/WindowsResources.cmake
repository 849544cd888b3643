# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# Gives a Windows executable the program's version resource and manifest:
# file and product version, the invoker's rights, version 6 of the common
# controls; with ICON, an .ico file as the program's icon (the one Explorer
# and the taskbar show). The target itself must be a WIN32 (GUI subsystem)
# executable.
function(quenlora_add_windows_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ICON" "")
  if(NOT WIN32)
    return()
  endif()
  set(QUENLORA_ICON_FILE "${arg_ICON}")
  set(resources ${PROJECT_SOURCE_DIR}/app/windows)
  string(REPLACE "." "," QUENLORA_FILE_VERSION_COMMAS "${PROJECT_VERSION}")
  string(REPLACE "." "," QUENLORA_PRODUCT_VERSION_COMMAS "${QUENLORA_PRODUCT_VERSION}")
  set(QUENLORA_MANIFEST_FILE ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${resources}/vortanek.manifest.in ${QUENLORA_MANIFEST_FILE} @ONLY)
  configure_file(${resources}/vortanek.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  if(MSVC)
    target_sources(${target} PRIVATE ${QUENLORA_MANIFEST_FILE})
  else()
    target_compile_definitions(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:QUENLORA_EMBED_MANIFEST>)
    set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS ${QUENLORA_MANIFEST_FILE})
  endif()
  if(arg_ICON)
    target_compile_definitions(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:QUENLORA_EMBED_ICON>)
    set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS ${arg_ICON})
  endif()
endfunction()
