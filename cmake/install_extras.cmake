# What a desktop system expects beside the three programs, in the places
# GNUInstallDirs names: udev rules, desktop entry, icons, AppStream metainfo,
# manual pages, bash completion and the Debian documentation files. Then the
# Debian package (cpack -G DEB, see scripts/package).

# The date of the release named by the project version; update them together.
set(MODEM_RELEASE_DATE 2026-12-07)
# The desktop entry and the metainfo are named after this identifier.
set(MODEM_APP_ID org.modemcfg.modemcfg)
set(MODEM_PACKAGE_MAINTAINER "modemcfg maintainers <modemcfg@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(extras_dir ${PROJECT_BINARY_DIR}/install-extras)
find_program(GZIP_EXECUTABLE gzip REQUIRED)

# udev reads rules from <prefix>/lib/udev/rules.d whatever the library folder
# of the architecture is, so this is not CMAKE_INSTALL_LIBDIR.
install(FILES ${PROJECT_SOURCE_DIR}/res/udev/60-radio-modem.rules DESTINATION lib/udev/rules.d)

install(FILES ${PROJECT_SOURCE_DIR}/res/desktop/${MODEM_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${PROJECT_SOURCE_DIR}/res/desktop/${MODEM_APP_ID}.metainfo.xml.in
               ${extras_dir}/${MODEM_APP_ID}.metainfo.xml @ONLY)
install(FILES ${extras_dir}/${MODEM_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

foreach(size 16 32 48 64 128)
    install(FILES ${PROJECT_SOURCE_DIR}/res/icons/modem-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME modemcfg.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/res/icons/modem.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME modemcfg.svg)

install(FILES ${PROJECT_SOURCE_DIR}/res/completion/modemctl
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Compressed files carry no name or time stamp (-n), so that the package's
# contents depend on the sources only.
function(modem_gzip_at_build source output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${GZIP_EXECUTABLE} -9nc ${source} > ${output}
        DEPENDS ${source}
        VERBATIM)
endfunction()

# Manual pages: the version and date go in at configure time.
set(man_outputs)
foreach(page modemcfg modemctl modem-sim)
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1.in ${extras_dir}/man/${page}.1 @ONLY)
    modem_gzip_at_build(${extras_dir}/man/${page}.1 ${extras_dir}/man/${page}.1.gz)
    list(APPEND man_outputs ${extras_dir}/man/${page}.1.gz)
    install(FILES ${extras_dir}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The Debian changelog and copyright go with every installation; a package
# without them is incomplete.
execute_process(COMMAND date -u -R -d "${MODEM_RELEASE_DATE}"
                OUTPUT_VARIABLE changelog_date OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${extras_dir}/changelog @ONLY)
modem_gzip_at_build(${extras_dir}/changelog ${extras_dir}/changelog.gz)
install(FILES ${extras_dir}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

add_custom_target(modem_install_extras ALL DEPENDS ${man_outputs} ${extras_dir}/changelog.gz)

# ---- Debian package ----

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME modemcfg)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${MODEM_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configurator and test bench for a dual-band radio modem")
# The extended description; cpack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Reads, edits, writes and tests the settings of the ZULK TARNO radio modem
(a VHF radio with 16 channels, an MF radio with three fixed channels and four
interface ports), attached by USB as a serial port.

The package holds three programs: modemcfg, a Qt dialog; modemctl, the same
operations from the command line; and modem-sim, a simulated modem on a
pseudo-terminal for trying both out. Its udev rules let the logged-in user and
the dialout group use the modem and keep ModemManager away from it.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the libraries the programs link, nothing listed by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
