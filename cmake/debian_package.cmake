# `cpack -G DEB` (`make package`): the Debian package of the program, installed under /usr.
set(CPACK_PACKAGE_NAME "halyard-widget")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Halyard")
set(CPACK_PACKAGE_CONTACT "Halyard widget developers <widget@halyard.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop widget for the Halyard backup application")
set(CPACK_PACKAGE_DESCRIPTION
    "Shows the storage use, the health and the next backup of Halyard, the backup\n"
    "application, on the desktop, from the snapshot file that Halyard writes. It\n"
    "also draws the widget to PNG, SVG or PDF and checks snapshot files.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://halyard.example/widget")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The widget's text is drawn in Inter; without it the text falls back to another font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-inter")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The autostart entry is configuration: kept on `apt remove` (inert then: its TryExec program
# is gone), removed on `apt purge`.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/data/conffiles")
find_program(HALYARD_DPKG dpkg)
if(HALYARD_DPKG)
  execute_process(COMMAND ${HALYARD_DPKG} --print-architecture
                  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
include(CPack)
