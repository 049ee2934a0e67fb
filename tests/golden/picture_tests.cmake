# One test per picture cartridge (listed by cartridges/video): run it
# headless for 60 frames and compare its last presented frame with
# tests/golden/NAME.png. Included by tests/cartridges, whose runner it uses.
get_property(picture_cartridges GLOBAL PROPERTY KORU_PICTURE_CARTRIDGES)
foreach(name IN LISTS picture_cartridges)
  add_cartridge_test(picture.${name} ${KORU_CARTRIDGE_DIR}/${name}.gba 60 PICTURE
                     -DGOLDEN=${CMAKE_CURRENT_LIST_DIR}/${name}.png -DCOMPARE=$<TARGET_FILE:koru_png_compare>)
endforeach()
