# SPDX-License-Identifier: GPL-2.0-or-later
# Engines that read extended nodes (crispy-doom, woof, dsda-doom) play the
# eight Freedoom demos on vanilla, XNOD and ZNOD builds of their levels and
# must play them alike; and a level past the vanilla limits is built in
# every extended form, checked, and played. Label: demos.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(FREEDOOM_DIR /usr/share/games/doom CACHE PATH "Folder holding freedoom1.wad and freedoom2.wad")

set(EXTENDED_TOOLS
  --vortane ${VORTANE_BINARY}
  --extract $<TARGET_FILE:extract_level>
  --check $<TARGET_FILE:check_level>
  --make-large-level ${CMAKE_SOURCE_DIR}/bench/make-large-level.py
  --freedoom ${FREEDOOM_DIR})

# wad, demo, the level it plays
set(EXTENDED_DEMOS
  freedoom1 DEMO1 E1M4
  freedoom1 DEMO2 E2M3
  freedoom1 DEMO3 E3M3
  freedoom1 DEMO4 E4M6
  freedoom2 DEMO1 MAP15
  freedoom2 DEMO2 MAP10
  freedoom2 DEMO3 MAP02
  freedoom2 DEMO4 MAP26)

set(demos ${EXTENDED_DEMOS})
while(demos)
  list(POP_FRONT demos wad demo level)
  add_test(NAME extended_demos_${wad}_${demo}_${level}
    COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/extended_engines.py ${EXTENDED_TOOLS}
      --demo ${wad}.wad ${demo} ${level})
  set_tests_properties(extended_demos_${wad}_${demo}_${level} PROPERTIES LABELS demos TIMEOUT 600 COST 40)
endwhile()

# A level with ZNOD in NODES and ZGL3 in SSECTORS, one demo a WAD.
set(gl_demos freedoom1 DEMO1 E1M4 freedoom2 DEMO3 MAP02)
while(gl_demos)
  list(POP_FRONT gl_demos wad demo level)
  add_test(NAME gl_demos_${wad}_${demo}_${level}
    COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/extended_engines.py ${EXTENDED_TOOLS}
      --demo ${wad}.wad ${demo} ${level} --gl)
  set_tests_properties(gl_demos_${wad}_${demo}_${level} PROPERTIES LABELS demos TIMEOUT 600 COST 40)
endwhile()

add_test(NAME extended_large_level
  COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/extended_engines.py ${EXTENDED_TOOLS} --large)
set_tests_properties(extended_large_level PROPERTIES LABELS demos TIMEOUT 900 COST 60)
