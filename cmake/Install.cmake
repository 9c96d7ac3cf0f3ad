# Install rules of the program and its desktop integration, and the Debian
# package made from them (cpack -G DEB, through `cmake --build <dir> --target
# package`).

install(TARGETS quorbel RUNTIME DESTINATION ${QUORBEL_INSTALL_PROGRAM_DIR})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install)
file(CREATE_LINK ../${QUORBEL_INSTALL_PROGRAM_DIR}/quorbel ${CMAKE_BINARY_DIR}/install/quorbel SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install/quorbel DESTINATION ${CMAKE_INSTALL_BINDIR})

# The package is made for the Debian release it is built on: its Depends come
# from that system's libraries (Debian 12's libpoppler-cpp0v5 is
# libpoppler-cpp2 on 13), so a package of one release does not install on
# the other. The release is part of the version and so of the file name:
# quorbel_1.0.0~deb12_amd64.deb, quorbel_1.0.0~deb13_amd64.deb. ("~" sorts
# before everything: a plain 1.0.0 would replace either.) The release is
# the one /etc/os-release names.
cmake_host_system_information(RESULT quorbel_os_id QUERY DISTRIB_ID)
cmake_host_system_information(RESULT quorbel_os_version QUERY DISTRIB_VERSION_ID)
set(quorbel_release_suffix "")
if(quorbel_os_id STREQUAL "debian" AND quorbel_os_version MATCHES "^[0-9]+$")
  set(quorbel_release_suffix "~deb${quorbel_os_version}")
endif()
set(QUORBEL_PACKAGE_RELEASE_SUFFIX "${quorbel_release_suffix}" CACHE STRING
    "What the package version carries after the program's version (the Debian release it is made for)")
set(QUORBEL_PACKAGE_VERSION "${PROJECT_VERSION}${QUORBEL_PACKAGE_RELEASE_SUFFIX}" CACHE INTERNAL
    "The Debian package's version")

set(QUORBEL_APP_ID com.marvesk.quorbel)
install(FILES resources/${QUORBEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The metainfo names its developer in AppStream 1.0's form (<developer>).
# Debian 12's AppStream (0.16) knows only the older <developer_name>, which
# its software centres show, so a package for Debian 12 carries that form.
set(quorbel_metainfo ${CMAKE_BINARY_DIR}/install/${QUORBEL_APP_ID}.metainfo.xml)
file(READ resources/${QUORBEL_APP_ID}.metainfo.xml quorbel_metainfo_text)
if(quorbel_os_id STREQUAL "debian" AND quorbel_os_version MATCHES "^[0-9]+$"
   AND quorbel_os_version LESS 13)
  string(REGEX REPLACE "<developer id=\"[^\"]*\">[ \n]*<name>([^<]*)</name>[ \n]*</developer>"
         "<developer_name>\\1</developer_name>" quorbel_metainfo_text "${quorbel_metainfo_text}")
  if(NOT quorbel_metainfo_text MATCHES "<developer_name>")
    message(FATAL_ERROR "The metainfo's <developer> could not be written as <developer_name>")
  endif()
endif()
file(CONFIGURE OUTPUT ${quorbel_metainfo} CONTENT "${quorbel_metainfo_text}" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS resources/${QUORBEL_APP_ID}.metainfo.xml)
install(FILES ${quorbel_metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 48 64 128 256)
  install(FILES resources/icons/hicolor/${size}x${size}/apps/quorbel.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Documentation files are compressed the way Debian's tools do it: gzip -9n,
# so the package is the same from one build to the next.
find_program(QUORBEL_GZIP gzip REQUIRED)
function(quorbel_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${QUORBEL_GZIP} -9nc ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()
set(doc_out ${CMAKE_BINARY_DIR}/install)
quorbel_gzip(${PROJECT_SOURCE_DIR}/resources/debian/changelog ${doc_out}/changelog.gz)
quorbel_gzip(${PROJECT_SOURCE_DIR}/resources/quorbel.1 ${doc_out}/quorbel.1.gz)
add_custom_target(quorbel_docs ALL DEPENDS ${doc_out}/changelog.gz ${doc_out}/quorbel.1.gz)
install(FILES resources/debian/copyright ${doc_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorbel)
install(FILES ${doc_out}/quorbel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES resources/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME quorbel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorbel)
set(CPACK_PACKAGE_VENDOR "Team Marvesk")
set(CPACK_PACKAGE_CONTACT "Team Marvesk <quorbel@marvesk.com>")
set(CPACK_PACKAGE_VERSION ${QUORBEL_PACKAGE_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns a short to-do list into a spreadsheet workbook")
# The file name Debian's tools give a package: quorbel_<version>_<arch>.deb.
# scripts/check-package.sh reads it from the CPack configuration.
execute_process(COMMAND dpkg --print-architecture
    OUTPUT_VARIABLE quorbel_deb_arch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT quorbel_deb_arch)
  set(quorbel_deb_arch amd64)
endif()
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${quorbel_deb_arch})
set(CPACK_PACKAGE_FILE_NAME "quorbel_${QUORBEL_PACKAGE_VERSION}_${quorbel_deb_arch}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.marvesk.com/")
# CPack puts the summary in front and indents every line of this text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorbel keeps a deadline, the person who is to complete the work, a project
name and a short list of to-do entries (due date, project, notes, done mark)
between runs. One click fills its workbook template through LibreOffice Calc,
saves a 97-2003 workbook (.xls) and shows a picture of the filled sheet, which
can be zoomed, scrolled and saved under a name of the user's choice.")
# What dpkg-shlibdeps finds for the program and the office module, each
# package once (cmake/PackageDepends.cmake, read when cpack runs), and the
# office and the fonts the template names.
set(CPACK_QUORBEL_BINARIES ${QUORBEL_BIN_DIR}/quorbel ${QUORBEL_BIN_DIR}/quorbel_libreoffice.so)
set(CPACK_QUORBEL_FIXED_DEPENDS
    "libreoffice-calc-nogui | libreoffice-calc" "libreoffice-draw-nogui | libreoffice-draw" fonts-wine fonts-liberation)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/PackageDepends.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
