# Install layout and the Debian package.
#
#   cmake --install build --prefix /usr      (DESTDIR is honoured)
#   (cd build && cpack -G DEB)               -> veltrane_<version>_<arch>.deb
#
# The two programs stay side by side in libexec/veltrane, since the shell starts
# the renderer from its own folder. Saver hosts look for their themes in
# libexec/xscreensaver (XScreenSaver puts it first on PATH; mate- and
# xfce4-screensaver only run themes from trusted folders such as this one), so a
# relative link there names the renderer, whose host mode they run.
include(GNUInstallDirs)

set(VELTRANE_PACKAGE_NAME veltrane)
set(VELTRANE_MAINTAINER "The Veltrane developers <veltrane@example.com>")
set(VELTRANE_PACKAGING_SRC ${CMAKE_SOURCE_DIR}/packaging)
set(VELTRANE_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
set(VELTRANE_LIBEXEC_DIR ${CMAKE_INSTALL_LIBEXECDIR}/veltrane)
set(VELTRANE_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${VELTRANE_PACKAGE_NAME})
file(MAKE_DIRECTORY ${VELTRANE_PACKAGING_OUT})

# Generated at configure time, so that an install never depends on which targets
# were built; editing a source re-runs the configuration.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${VELTRANE_PACKAGING_SRC}/veltrane.6 ${VELTRANE_PACKAGING_SRC}/veltrane-idle.1
             ${VELTRANE_PACKAGING_SRC}/changelog.Debian.in)

# Debian wants manual pages and changelogs compressed with gzip -9n (maximum
# compression, no name or time stamp, so that rebuilds are byte-identical).
function(veltrane_gzip input output)
  execute_process(COMMAND gzip -9n -c ${input} OUTPUT_FILE ${output} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip -9n ${input} failed: ${rc}")
  endif()
endfunction()

# Debian revision 1 of the upstream version: the package carries a Debian
# changelog (changelog.Debian.gz) beside the upstream sources.
set(VELTRANE_DEB_RELEASE 1)
set(VELTRANE_DEB_VERSION ${PROJECT_VERSION}-${VELTRANE_DEB_RELEASE})
configure_file(${VELTRANE_PACKAGING_SRC}/veltrane.6 ${VELTRANE_PACKAGING_OUT}/veltrane.6 @ONLY)
veltrane_gzip(${VELTRANE_PACKAGING_OUT}/veltrane.6 ${VELTRANE_PACKAGING_OUT}/veltrane.6.gz)
configure_file(${VELTRANE_PACKAGING_SRC}/veltrane-idle.1 ${VELTRANE_PACKAGING_OUT}/veltrane-idle.1 @ONLY)
veltrane_gzip(${VELTRANE_PACKAGING_OUT}/veltrane-idle.1 ${VELTRANE_PACKAGING_OUT}/veltrane-idle.1.gz)
configure_file(${VELTRANE_PACKAGING_SRC}/changelog.Debian.in ${VELTRANE_PACKAGING_OUT}/changelog.Debian @ONLY)
veltrane_gzip(${VELTRANE_PACKAGING_OUT}/changelog.Debian ${VELTRANE_PACKAGING_OUT}/changelog.Debian.gz)
file(CREATE_LINK ../veltrane/Veltrane.dll ${VELTRANE_PACKAGING_OUT}/veltrane SYMBOLIC)

foreach(program veltrane_saver veltrane_renderer)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${VELTRANE_LIBEXEC_DIR})
  endif()
endforeach()
# The idle launcher is the user's command; its user unit is not enabled by the
# package (systemctl --user enable --now veltrane-idle.service).
if(TARGET veltrane_idle)
  install(TARGETS veltrane_idle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${VELTRANE_PACKAGING_SRC}/veltrane-idle.service DESTINATION lib/systemd/user)
install(FILES ${VELTRANE_PACKAGING_OUT}/veltrane-idle.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# install(FILES) copies a symbolic link as a link.
install(FILES ${VELTRANE_PACKAGING_OUT}/veltrane DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
install(FILES ${VELTRANE_PACKAGING_SRC}/veltrane.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/xscreensaver/config)
install(FILES ${VELTRANE_PACKAGING_SRC}/veltrane.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications/screensavers)
install(FILES ${VELTRANE_PACKAGING_OUT}/veltrane.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${VELTRANE_PACKAGING_SRC}/copyright ${VELTRANE_PACKAGING_OUT}/changelog.Debian.gz
        DESTINATION ${VELTRANE_DOC_DIR})
install(FILES ${VELTRANE_PACKAGING_SRC}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${VELTRANE_PACKAGE_NAME})

# The Debian package. cpack packs what is built and does not build everything
# (tests and benchmarks included) first: build, then pack.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VELTRANE_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VELTRANE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "particle-field screen saver for X11 and Wayland")
set(CPACK_PACKAGE_DESCRIPTION "\
Veltrane fills the screen with 5000 glowing rings that stream out of the
centre of the screen toward the viewer in one shared tint, while the whole
field slowly twists. It is drawn with OpenGL 1.1.

The saver shell Veltrane.scr takes the usual screen-saver switches (full
screen, preview in a host window, configuration dialog); the renderer runs
full screen or inside the window of a saver host such as XScreenSaver,
mate-screensaver, xfce4-screensaver or XSecureLock. It also works as the
locker command of xss-lock or xautolock.

In Wayland sessions it is started by an idle daemon such as swayidle or
hypridle and covers every output on compositors with the wlr layer shell
(sway and other wlroots compositors, KWin, Hyprland, niri, COSMIC); elsewhere
it runs full screen.

veltrane-idle starts the saver when the session has been idle, on the
session's own idle clock (GNOME's idle monitor, the Wayland compositor's idle
notifications, or the X server's idle counter), honouring the applications'
idle inhibitors. A systemd user unit runs it with the graphical session.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VELTRANE_DEB_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VELTRANE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Wayland client and EGL libraries come through shlibdeps like the X ones.
# The GL drivers (llvmpipe where there is no GPU), the fonts the dialog's
# lettering is laid out in, and the opener of the dialog's link.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri, fonts-dejavu-core, fonts-ipafont-gothic, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# The installed layout, with a run of the installed shell on a private Xvfb, and
# the package under lintian. Both install from this build tree (and write its
# install manifest), so they never run at the same time.
if(VELTRANE_TESTS)
  add_test(NAME install_layout
           COMMAND ${CMAKE_SOURCE_DIR}/tests/install/install_layout.sh ${CMAKE_BINARY_DIR})
  add_test(NAME install_deb_lintian
           COMMAND ${CMAKE_SOURCE_DIR}/tests/install/deb_lintian.sh ${CMAKE_BINARY_DIR} ${VELTRANE_DEB_VERSION})
  set_tests_properties(install_layout PROPERTIES LABELS "install;x11" TIMEOUT 300 COST 7
                       RESOURCE_LOCK veltrane_install)
  set_tests_properties(install_deb_lintian PROPERTIES LABELS install TIMEOUT 300 COST 15
                       RESOURCE_LOCK veltrane_install)
endif()
