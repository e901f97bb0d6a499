# The Debian package, built by `cpack -G DEB` (tools/package.sh) from the
# install rules in Install.cmake.

set(CPACK_PACKAGE_NAME tavlo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tavlo developers")
set(CPACK_PACKAGE_CONTACT "The Tavlo developers <tavlo@users.noreply.github.com>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/tavlo/tavlo)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small function plotter with a fast formula engine")
# Lines of at most 80 characters, as the Debian tools show them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tavlo plots functions of x and of y over a grid, each in its own colour.\n"
    "Bounds are typed as expressions, the plot is panned by dragging and zoomed\n"
    "with a slider or a zoom box, and a tap near a crossing of two curves finds\n"
    "and labels it. Sets of functions are kept in files.\n"
    "\n"
    "The command tavlo-render draws the same plot without a display and writes\n"
    "it to a PNG or SVG file.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the binaries (dpkg-shlibdeps). The window needs a
# platform plugin, which no binary links to, and the forms ask for the
# Liberation fonts with DejaVu behind them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
