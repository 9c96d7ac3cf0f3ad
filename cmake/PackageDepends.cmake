# Read by cpack before it makes the Debian package (CPACK_PROJECT_CONFIG_FILE).
#
# The package's Depends: the libraries the program and its office module
# link, as dpkg-shlibdeps names them on this system, then the office and the
# fonts the template names. dpkg-shlibdeps can name one package more than once
# (on Debian 13 it gives "libstdc++6 (>= 4.1.1), libstdc++6 (>= 13)" for the
# office module); lintian rejects that, so each package is named once, with
# the highest version asked for.

cmake_policy(SET CMP0057 NEW)

if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

find_program(QUORBEL_SHLIBDEPS dpkg-shlibdeps)
find_program(QUORBEL_DPKG dpkg)
if(NOT QUORBEL_SHLIBDEPS OR NOT QUORBEL_DPKG)
  message(FATAL_ERROR "dpkg-shlibdeps (package dpkg-dev) is needed to make the package")
endif()

# dpkg-shlibdeps wants a debian/control next to where it runs.
set(work "${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/quorbel-shlibdeps")
file(MAKE_DIRECTORY "${work}/debian")
file(WRITE "${work}/debian/control" "")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${QUORBEL_SHLIBDEPS} -O ${CPACK_QUORBEL_BINARIES}
  WORKING_DIRECTORY "${work}"
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors
  RESULT_VARIABLE result
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0 OR NOT output MATCHES "shlibs:Depends=([^\n]*)")
  message(FATAL_ERROR "dpkg-shlibdeps failed (${result}): ${errors}")
endif()
string(REPLACE ", " ";" found "${CMAKE_MATCH_1}")

# One entry per package: "name" or "name (>= version)". An entry with
# alternatives ("a | b") is kept as it is, once.
set(names "")
foreach(entry IN LISTS found)
  string(STRIP "${entry}" entry)
  if(entry MATCHES "\\|")
    set(key "${entry}")
    set(version "")
  elseif(entry MATCHES "^([^ (]+) *\\(>= *([^)]+)\\)$")
    set(key "${CMAKE_MATCH_1}")
    set(version "${CMAKE_MATCH_2}")
  elseif(entry MATCHES "^([^ (]+)$")
    set(key "${CMAKE_MATCH_1}")
    set(version "")
  else()
    # Any other relation (=, <<) is kept as it is.
    set(key "${entry}")
    set(version "")
  endif()
  string(MAKE_C_IDENTIFIER "${key}" id)
  if(NOT key IN_LIST names)
    list(APPEND names "${key}")
    set(highest_${id} "${version}")
  elseif(NOT version STREQUAL "")
    if(highest_${id} STREQUAL "")
      set(highest_${id} "${version}")
    else()
      execute_process(COMMAND ${QUORBEL_DPKG} --compare-versions "${version}" gt "${highest_${id}}"
                      RESULT_VARIABLE newer)
      if(newer EQUAL 0)
        set(highest_${id} "${version}")
      endif()
    endif()
  endif()
endforeach()

set(depends "")
foreach(key IN LISTS names)
  string(MAKE_C_IDENTIFIER "${key}" id)
  if(highest_${id} STREQUAL "")
    list(APPEND depends "${key}")
  else()
    list(APPEND depends "${key} (>= ${highest_${id}})")
  endif()
endforeach()
list(APPEND depends ${CPACK_QUORBEL_FIXED_DEPENDS})
list(JOIN depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
message(STATUS "Package Depends: ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
