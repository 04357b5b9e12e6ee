# Install rules and the Debian package.
#
# Installed layout: the programs in bin/; what the program reads (the same files
# as the build's program directory) in share/velorinder/; the desktop entry,
# icons, AppStream metadata and man pages where desktops and man look for them.
include(GNUInstallDirs)

set(VELORINDER_APP_ID org.velorinder.Velorinder)
set(VELORINDER_DATA_DIR ${CMAKE_INSTALL_DATADIR}/velorinder)
# Date of the release that project() names: change the two together.
set(VELORINDER_RELEASE_DATE 2026-12-08)
set(PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS velorinder velorinder-cli)

# The resources come from the lists their own folders build, so that an image
# or a language added there is installed too.
get_directory_property(toolbar_images DIRECTORY resources/toolbar DEFINITION TOOLBAR_IMAGES)
get_directory_property(help_files DIRECTORY resources/help DEFINITION HELP_FILES)
if(NOT toolbar_images OR NOT help_files)
    message(FATAL_ERROR "install: the toolbar images or the help files are not known")
endif()
install(FILES ${PROGRAM_DIR}/VELORPNL.UIR ${PROGRAM_DIR}/velorind.xl ${help_files}
        DESTINATION ${VELORINDER_DATA_DIR})
install(FILES ${toolbar_images} DESTINATION ${VELORINDER_DATA_DIR}/toolbar)

# Desktop entry, icons and AppStream metadata, all named by the application id.
install(FILES ${PACKAGING_DIR}/${VELORINDER_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The file types it opens; shared-mime-info's trigger updates the database
# when the package is installed or removed.
install(FILES ${PACKAGING_DIR}/${VELORINDER_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
configure_file(${PACKAGING_DIR}/${VELORINDER_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/${VELORINDER_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${VELORINDER_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${PACKAGING_DIR}/icons/velorinder-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${VELORINDER_APP_ID}.png)
endforeach()
install(FILES ${PACKAGING_DIR}/icons/velorinder.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${VELORINDER_APP_ID}.svg)

# Man pages, compressed as Debian has them; one per program, whoever wrote it.
file(GLOB MAN_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/man/*.1)
set(man_outputs)
foreach(page ${MAN_PAGES})
    get_filename_component(name ${page} NAME)
    set(output ${CMAKE_BINARY_DIR}/man/${name}.gz)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9 -n -c ${page} > ${output}
        DEPENDS ${page}
        COMMENT "Compressing the man page ${name}")
    list(APPEND man_outputs ${output})
endforeach()
add_custom_target(velorinder_man ALL DEPENDS ${man_outputs})
# Building only the program (as ./run does) still leaves everything to install.
add_dependencies(velorinder velorinder_man)
install(FILES ${man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# A native package's changelog, compressed as Debian policy wants it; its first
# entry names the version project() gives.
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
    OUTPUT ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9 -n -c ${PACKAGING_DIR}/changelog > ${changelog_gz}
    DEPENDS ${PACKAGING_DIR}/changelog
    COMMENT "Compressing the changelog")
add_custom_target(velorinder_changelog ALL DEPENDS ${changelog_gz})
add_dependencies(velorinder velorinder_changelog)
install(FILES ${PACKAGING_DIR}/copyright ${changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velorinder)

# The installed tree: validators on the desktop entry and the metadata, every
# resource and man page in its place.
add_test(NAME package
         COMMAND ${CMAKE_SOURCE_DIR}/tests/package/installed_tree.sh
                 ${CMAKE_BINARY_DIR} ${VELORINDER_APP_ID})

# The Debian package as cpack makes it, checked by lintian when it is there.
add_test(NAME package_lintian
         COMMAND ${CMAKE_SOURCE_DIR}/tests/package/lintian.sh ${CMAKE_BINARY_DIR}
                 ${PROJECT_VERSION})
set_tests_properties(package_lintian PROPERTIES SKIP_RETURN_CODE 77)

# Debian package: cpack -G DEB in the build folder, once the programs are built.
# Installing and packaging build nothing themselves, or cpack would first build
# every test, benchmark and fuzz target.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velorinder)
set(CPACK_PACKAGE_VENDOR "The Velorinder maintainers")
set(CPACK_PACKAGE_CONTACT "The Velorinder maintainers <maintainers@velorinder.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "download, view and export the recordings of the RD5150 speed meter")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Velorinder serves the RD5150 hand-held rotation and speed meter: it finds the
instrument on a serial port, downloads its recordings and shows each as a curve
in a graph window with cursors, zoom, scales, colours, labels and alarm lines.
It derives position, acceleration and moving-average curves, saves and opens
recording files, exports workbooks and prints, in French, English, German,
Spanish and Italian.

The package also holds velorinder-cli, which downloads and converts recordings
without a window, and rd5150-sim, an instrument simulator for demonstration
and training.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
# The libraries the programs link come from dpkg-shlibdeps; the help engine
# loads its SQLite driver as a plugin, which no linker sees.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
# Qt's own dialogs (file, print, colour) in the chosen language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
