# What `cmake --install` puts where, and the Debian package that CPack builds from it.
include(GNUInstallDirs)
set(DRAVIK_RESOURCES ${CMAKE_SOURCE_DIR}/resources)

foreach(program dravik dravik-cli dxu-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(TARGET dravik)
  install(FILES ${DRAVIK_RESOURCES}/dravik.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${DRAVIK_RESOURCES}/dravik.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # The PNG sizes come from the same drawing the window uses.
  set(DRAVIK_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
  add_custom_command(OUTPUT ${DRAVIK_ICON_DIR}/256x256/apps/dravik.png
    COMMAND $<TARGET_FILE:dravik-render-icon> ${DRAVIK_ICON_DIR}
    DEPENDS dravik-render-icon
    COMMENT "Rendering the icon's PNG sizes")
  add_custom_target(dravik_icons ALL DEPENDS ${DRAVIK_ICON_DIR}/256x256/apps/dravik.png)
  install(DIRECTORY ${DRAVIK_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
endif()

# udev reads its rules from lib/udev/rules.d under the prefix, never from a multiarch lib folder.
install(FILES ${DRAVIK_RESOURCES}/60-dravik.rules DESTINATION lib/udev/rules.d)
install(FILES ${DRAVIK_RESOURCES}/completion/dravik-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Manual pages go in compressed, as Debian keeps them.
set(DRAVIK_MAN_PAGES)
foreach(page dravik dravik-cli dxu-sim)
  set(compressed ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9 -n -c ${DRAVIK_RESOURCES}/man/${page}.1 > ${compressed}
    DEPENDS ${DRAVIK_RESOURCES}/man/${page}.1
    VERBATIM)
  list(APPEND DRAVIK_MAN_PAGES ${compressed})
endforeach()
add_custom_target(dravik_man_pages ALL DEPENDS ${DRAVIK_MAN_PAGES})
install(FILES ${DRAVIK_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dravik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Dravik developers <dravik@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware download utility for DXU controllers")
set(CPACK_PACKAGE_DESCRIPTION
    "Connects to a DXU controller over RS-232 or USB and downloads software images, configuration and web
files, erases memory areas, sets port options and converts S-record files. Includes the desktop program,
the command-line program and a simulated controller for training and tests.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The libraries the programs link come from dpkg-shlibdeps; rz receives files in the simulator.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "lrzsz")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${DRAVIK_RESOURCES}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
