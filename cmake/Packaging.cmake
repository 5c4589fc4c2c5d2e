# Installing the program with its desktop entry and icons, and the Debian package built from that.
include(GNUInstallDirs)

# Exec holds the installed path bare when it is plain, as xdg-open's fallback needs; else quoted.
set(larkspire_program "${CMAKE_INSTALL_FULL_BINDIR}/larkspire")
if(larkspire_program MATCHES "^[A-Za-z0-9/._+,:@-]+$")
  set(larkspire_exec "${larkspire_program}")
else()
  string(REPLACE "\\" "\\\\\\\\" escaped "${larkspire_program}")
  foreach(special "\"" "`" "$")
    string(REPLACE "${special}" "\\\\${special}" escaped "${escaped}")
  endforeach()
  string(REPLACE "%" "%%" escaped "${escaped}")
  set(larkspire_exec "\"${escaped}\"")
endif()
file(READ ${CMAKE_SOURCE_DIR}/data/larkspire.desktop larkspire_entry)
string(REPLACE "@LARKSPIRE@" "${larkspire_exec}" larkspire_entry "${larkspire_entry}")
file(WRITE ${CMAKE_BINARY_DIR}/larkspire.desktop "${larkspire_entry}")

install(TARGETS larkspire RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/larkspire.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/src/platform/qt/drawing/icons/larkspire.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# By name, so trays that recolour symbolic icons to the panel's text colour can.
install(FILES ${CMAKE_SOURCE_DIR}/src/platform/qt/drawing/icons/larkspire-symbolic.svg
              ${CMAKE_SOURCE_DIR}/src/platform/qt/drawing/icons/larkspire-cut-symbolic.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/symbolic/apps)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/larkspire)
# Smooth scrolling: the udev rule gives the user at the seat the mice and /dev/uinput, never the
# keyboards; the uinput module loads at every start. Under /usr udev reads the rule itself; from any
# other prefix (make install) root copies it to /etc/udev/rules.d, as scripts/udev-rule.sh says.
install(FILES ${CMAKE_SOURCE_DIR}/data/70-larkspire.rules DESTINATION lib/udev/rules.d)
install(FILES ${CMAKE_SOURCE_DIR}/data/larkspire-uinput.conf DESTINATION lib/modules-load.d
        RENAME larkspire.conf)

# Debian wants a copyright file and a compressed changelog beside the documentation.
set(LARKSPIRE_PACKAGE_CONTACT "Larkspire <larkspire@localhost>" CACHE STRING "Maintainer of the Debian package")
file(WRITE ${CMAKE_BINARY_DIR}/changelog
     "larkspire (${PROJECT_VERSION}) unstable; urgency=medium\n\n  * Package of version ${PROJECT_VERSION}.\n\n"
     " -- ${LARKSPIRE_PACKAGE_CONTACT}  Mon, 07 Dec 2026 12:00:00 +0000\n")
execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/changelog)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${CMAKE_SOURCE_DIR}/data/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/larkspire)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME larkspire)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${LARKSPIRE_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small improvements for file managers and the mouse")
set(CPACK_PACKAGE_DESCRIPTION "A tray program: new files from the file manager's menu, the cut state\n"
                              "on its icon, smooth scrolling and desktop widgets.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The rule applies to the devices already there at installation, not only after a reboot.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/data/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
