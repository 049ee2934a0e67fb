# `cmake --install`: the two programs, the desktop entry and its icon, and
# the demo cartridge for a first run.
#
#   bin/koru, bin/koru-headless
#   share/applications/koru.desktop
#   share/icons/hicolor/{64x64,256x256}/apps/koru.png
#   share/koru/demo.gba            (when the cartridges are built)
#   share/doc/koru/README.md

include(GNUInstallDirs)

install(TARGETS koru-headless RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The desktop program exists only in a build with the Qt front-end.
if(TARGET koru)
  install(TARGETS koru RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/data/koru.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size 64 256)
    install(FILES ${PROJECT_SOURCE_DIR}/data/icons/koru-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME koru.png)
  endforeach()
endif()

if(TARGET cartridge_demo)
  get_target_property(demo_image cartridge_demo KORU_IMAGE)
  install(FILES ${demo_image} DESTINATION ${CMAKE_INSTALL_DATADIR}/koru)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/koru)
