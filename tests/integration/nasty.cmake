# SPDX-License-Identifier: GPL-2.0-or-later
# Hostile inputs: one test per case, each made by make_nasty and run by
# nasty_run.sh, which checks the exit code, the exact log line, the input
# and any earlier output kept, and no temporary file left behind.
set(NASTY_RUN ${INTEGRATION_DIR}/nasty_run.sh)

# nasty_case(NAME EXIT [CASE case] [LEVEL marker] [OUTPUT mode] [SOUND]
#            [STACK KiB] [AXIS letter] [ERROR message | LINE line | NO_LOG])
# SOUND: the rebuilt level must also pass check_level. STACK: the run's stack
# is limited to that many KiB.
function(nasty_case name exit_code)
  cmake_parse_arguments(N "NO_LOG;SOUND" "CASE;LEVEL;OUTPUT;ERROR;LINE;TIMEOUT;STACK;AXIS" "" ${ARGN})
  if(NOT N_CASE)
    set(N_CASE ${name})
  endif()
  set(args --vortane ${VORTANE_BINARY} --make $<TARGET_FILE:make_nasty> --case ${N_CASE} --exit ${exit_code})
  if(N_OUTPUT)
    list(APPEND args --output ${N_OUTPUT})
  endif()
  if(N_LEVEL)
    list(APPEND args --level ${N_LEVEL})
  endif()
  if(N_AXIS)
    list(APPEND args --axis ${N_AXIS})
  endif()
  if(N_STACK)
    list(APPEND args --stack ${N_STACK})
  endif()
  if(N_SOUND)
    list(APPEND args --check-level $<TARGET_FILE:check_level>)
  endif()
  if(DEFINED N_ERROR)
    list(APPEND args --error "${N_ERROR}")
  elseif(DEFINED N_LINE)
    list(APPEND args --line "${N_LINE}")
  elseif(N_NO_LOG)
    list(APPEND args --no-log)
  endif()
  if(NOT N_TIMEOUT)
    set(N_TIMEOUT 120)
  endif()
  add_test(NAME nasty.${name} COMMAND bash ${NASTY_RUN} ${args})
  set_tests_properties(nasty.${name} PROPERTIES LABELS nasty TIMEOUT ${N_TIMEOUT})
endfunction()

set(SAVED "Saved          MAP01 PWAD : out.wad")
set(TOO_LARGE_TAIL "too large !!  This level can't be played, press a key:")

# Coordinates at the ends of the 16-bit range: the grid origin is held at
# -32768; a level spanning both axes has too many blocks to be played.
nasty_case(wide-x 0 SOUND LINE "${SAVED}")
nasty_case(wide-both 254 LINE "!! Blocksize=263169 ${TOO_LARGE_TAIL}")
# Node directions longer than 16 bits keep their line: the axis line across
# two rooms 64000 units apart, and walls 64000 units long, along x and
# slanted.
nasty_case(wide-two-rooms 0 AXIS H SOUND LINE "${SAVED}")
nasty_case(long-wall 0 SOUND LINE "${SAVED}")
nasty_case(long-diagonal-wall 0 SOUND LINE "${SAVED}")

# Degenerate geometry. Zero-length walls are accepted, but not checked as a
# sound partition: the partition rule may take a zero-length seg as the
# partition line (against it every seg is collinear), which gives a node
# line of zero length.
nasty_case(zero-length-lines 0 LINE "${SAVED}")
nasty_case(zero-length-cut 0 LINE "${SAVED}")
nasty_case(all-collinear 0 SOUND LINE "${SAVED}")
nasty_case(single-linedef 0 SOUND LINE "${SAVED}")
# A tree 1000 deep is built and written within a 64 KiB stack: the tree is
# walked with stacks of its own, never by recursion.
nasty_case(deep-tree 0 SOUND STACK 64 LINE "${SAVED}")
nasty_case(no-used-side 10 ERROR "No Segs found")
nasty_case(bad-side-numbers 0 SOUND LINE "${SAVED}")

