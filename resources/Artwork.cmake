# The program's bitmaps and icon are drawn at build time, not kept in git:
# tools/artwork/make_artwork.py writes <id>.bmp and icon131.ico into TAVELO_ARTWORK_DIR.
# The resource script names them by file name ("189.bmp", "icon131.ico") and is compiled
# with TAVELO_ARTWORK_DIR on windres' include path; whatever compiles it should depend on
# the target tavelo_artwork (or on TAVELO_ARTWORK_FILES) so that it sees fresh pictures.
include_guard(GLOBAL)

# Debian's interpreter: it is the one that has python3-pil and the fonts' packages.
set(TAVELO_ARTWORK_PYTHON /usr/bin/python3 CACHE FILEPATH "Python 3 with Pillow that draws the artwork")
set(TAVELO_ARTWORK_SCRIPT ${CMAKE_SOURCE_DIR}/tools/artwork/make_artwork.py)
set(TAVELO_ARTWORK_DIR ${CMAKE_BINARY_DIR}/artwork)

set(TAVELO_ARTWORK_IDS
    152 153 154 155 156 157 159 170 173 176 178 179 180 182 183 185
    188 189 199 200 203 205 206 209 210 211 212 213 216 217 218)
set(TAVELO_ARTWORK_FILES ${TAVELO_ARTWORK_DIR}/icon131.ico)
foreach(id IN LISTS TAVELO_ARTWORK_IDS)
    list(APPEND TAVELO_ARTWORK_FILES ${TAVELO_ARTWORK_DIR}/${id}.bmp)
endforeach()

add_custom_command(
    OUTPUT ${TAVELO_ARTWORK_FILES}
    COMMAND ${TAVELO_ARTWORK_PYTHON} ${TAVELO_ARTWORK_SCRIPT} ${TAVELO_ARTWORK_DIR}
    DEPENDS ${TAVELO_ARTWORK_SCRIPT}
    COMMENT "Drawing the bitmaps and the icon"
    VERBATIM)
add_custom_target(tavelo_artwork ALL DEPENDS ${TAVELO_ARTWORK_FILES})
