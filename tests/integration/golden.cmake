# SPDX-License-Identifier: GPL-2.0-or-later
# The golden table: every output byte of the Freedoom levels in the sweep
# modes, the Hexen conversions and the sample level, compared with the SHA-256
# hashes in golden_outputs.txt. One test per source and mode, so that ctest -j
# runs them side by side. Label: golden. scripts/update-golden rewrites the
# table on purpose; nothing else does.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(FREEDOOM_DIR /usr/share/games/doom CACHE PATH "Folder holding freedoom1.wad and freedoom2.wad")

execute_process(
  COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/golden.py --list-groups
  OUTPUT_VARIABLE GOLDEN_GROUPS
  RESULT_VARIABLE GOLDEN_LISTED)
if(NOT GOLDEN_LISTED EQUAL 0)
  message(FATAL_ERROR "golden.py --list-groups failed")
endif()
string(REPLACE "\n" ";" GOLDEN_GROUPS "${GOLDEN_GROUPS}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${INTEGRATION_DIR}/golden.py)

foreach(group ${GOLDEN_GROUPS})
  if(group)
    add_test(NAME golden_${group}
      COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/golden.py --group ${group}
        --vortane ${VORTANE_BINARY}
        --extract $<TARGET_FILE:extract_level>
        --check $<TARGET_FILE:vortane-check>
        --freedoom-dir ${FREEDOOM_DIR}
        --sample ${CMAKE_SOURCE_DIR}/samples/sample.wad)
    set_tests_properties(golden_${group} PROPERTIES LABELS golden TIMEOUT 900 COST 10)
  endif()
endforeach()
