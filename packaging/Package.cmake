# The Debian package (scripts/package.sh runs cpack -G DEB in a configured build).
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "quorvantix")
set(CPACK_PACKAGE_VENDOR "Quorvantix")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Quorvantix Developers <developers@quorvantix.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "provision home gateways in bulk over raw Ethernet frames")
# The synopsis is the summary above; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quorvantix configures routers and GPON optical network terminals by the
batch on a provisioning bench: it finds every device on one Ethernet
segment by its MAC address, exports a spreadsheet of per-device values,
checks it, and pushes to every device its own rewritten configuration
and a logo in acknowledged raw Ethernet frames (EtherType 0x6262).

The package holds the desktop program, a command-line program for
scripted batches, a device emulator for demonstrations and tests, and a
Wireshark dissector for the frames. Raw frames are opened by a small
helper that only members of the group quorvantix may run.")
# The installed programs find their resources from their own folder, so the
# package prefix is /usr whatever the build was configured with.
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_RELEASE "1")
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# Library dependencies come from dpkg-shlibdeps; the maintainer scripts need
# addgroup and setcap.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libcap2-bin")
# Chinese texts need a CJK font; Qt's own texts come translated from qt6-translations-l10n.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "tshark | wireshark")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst;${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
