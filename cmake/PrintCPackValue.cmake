# Prints one variable of a build's CPack configuration, for scripts:
#   cmake -D config=<build>/CPackConfig.cmake -D name=CPACK_PACKAGE_FILE_NAME -P PrintCPackValue.cmake
include(${config})
execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${${name}}")
