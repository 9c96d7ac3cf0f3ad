# Finds the LibreOffice SDK: the C++ UNO headers, the UNO runtime libraries of
# the office program, and the header generator cppumaker.
#
# Debian's libreoffice-dev is found without help (/usr/lib/libreoffice/sdk).
# An SDK elsewhere: -DLibreOfficeSDK_ROOT=<sdk folder> (the folder holding
# include/, lib/ and bin/); the office program folder beside it
# (<sdk folder>/../program) is taken unless LibreOfficeSDK_PROGRAM_DIR names
# another one.
#
# Results:
#   LibreOfficeSDK_FOUND
#   LibreOfficeSDK_PROGRAM_DIR   the office program folder whose UNO runtime
#                                is linked (and looked up at run time)
#   LibreOffice::SDK             imported target: include folders (as system
#                                headers), definitions, the UNO runtime
#                                libraries and their run-time path
#
#   libreoffice_generate_uno_headers(<target> TYPES <type>...)
#     Generates the C++ headers of the given UNO types (and of the types they
#     depend on) from the office's type libraries into the build folder, and
#     puts them on <target>'s include path as system headers.

set(_lo_sdk_hints /usr/lib/libreoffice/sdk)
if(DEFINED LibreOfficeSDK_ROOT)
  list(PREPEND _lo_sdk_hints ${LibreOfficeSDK_ROOT})
elseif(DEFINED ENV{LibreOfficeSDK_ROOT})
  list(PREPEND _lo_sdk_hints $ENV{LibreOfficeSDK_ROOT})
endif()

find_path(LibreOfficeSDK_INCLUDE_DIR sal/config.h
    HINTS ${_lo_sdk_hints}
    PATH_SUFFIXES include
    PATHS /usr/include/libreoffice
    DOC "The LibreOffice SDK's C++ header folder")
find_program(LibreOfficeSDK_CPPUMAKER cppumaker
    HINTS ${_lo_sdk_hints}
    PATH_SUFFIXES bin
    NO_DEFAULT_PATH
    DOC "The LibreOffice SDK's UNO header generator")
find_library(LibreOfficeSDK_SAL_LIBRARY uno_sal HINTS ${_lo_sdk_hints} PATH_SUFFIXES lib NO_DEFAULT_PATH)
find_library(LibreOfficeSDK_CPPU_LIBRARY uno_cppu HINTS ${_lo_sdk_hints} PATH_SUFFIXES lib NO_DEFAULT_PATH)
find_library(LibreOfficeSDK_CPPUHELPER_LIBRARY uno_cppuhelpergcc3 HINTS ${_lo_sdk_hints} PATH_SUFFIXES lib NO_DEFAULT_PATH)
mark_as_advanced(LibreOfficeSDK_INCLUDE_DIR LibreOfficeSDK_CPPUMAKER LibreOfficeSDK_SAL_LIBRARY
    LibreOfficeSDK_CPPU_LIBRARY LibreOfficeSDK_CPPUHELPER_LIBRARY)

# The SDK's lib/ holds only development links into the office's program
# folder; the libraries themselves (and the type libraries the headers are
# generated from) live there.
if(LibreOfficeSDK_SAL_LIBRARY AND NOT LibreOfficeSDK_PROGRAM_DIR)
  get_filename_component(_lo_sal_real ${LibreOfficeSDK_SAL_LIBRARY} REALPATH)
  get_filename_component(_lo_program_dir ${_lo_sal_real} DIRECTORY)
  set(LibreOfficeSDK_PROGRAM_DIR ${_lo_program_dir} CACHE PATH
      "The LibreOffice program folder whose UNO runtime is linked")
endif()
set(LibreOfficeSDK_TYPE_LIBRARIES
    ${LibreOfficeSDK_PROGRAM_DIR}/types.rdb ${LibreOfficeSDK_PROGRAM_DIR}/types/offapi.rdb)

set(_lo_types_found TRUE)
foreach(_lo_rdb IN LISTS LibreOfficeSDK_TYPE_LIBRARIES)
  if(NOT EXISTS ${_lo_rdb})
    set(_lo_types_found FALSE)
  endif()
endforeach()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(LibreOfficeSDK
    REQUIRED_VARS LibreOfficeSDK_INCLUDE_DIR LibreOfficeSDK_CPPUMAKER LibreOfficeSDK_SAL_LIBRARY
                  LibreOfficeSDK_CPPU_LIBRARY LibreOfficeSDK_CPPUHELPER_LIBRARY
                  LibreOfficeSDK_PROGRAM_DIR _lo_types_found
    REASON_FAILURE_MESSAGE "Debian: apt-get install --no-install-recommends libreoffice-dev")

if(LibreOfficeSDK_FOUND AND NOT TARGET LibreOffice::SDK)
  add_library(LibreOffice::SDK INTERFACE IMPORTED)
  set(_lo_libraries)
  foreach(_lo_name SAL CPPU CPPUHELPER)
    # Linked by the library file itself (libuno_sal.so.3 in the program
    # folder), so the build's run-time path, and with
    # INSTALL_RPATH_USE_LINK_PATH the installed one, leads to the program
    # folder.
    get_filename_component(_lo_real ${LibreOfficeSDK_${_lo_name}_LIBRARY} REALPATH)
    string(TOLOWER ${_lo_name} _lo_lower)
    add_library(LibreOffice::${_lo_lower} SHARED IMPORTED)
    get_filename_component(_lo_soname ${_lo_real} NAME)
    set_target_properties(LibreOffice::${_lo_lower} PROPERTIES
        IMPORTED_LOCATION ${_lo_real}
        IMPORTED_SONAME ${_lo_soname})
    list(APPEND _lo_libraries LibreOffice::${_lo_lower})
  endforeach()
  set_target_properties(LibreOffice::SDK PROPERTIES
      INTERFACE_INCLUDE_DIRECTORIES ${LibreOfficeSDK_INCLUDE_DIR}
      INTERFACE_COMPILE_DEFINITIONS "LINUX;UNX;CPPU_ENV=gcc3"
      INTERFACE_LINK_LIBRARIES "${_lo_libraries}"
      # The runtime's own dependencies (libuno_salhelpergcc3, ...) are found
      # in the program folder when linking.
      INTERFACE_LINK_OPTIONS "LINKER:-rpath-link,${LibreOfficeSDK_PROGRAM_DIR}")
endif()

function(libreoffice_generate_uno_headers target)
  cmake_parse_arguments(ARG "" "" "TYPES" ${ARGN})
  if(NOT ARG_TYPES)
    message(FATAL_ERROR "libreoffice_generate_uno_headers: no TYPES given")
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_uno_include)
  set(stamp ${out}/.generated)
  # The list of types is part of the command, so changing it regenerates.
  list(TRANSFORM ARG_TYPES PREPEND "-T" OUTPUT_VARIABLE type_args)
  add_custom_command(
      OUTPUT ${stamp}
      COMMAND ${CMAKE_COMMAND} -E rm -rf ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
      COMMAND ${LibreOfficeSDK_CPPUMAKER} -O${out} ${type_args} ${LibreOfficeSDK_TYPE_LIBRARIES}
      COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
      DEPENDS ${LibreOfficeSDK_TYPE_LIBRARIES}
      COMMENT "Generating the UNO API headers ${target} uses"
      VERBATIM)
  add_custom_target(${target}_uno_headers DEPENDS ${stamp})
  add_dependencies(${target} ${target}_uno_headers)
  target_include_directories(${target} SYSTEM PRIVATE ${out})
endfunction()
