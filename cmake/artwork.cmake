# The program's artwork: the dialog's logo and menu picture and the program
# icon, drawn by tools/make-artwork.sh into ${SETUP_ARTWORK_DIR}, and the two
# pictures again for displays at 125, 150 and 200 %. The script runs on the
# build host in every configuration, cross builds included; it needs
# /usr/bin/convert (ImageMagick), /usr/bin/python3 and fonts-wqy-zenhei.
#
#   SETUP_ARTWORK_DIR    the folder holding logo.bmp, menu.bmp, setup.ico and
#                        logoNNN.bmp, menuNNN.bmp for NNN 125, 150 and 200,
#                        with their range-coded forms logoNNN.pak, menuNNN.pak
#   SETUP_ARTWORK_FILES  those files
#   setup_artwork        the target that brings them up to date

set(SETUP_ARTWORK_DIR ${CMAKE_BINARY_DIR}/res)
set(SETUP_ARTWORK_FILES
  ${SETUP_ARTWORK_DIR}/logo.bmp
  ${SETUP_ARTWORK_DIR}/menu.bmp
  ${SETUP_ARTWORK_DIR}/setup.ico)
foreach(scale 125 150 200)
  foreach(picture logo menu)
    list(APPEND SETUP_ARTWORK_FILES ${SETUP_ARTWORK_DIR}/${picture}${scale}.bmp ${SETUP_ARTWORK_DIR}/${picture}${scale}.pak)
  endforeach()
endforeach()

find_program(SETUP_BASH bash REQUIRED)
add_custom_command(
  OUTPUT ${SETUP_ARTWORK_FILES}
  COMMAND ${SETUP_BASH} ${CMAKE_SOURCE_DIR}/tools/make-artwork.sh ${SETUP_ARTWORK_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make-artwork.sh ${CMAKE_SOURCE_DIR}/tools/pack-artwork.py
  COMMENT "Drawing the logo, the menu picture and the icon"
  VERBATIM)
add_custom_target(setup_artwork DEPENDS ${SETUP_ARTWORK_FILES})