# Vertex numbers.
nasty_case(vertex-equal-count 10 ERROR "vertex in linedef 2 not valid 2,4 ?")
nasty_case(vertex-past-16-bits 10 ERROR "vertex in linedef 2 not valid 2,-32768 ?")
nasty_case(all-vertex-numbers 0 SOUND LINE "${SAVED}")

# The directory and the file.
nasty_case(not-a-pwad 10 ERROR "File in.wad is not a PWAD")
nasty_case(no-entries 10 ERROR "File in.wad has no entries?")
nasty_case(short-file 10 ERROR "File in.wad is too short to be a WAD")
nasty_case(directory-past-end 10 ERROR "File in.wad has its directory outside the file")
nasty_case(negative-directory 10 ERROR "File in.wad has its directory outside the file")
nasty_case(lump-past-end 10 ERROR "File in.wad: entry 3 (SIDEDEFS) lies outside the file")
nasty_case(negative-size 10 ERROR "File in.wad: entry 2 (LINEDEFS) has a negative size")
nasty_case(negative-offset 10 ERROR "File in.wad: entry 4 (VERTEXES) lies outside the file")
nasty_case(empty-lump-anywhere 0 SOUND LINE "${SAVED}")
nasty_case(too-many-entries 10 ERROR "File in.wad has too many entries")
nasty_case(missing-blockmap 10 ERROR "Level MAP01: entry 10 is missing, expected BLOCKMAP")
nasty_case(lumps-out-of-order 10 ERROR "Level MAP01: entry 8 is REJECT, expected SECTORS")

# Names: compared up to the first NUL; eight characters need none.
nasty_case(names-junk-after-nul 0 SOUND LINE "${SAVED}")
nasty_case(names-full-eight 0 SOUND LEVEL LONGNAME LINE "Saved          LONGN PWAD : out.wad")
nasty_case(names-space-padded 10 ERROR "Cannot find THINGS")

# Counts past the limits of the lumps.
nasty_case(too-many-sectors 10 ERROR "Too many sectors: 32769, the limit is 32768")
nasty_case(too-many-linedefs 10 ERROR "Too many linedefs: 65536, the limit is 65535")
# A grid of 182 x 182 crossing walls: the cuts push the vertexes past the
# limit (the subsectors, checked after them, would pass theirs too).
nasty_case(too-many-vertexes 10 ERROR "Too many vertexes: 67708, the limit is 65536" TIMEOUT 600)

# Blockmap limits.
nasty_case(blocks-32000 0 SOUND LINE "${SAVED}")
nasty_case(blocks-over-32000 254 LINE "!! Blocksize=32004 ${TOO_LARGE_TAIL}")
nasty_case(blockmap-offsets 254 LINE "!! Blocksize=20000 ${TOO_LARGE_TAIL}")

# Output paths.
nasty_case(output-replaced 0 CASE room SOUND LINE "${SAVED}")
nasty_case(output-fresh 0 CASE room OUTPUT fresh LINE "${SAVED}")
nasty_case(output-folder 10 CASE room OUTPUT folder ERROR "Could not open output PWAD file out.wad")
nasty_case(output-read-only 10 CASE room OUTPUT read-only ERROR "Could not open output PWAD file out.wad")
nasty_case(output-no-folder 10 CASE room OUTPUT no-folder
  ERROR "Could not open output PWAD file no/such/folder/out.wad")
nasty_case(output-dot-input 10 CASE room OUTPUT dot-input ERROR "filenames are duplicated ./in.wad")
nasty_case(output-hard-link 10 CASE room OUTPUT hard-link ERROR "filenames are duplicated link.wad")
nasty_case(output-symlink 10 CASE room OUTPUT symlink ERROR "filenames are duplicated sym.wad")
nasty_case(log-not-creatable 99 CASE room OUTPUT log-folder NO_LOG)
# A fatal error after the output was created: the earlier file stays, and
# without one nothing is left at the output path.
nasty_case(fatal-keeps-earlier 10 CASE no-used-side ERROR "No Segs found")
nasty_case(fatal-leaves-nothing 10 CASE no-used-side OUTPUT fresh ERROR "No Segs found")
