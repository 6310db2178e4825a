# SPDX-License-Identifier: GPL-2.0-or-later
# Engine demos: each demo of freedoom1.wad and freedoom2.wad is played by
# chocolate-doom, headless, on its level as vortane rebuilt it. Label: demos.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(FREEDOOM_DIR /usr/share/games/doom CACHE PATH "Folder holding freedoom1.wad and freedoom2.wad")

# wad, demo, the level it plays, argument 4 (mode), argument 5 (axis)
set(DEMO_PLAYBACKS
  freedoom1 DEMO1 E1M4 -8 -
  freedoom1 DEMO2 E2M3 -8 -
  freedoom1 DEMO3 E3M3 -8 -
  freedoom1 DEMO4 E4M6 -8 -
  freedoom2 DEMO1 MAP15 -8 -
  freedoom2 DEMO2 MAP10 -8 -
  freedoom2 DEMO3 MAP02 -8 -
  freedoom2 DEMO4 MAP26 -8 -
  freedoom2 DEMO1 MAP15 48 -
  freedoom2 DEMO2 MAP10 8 A
  freedoom1 DEMO4 E4M6 0 V)

set(playbacks ${DEMO_PLAYBACKS})
while(playbacks)
  list(POP_FRONT playbacks wad demo level mode axis)
  set(name demos_${wad}_${demo}_${level}_mode${mode}${axis})
  string(REPLACE "-" "m" name ${name})
  add_test(NAME ${name}
    COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/demo_playback.py
      --vortane ${VORTANE_BINARY}
      --extract $<TARGET_FILE:extract_level>
      --check $<TARGET_FILE:check_level>
      --iwad ${FREEDOOM_DIR}/${wad}.wad
      --level ${level} --demo ${demo}
      --mode=${mode} --axis=${axis}
      --work ${CMAKE_CURRENT_BINARY_DIR}/demos/${name})
  # Long runs first, so that ctest -j packs the short tests around them.
  set_tests_properties(${name} PROPERTIES LABELS demos TIMEOUT 600 COST 50)
endwhile()

# The playback does catch a level the engine cannot play: a stand-in builder
# points the subsector children of MAP02's nodes at a subsector that does not
# exist; check_level must report it and the engine must not finish DEMO3.
add_test(NAME demos_catch_broken_nodes
  COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/demo_playback.py
    --vortane ${INTEGRATION_DIR}/broken_builder.py
    --extract $<TARGET_FILE:extract_level>
    --check $<TARGET_FILE:check_level>
    --iwad ${FREEDOOM_DIR}/freedoom2.wad
    --level MAP02 --demo DEMO3
    --work ${CMAKE_CURRENT_BINARY_DIR}/demos/demos_catch_broken_nodes
    --broken-builder)
set_tests_properties(demos_catch_broken_nodes PROPERTIES LABELS demos TIMEOUT 600)
