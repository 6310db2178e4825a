# SPDX-License-Identifier: GPL-2.0-or-later
# `cmake --install` into a temporary prefix, the installed programs run on
# the sample level, and the Debian package of the same files. Label: install.
add_test(NAME install.prefix_and_package
  COMMAND ${INTEGRATION_DIR}/install_test.sh ${CMAKE_COMMAND} ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}
    ${CMAKE_SOURCE_DIR} ${PROJECT_VERSION})
set_tests_properties(install.prefix_and_package PROPERTIES LABELS install TIMEOUT 120)
