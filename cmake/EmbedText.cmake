# cmake -DIN=<file> -DOUT=<header> -DNAME=<identifier> -DNAMESPACE=<ns> -P EmbedText.cmake
# Writes a header defining NAME as the bytes of IN, exactly as they are (no
# newline added or taken away, no encoding change), followed by a NUL.
file(READ ${IN} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REGEX REPLACE "(([^,]*,){16})" "\\1\n    " bytes "${bytes}")
get_filename_component(source ${IN} NAME)
file(WRITE ${OUT}.tmp
  "// Generated from ${source} at build time; edit that file instead.\n"
  "#pragma once\n\n"
  "namespace ${NAMESPACE} {\n\n"
  "inline constexpr char ${NAME}[] = {\n    ${bytes}'\\0'};\n\n"
  "}  // namespace ${NAMESPACE}\n")
# Only a changed text touches the header, so its users rebuild only then.
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.tmp)
