# One test per picture cartridge (listed by cartridges/video): run it
# headless for 60 frames and compare its last presented frame with
# tests/golden/NAME.png.
get_property(picture_cartridges GLOBAL PROPERTY KORU_PICTURE_CARTRIDGES)
foreach(name IN LISTS picture_cartridges)
  add_test(NAME picture.${name}
    COMMAND ${CMAKE_COMMAND}
      -DHEADLESS=$<TARGET_FILE:koru-headless>
      -DCARTRIDGE=${KORU_CARTRIDGE_DIR}/${name}.gba
      -DFRAMES=60
      -DACTUAL=${CMAKE_CURRENT_BINARY_DIR}/${name}.png
      -DGOLDEN=${CMAKE_CURRENT_LIST_DIR}/${name}.png
      -DCOMPARE=$<TARGET_FILE:koru_png_compare>
      -P ${CMAKE_CURRENT_LIST_DIR}/golden_test.cmake)
endforeach()
