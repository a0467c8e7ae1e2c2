# Writes the font `glowmarch --new` puts into a new show as a C++ source: INPUT (a file) to OUTPUT.
file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Made by app/edit/NewShowFiles.cmake from ${INPUT}.\n#include <cstddef>\n"
     "namespace glowmarch {\nextern const unsigned char newShowFont[];\nextern const std::size_t newShowFontSize;\n"
     "const unsigned char newShowFont[] = {${bytes}};\nconst std::size_t newShowFontSize = ${size};\n}\n")
