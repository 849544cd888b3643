# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# The tool that draws the program's SVG images into PNG and ICO files while
# building (tools/render-svg). It runs on the build machine, so a cross build
# makes it with the build machine's own compiler and Qt as a project of its own.
# Sets QUENLORA_SVG_RENDERER (the command) and QUENLORA_SVG_RENDERER_TARGET
# (what a step that runs it depends on).
if(DEFINED QUENLORA_SVG_RENDERER_TARGET)
  return()
endif()
if(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  set(QUENLORA_SVG_RENDERER ${PROJECT_BINARY_DIR}/host-tools/quenlora_render_svg)
  ExternalProject_Add(quenlora_render_svg_host
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/render-svg
    BINARY_DIR ${PROJECT_BINARY_DIR}/host-tools
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${QUENLORA_SVG_RENDERER})
  set(QUENLORA_SVG_RENDERER_TARGET quenlora_render_svg_host)
else()
  find_package(Qt6 REQUIRED COMPONENTS Gui Svg)
  add_executable(quenlora_render_svg ${PROJECT_SOURCE_DIR}/tools/render-svg/render_svg.cpp)
  target_link_libraries(quenlora_render_svg PRIVATE Qt6::Gui Qt6::Svg)
  set(QUENLORA_SVG_RENDERER $<TARGET_FILE:quenlora_render_svg>)
  set(QUENLORA_SVG_RENDERER_TARGET quenlora_render_svg)
endif()
