# The Debian package: everything `cmake --install` puts in place (both programs, the desktop entry,
# the metainfo, the icons, pelmora-cli's manual page and completion), with the shared libraries it
# needs found by dpkg-shlibdeps. `cmake --build --preset release --target package` writes it into
# the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelmora)
set(CPACK_PACKAGE_VENDOR "Pelmora")
set(CPACK_PACKAGE_CONTACT "Pelmora maintainers <maintainers@pelmora.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "move tracks between a ZT-5 recorder card and the PC, write audio CDs")
set(CPACK_PACKAGE_DESCRIPTION
    "Pelmora renders chosen tracks of a recorder song into WAV files on the PC, exports such files\n"
    "back into a song (converting a DAW's files into the song's format on the way), and burns\n"
    "audio CDs or disc images from the recorder's stereo mixdowns. It has a Qt window and a\n"
    "command-line tool, pelmora-cli, over the same core.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its X11 and Wayland platforms as plugins, which no linked library names.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The window follows cards and removes them safely through UDisks2 where the desktop has it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "udisks2")
set(CPACK_STRIP_FILES ON)
include(CPack)
