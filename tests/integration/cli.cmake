# SPDX-License-Identifier: GPL-2.0-or-later
# Command-line tests: exit codes, the contents of VORTANE.LOG in log mode and
# the files left behind, for completed and failed runs.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

foreach(case CompletedRunLogTest FailedRunLogTest PlainOutputCliTest ScreenModeLabelsTest EveryLevelCliTest
    GlNodesCliTest)
  add_test(NAME cli.${case}
    COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/cli_test.py
      --vortane ${VORTANE_BINARY}
      --make-level $<TARGET_FILE:make_sample_level>
      ${case})
  set_tests_properties(cli.${case} PROPERTIES LABELS cli TIMEOUT 180)
endforeach()
