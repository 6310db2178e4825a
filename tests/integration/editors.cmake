# SPDX-License-Identifier: GPL-2.0-or-later
# vortane as map editors call it: UDB's profiles and SLADE's in-place calls
# on Freedoom levels laid out as the editors write them. Label: cli.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(FREEDOOM_DIR /usr/share/games/doom CACHE PATH "Folder holding freedoom1.wad and freedoom2.wad")

foreach(case EditorLayoutTest EditorFileTest)
  add_test(NAME editors.${case}
    COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/editor_calls_test.py
      --vortane ${VORTANE_BINARY}
      --check $<TARGET_FILE:vortane-check>
      --extract $<TARGET_FILE:extract_level>
      --make-nasty $<TARGET_FILE:make_nasty>
      --config ${CMAKE_SOURCE_DIR}/editors/vortane.cfg
      --freedoom ${FREEDOOM_DIR}
      ${case})
  set_tests_properties(editors.${case} PROPERTIES LABELS cli TIMEOUT 300)
endforeach()
