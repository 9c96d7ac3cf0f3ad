# Install rules of the program and its desktop integration, and the Debian
# package made from them (cpack -G DEB, through `cmake --build <dir> --target
# package`).

install(TARGETS quorbel RUNTIME DESTINATION ${QUORBEL_INSTALL_PROGRAM_DIR})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install)
file(CREATE_LINK ../${QUORBEL_INSTALL_PROGRAM_DIR}/quorbel ${CMAKE_BINARY_DIR}/install/quorbel SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install/quorbel DESTINATION ${CMAKE_INSTALL_BINDIR})

set(QUORBEL_APP_ID com.marvesk.quorbel)
install(FILES resources/${QUORBEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/${QUORBEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
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
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns a short to-do list into a spreadsheet workbook")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.marvesk.com/")
# CPack puts the summary in front and indents every line of this text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorbel keeps a deadline, the person who is to complete the work, a project
name and a short list of to-do entries (due date, project, notes, done mark)
between runs. One click fills its workbook template through LibreOffice Calc,
saves a 97-2003 workbook (.xls) and shows a picture of the filled sheet, which
can be zoomed, scrolled and saved under a name of the user's choice.")
# What dpkg-shlibdeps finds, and the office and the fonts the template names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libreoffice-calc-nogui | libreoffice-calc, libreoffice-draw-nogui | libreoffice-draw, fonts-wine, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
