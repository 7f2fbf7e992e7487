# What `make install` puts where, and the Debian package that `make deb`
# (CPack) builds from the same rules: the program, its manual page
# (compressed), the README, the copyright file and the bash completion.

set(TOLMEK_MAINTAINER "tolmek authors <tolmek@example.org>" CACHE STRING
  "Maintainer of the Debian package, name and address")

# Compressed copies: -n leaves out the name and time stamp, so the same text
# always gives the same bytes.
find_program(TOLMEK_GZIP gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
set(_gz_files "")
foreach(_pair "tolmek.1:${PROJECT_SOURCE_DIR}/tolmek.1" "changelog:${PROJECT_BINARY_DIR}/changelog")
  string(REPLACE ":" ";" _pair "${_pair}")
  list(GET _pair 0 _name)
  list(GET _pair 1 _source)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${_name}.gz
    COMMAND ${TOLMEK_GZIP} -9n -c ${_source} > ${PROJECT_BINARY_DIR}/${_name}.gz
    DEPENDS ${_source})
  list(APPEND _gz_files ${PROJECT_BINARY_DIR}/${_name}.gz)
endforeach()
add_custom_target(tolmek_docs ALL DEPENDS ${_gz_files})

install(FILES ${PROJECT_BINARY_DIR}/tolmek.1.gz DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
  ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION share/doc/tolmek)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tolmek.bash-completion
  DESTINATION share/bash-completion/completions RENAME tolmek)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolmek)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the tolmek authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sampling rate converter for PCM WAV and AIFF files")
set(CPACK_PACKAGE_DESCRIPTION "tolmek converts one PCM WAV or AIFF file into another: above all its
sampling rate, with an exact rational L/M windowed-sinc polyphase
converter, and on the way its channels, bits, gain and length. Markers
and loops are carried over to the new rate.")
set(CPACK_PACKAGE_CONTACT "${TOLMEK_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TOLMEK_MAINTAINER}")
include(CPack)
