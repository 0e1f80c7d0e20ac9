# The Debian package: `cmake --build build --target package` (or `cpack -G DEB` in the build
# folder) makes quillon_<version>_amd64.deb of what `cmake --install` installs, under /usr.

set(QUILLON_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillon)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${QUILLON_DOC_DIR})
# Debian wants the changelog of a package without a Debian revision as changelog.gz.
find_program(GZIP gzip REQUIRED)
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
    COMMAND ${GZIP} -9n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${changelog_gz}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
add_custom_target(package_changelog ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} DESTINATION ${QUILLON_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "Quillon developers")
set(CPACK_PACKAGE_CONTACT "Quillon developers <dev@quillon.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "news reader with a Chinese interface / 中文新闻阅读器")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_CURRENT_LIST_DIR}/description.txt)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps; what they only use at run time
# is recommended: fonts that draw Chinese, Qt's Chinese texts, xdg-open for links when the
# desktop's own way fails, and libsecret for the desktop's keyring (opened when a password is
# first kept; without it passwords go to the data folder's private file).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n, xdg-utils, libsecret-1-0")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
