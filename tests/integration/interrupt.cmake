# SPDX-License-Identifier: GPL-2.0-or-later
# Interrupted runs: a signal during a long build (log mode, and screen mode
# in tmux) or during the key wait after a fatal error leaves no temporary
# output, keeps an earlier output and gives the terminal back; so does a
# run whose finished file cannot be renamed onto the output path.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

foreach(case LogModeInterruptTest FailedRenameTest ScreenInterruptTest)
  add_test(NAME interrupt.${case}
    COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/interrupt_test.py
      --vortane ${VORTANE_BINARY}
      --make-level $<TARGET_FILE:make_sample_level>
      --make-nasty $<TARGET_FILE:make_nasty>
      ${case})
  set_tests_properties(interrupt.${case} PROPERTIES LABELS screen TIMEOUT 180)
endforeach()
