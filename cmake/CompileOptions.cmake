# The compile options every target of the project builds with, and the
# build's switches a packager or a developer sets.
#
#   QUORBEL_WARNINGS_AS_ERRORS  -Werror on top of the common warnings
#                               (continuous integration; off for users, so a
#                               newer compiler's new warning breaks no build)
#   QUORBEL_SANITIZERS          builds with AddressSanitizer and
#                               UndefinedBehaviorSanitizer (tests)
#
# The options are the INTERFACE target quorbel_options: every library,
# executable, test, benchmark and fuzz target links it (PRIVATE), next to its
# other libraries. Headers of other projects are system headers (imported targets' include
# folders, the generated UNO headers) and give no warnings.

option(QUORBEL_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
option(QUORBEL_SANITIZERS "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_library(quorbel_options INTERFACE)
# -Wold-style-cast is for C++ only (the tests' session manager is C).
target_compile_options(quorbel_options INTERFACE
    -Wall -Wextra -Wpedantic $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast> -Wshadow
    $<$<BOOL:${QUORBEL_WARNINGS_AS_ERRORS}>:-Werror>)
target_compile_definitions(quorbel_options INTERFACE
    # Text becomes a QString only by an explicit choice of its encoding, and
    # a QString becomes bytes the same way.
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

if(QUORBEL_SANITIZERS)
  # The vptr check is off: the office's UNO headers trip it falsely across
  # the office's libraries.
  set(quorbel_sanitize -fsanitize=address,undefined)
  target_compile_options(quorbel_options INTERFACE
      ${quorbel_sanitize} -fno-sanitize=vptr -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  # The sanitizers' checks on every access make GCC's "may be used
  # uninitialized" analysis see the storage of a std::variant as
  # uninitialized where it is not (GCC 12: QMap<..., std::variant> in the
  # tests' fake spreadsheet and their cell lists). The plain build, which
  # compiles the same code, keeps the warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(quorbel_options INTERFACE -Wno-maybe-uninitialized)
  endif()
  target_link_options(quorbel_options INTERFACE ${quorbel_sanitize})
endif()

# The libraries that must stay free of widgets. They see none of the
# project's widget headers (a library sees only the include folders of the
# libraries it links), and a Qt Widgets header included there finds the
# stand-in in cmake/widget-free/ before Qt's own and stops the build.
function(quorbel_widget_free)
  foreach(target IN LISTS ARGN)
    target_include_directories(${target} BEFORE PRIVATE ${PROJECT_SOURCE_DIR}/cmake/widget-free)
  endforeach()
endfunction()
