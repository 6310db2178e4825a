# Command-line tests: exit codes, the contents of VORTANE.LOG in log mode and
# the files left behind, for completed and failed runs.
find_program(VORTANE_PYTHON3 python3)
if(NOT VORTANE_PYTHON3)
  set(VORTANE_PYTHON3 python3)
endif()

foreach(case CompletedRunLogTest FailedRunLogTest ScreenModeCliTest ScreenModeLabelsTest)
  add_test(NAME cli.${case}
    COMMAND ${VORTANE_PYTHON3} ${INTEGRATION_DIR}/cli_test.py
      --vortane ${VORTANE_BINARY}
      --make-level $<TARGET_FILE:make_sample_level>
      ${case})
  set_tests_properties(cli.${case} PROPERTIES LABELS cli TIMEOUT 180)
endforeach()
