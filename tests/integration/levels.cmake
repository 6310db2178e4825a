# SPDX-License-Identifier: GPL-2.0-or-later
# Freedoom level sweeps: every level of freedoom1.wad and freedoom2.wad is
# extracted, rebuilt by vortane in log mode and checked with check_level,
# once per building mode. One test per WAD and mode, so that ctest -j runs
# them side by side. Label: levels.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(FREEDOOM_DIR /usr/share/games/doom CACHE PATH "Folder holding freedoom1.wad and freedoom2.wad")

# name, argument 4 (mode), argument 5 (axis)
set(LEVEL_SWEEP_MODES
  turbo1 -1 -
  turbo8 -8 -
  turbo24 -24 -
  turbo48 -48 -
  final0 0 -
  final8 8 -
  final24 24 -
  final48 48 -
  axisA 8 A
  axisV 8 V
  axisH 8 H)

function(add_level_sweep name wad mode axis)
  add_test(NAME ${name}
    COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/level_sweep.py
      --vortane ${VORTANE_BINARY}
      --extract $<TARGET_FILE:extract_level>
      --check $<TARGET_FILE:check_level>
      --wad ${wad}
      --mode=${mode} --axis=${axis}
      --work ${CMAKE_CURRENT_BINARY_DIR}/levels/${name}
      ${ARGN})
  set_tests_properties(${name} PROPERTIES LABELS levels TIMEOUT 900 COST 20)
endfunction()

foreach(wad freedoom1 freedoom2)
  set(modes ${LEVEL_SWEEP_MODES})
  while(modes)
    list(POP_FRONT modes name mode axis)
    add_level_sweep(levels_${wad}_${name} ${FREEDOOM_DIR}/${wad}.wad ${mode} ${axis})
  endwhile()
endforeach()

# The sample level that ships with the program, in every mode too.
set(modes ${LEVEL_SWEEP_MODES})
while(modes)
  list(POP_FRONT modes name mode axis)
  add_level_sweep(levels_sample_${name} ${CMAKE_SOURCE_DIR}/samples/sample.wad ${mode} ${axis})
endwhile()

# The same level built twice gives the same bytes.
add_level_sweep(levels_freedoom1_twice_turbo8 ${FREEDOOM_DIR}/freedoom1.wad -8 - --twice)
add_level_sweep(levels_freedoom2_twice_axisA ${FREEDOOM_DIR}/freedoom2.wad 24 A --twice)

# The log check of the sweeps tells right logs from wrong ones.
add_test(NAME levels_log_check_self_test COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/level_sweep.py --self-test)
set_tests_properties(levels_log_check_self_test PROPERTIES LABELS levels)

# Levels rebuilt inside the whole WAD turned PWAD: the first, a middle and the
# last level, with every other lump (other levels included) copied unchanged.
add_level_sweep(levels_freedoom1_whole_wad ${FREEDOOM_DIR}/freedoom1.wad -8 - --whole --levels=E1M1,E2M3,E4M9)
add_level_sweep(levels_freedoom2_whole_wad ${FREEDOOM_DIR}/freedoom2.wad 8 H --whole --levels=MAP01,MAP15,MAP32)

# check_level fails a real rebuilt level damaged in each of a dozen ways.
add_test(NAME levels_checker_catches_damage
  COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/checker_mutations.py
    --vortane ${VORTANE_BINARY}
    --extract $<TARGET_FILE:extract_level>
    --check $<TARGET_FILE:check_level>
    --wad ${FREEDOOM_DIR}/freedoom2.wad --level MAP15
    --work ${CMAKE_CURRENT_BINARY_DIR}/levels/levels_checker_catches_damage)
set_tests_properties(levels_checker_catches_damage PROPERTIES LABELS levels TIMEOUT 300)

# Every level turned into the Hexen format (16-byte linedefs, BEHAVIOR after
# BLOCKMAP) first.
add_level_sweep(levels_freedoom1_hexen_final8 ${FREEDOOM_DIR}/freedoom1.wad 8 - --hexen)
add_level_sweep(levels_freedoom2_hexen_turbo24 ${FREEDOOM_DIR}/freedoom2.wad -24 V --hexen)

# A rebuilt level rebuilt once more comes out the same, byte for byte.
add_level_sweep(levels_freedoom1_rebuild_output_final24 ${FREEDOOM_DIR}/freedoom1.wad 24 H --rebuild-output)
add_level_sweep(levels_freedoom2_rebuild_output_turbo1 ${FREEDOOM_DIR}/freedoom2.wad -1 - --rebuild-output)

# Screen mode builds the same bytes as log mode.
add_level_sweep(levels_freedoom2_screen_mode_final8 ${FREEDOOM_DIR}/freedoom2.wad 8 - --screen-too)

# Every level of a whole WAD in one call (level argument *), compared level
# by level with one-level runs of the same file.
foreach(run "freedoom2;-8;-" "freedoom1;24;A")
  list(GET run 0 wad)
  list(GET run 1 mode)
  list(GET run 2 axis)
  add_test(NAME levels_${wad}_every_level_in_one_call
    COMMAND ${Python3_EXECUTABLE} ${INTEGRATION_DIR}/every_level.py
      --vortane ${VORTANE_BINARY}
      --extract $<TARGET_FILE:extract_level>
      --wad ${FREEDOOM_DIR}/${wad}.wad
      --mode=${mode} --axis=${axis}
      --work ${CMAKE_CURRENT_BINARY_DIR}/levels/every_level_${wad})
  set_tests_properties(levels_${wad}_every_level_in_one_call PROPERTIES LABELS levels TIMEOUT 900 COST 20)
endforeach()
