# Install-time part of `cmake --install`: the files whose place or content depends on the
# prefix given to the install (`--prefix`, or /usr when packaging), not on the configure-time
# one. Expects HALYARD_DATA_DIR (this folder). Honours DESTDIR like every install rule.

# The session reads autostart entries from /etc/xdg; any other prefix keeps its own.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(_autostart_dir "/etc/xdg/autostart")
else()
  set(_autostart_dir "${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart")
endif()
file(INSTALL "${HALYARD_DATA_DIR}/halyard-widget.desktop" DESTINATION "${_autostart_dir}")

# The systemd user unit names the program by its installed path.
set(_unit_dir "${CMAKE_INSTALL_PREFIX}/lib/systemd/user")
file(READ "${HALYARD_DATA_DIR}/halyard-widget.service.in" _unit)
string(REPLACE "@BINDIR@" "${CMAKE_INSTALL_PREFIX}/bin" _unit "${_unit}")
set(_unit_path "$ENV{DESTDIR}${_unit_dir}/halyard-widget.service")
message(STATUS "Installing: ${_unit_path}")
file(WRITE "${_unit_path}" "${_unit}")
file(CHMOD "${_unit_path}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_unit_path}")
