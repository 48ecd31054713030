# Installation layout and the Debian package (cpack -G DEB, see scripts/package).
include(GNUInstallDirs)

set(KALINDA_PACKAGE_MAINTAINER "KalindaApp developers <kalinda@sekolah.sch.id>"
    CACHE STRING "Maintainer field and changelog signature of the Debian package")
# Filled into the manual page, the changelog and the package test.
set(VERSION ${PROJECT_VERSION})
set(KALINDA_PACKAGING_DIR "${PROJECT_SOURCE_DIR}/packaging")
set(KALINDA_PACKAGING_OUT "${CMAKE_BINARY_DIR}/packaging")

# Debian wants the manual page and the changelog compressed, without time stamps.
foreach(page kalinda.1 changelog)
    configure_file("${KALINDA_PACKAGING_DIR}/${page}" "${KALINDA_PACKAGING_OUT}/${page}" @ONLY)
    add_custom_command(OUTPUT "${KALINDA_PACKAGING_OUT}/${page}.gz"
        COMMAND gzip -9nf -k "${KALINDA_PACKAGING_OUT}/${page}"
        DEPENDS "${KALINDA_PACKAGING_OUT}/${page}"
        VERBATIM)
endforeach()
add_custom_target(kalinda_docs ALL DEPENDS
    "${KALINDA_PACKAGING_OUT}/kalinda.1.gz" "${KALINDA_PACKAGING_OUT}/changelog.gz")

# It carries the database password: never readable by others, not even before the package's
# owner and mode (preinst, postinst) apply to it.
install(TARGETS kalinda RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/sql/" DESTINATION ${CMAKE_INSTALL_DATADIR}/kalinda/sql)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kalinda)
# The README links to docs/ and shows one of its screenshots, so both travel with it.
install(DIRECTORY "${PROJECT_SOURCE_DIR}/docs/" DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kalinda/docs
    FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
install(FILES "${KALINDA_PACKAGING_OUT}/changelog.gz" "${KALINDA_PACKAGING_DIR}/copyright"
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kalinda)
install(FILES "${KALINDA_PACKAGING_OUT}/kalinda.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES "${KALINDA_PACKAGING_DIR}/lintian-overrides"
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kalinda)
install(PROGRAMS "${KALINDA_PACKAGING_DIR}/kalinda-session"
    DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/kalinda)
# Debian 12 keeps units and defaults outside the prefix.
# The daily audit's timer is shipped disabled: it belongs on the office's PC or the server.
install(FILES "${KALINDA_PACKAGING_DIR}/kalinda.service"
    "${KALINDA_PACKAGING_DIR}/kalinda-audit.service" "${KALINDA_PACKAGING_DIR}/kalinda-audit.timer"
    DESTINATION /lib/systemd/system)
install(FILES "${KALINDA_PACKAGING_DIR}/kalinda.default" DESTINATION /etc/default
    RENAME kalinda)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalinda)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KALINDA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-service kiosk for cashless student savings")
# Lines kept short for dpkg: one per line of the control file.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "KalindaApp is the kiosk of a boarding school's cashless savings accounts."
    "Students tap an ID card, type a PIN and pay products, fees and donations,"
    "transfer to a friend, order from the school shop, read their statement and"
    "arrears, change the PIN or block a lost card. Postings go to the school's"
    "MariaDB server; receipts are printed raw through CUPS."
    ""
    "The package includes a kiosk session (kalinda.service) that runs the"
    "program full screen under the cage compositor on tty1, and a daily audit"
    "of the kiosks' postings (kalinda-audit.timer, not enabled).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links are found by dpkg-shlibdeps; the session needs the
# compositor (which will not start without Xwayland), Qt's Wayland platform and a logind
# session for the seat.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "cage, xwayland, qt6-wayland, libpam-systemd, adduser")
# The preinst makes the user that owns the program before it is unpacked.
set(CPACK_DEBIAN_PACKAGE_PREDEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups, systemd-timesyncd | time-daemon")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${KALINDA_PACKAGING_DIR}/conffiles" "${KALINDA_PACKAGING_DIR}/preinst"
    "${KALINDA_PACKAGING_DIR}/postinst"
    "${KALINDA_PACKAGING_DIR}/prerm" "${KALINDA_PACKAGING_DIR}/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
