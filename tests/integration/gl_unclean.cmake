# SPDX-License-Identifier: GPL-2.0-or-later
# GL builds (XGL3, XGLN, ZNOD with ZGL3) of levels that are not clean:
# unclosed and self-referencing sectors, overlapping and zero-length walls,
# a lone one-sided wall, the whole 16-bit range; and a clean level beside
# them. Each is checked by vortane-check and its stream decoded. Label:
# check (so that the sanitizer build runs it too).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

add_test(NAME check.GlUncleanLevels
  COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/gl_unclean_test.py
    --vortane ${VORTANE_BINARY}
    --check $<TARGET_FILE:vortane-check>)
set_tests_properties(check.GlUncleanLevels PROPERTIES LABELS check TIMEOUT 120)
