# SPDX-License-Identifier: GPL-2.0-or-later
# Terminal tests: vortane in a tmux pane of 80 x 25 cells; the screen it
# leaves is read back and checked row by row, characters and colours.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

foreach(case HelpScreenTest FatalErrorScreenTest OrdinaryRunTest TooLargeBlockmapScreenTest EveryLevelScreenTest)
  add_test(NAME screen.${case}
    COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/screen_test.py
      --vortane ${VORTANE_BINARY}
      --make-level $<TARGET_FILE:make_sample_level>
      ${case})
  set_tests_properties(screen.${case} PROPERTIES LABELS screen TIMEOUT 180)
endforeach()
