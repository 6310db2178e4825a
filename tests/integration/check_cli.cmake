# SPDX-License-Identifier: GPL-2.0-or-later
# vortane-check from the command line: help and version, unreadable files,
# the Freedoom IWADs as shipped and rebuilt by other builders and by
# vortane. Label: check.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(FREEDOOM_DIR /usr/share/games/doom CACHE PATH "Folder holding freedoom1.wad and freedoom2.wad")

foreach(case CommandLineTest FreedoomTest)
  add_test(NAME check.${case}
    COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/check_cli_test.py
      --check $<TARGET_FILE:vortane-check>
      --vortane ${VORTANE_BINARY}
      --extract $<TARGET_FILE:extract_level>
      --version ${PROJECT_VERSION}
      --sample ${CMAKE_SOURCE_DIR}/samples/sample.wad
      --freedoom ${FREEDOOM_DIR}
      ${case})
  set_tests_properties(check.${case} PROPERTIES LABELS check TIMEOUT 300)
endforeach()
