# Writes the generated source of brightmill_embed_resources: run at build
# time with LIST (lines of type|identifier|file), OUTPUT and TARGET.
file(STRINGS ${LIST} entries)
set(arrays "")
set(table "")
set(index 0)
foreach(entry ${entries})
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 type)
  list(GET fields 1 id)
  list(GET fields 2 path)
  file(READ ${path} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  if(size EQUAL 0)
    set(bytes "0")
  else()
    # 16 bytes a line.
    string(REPEAT "[0-9a-f]" 32 line)
    string(REGEX REPLACE "(${line})" "\\1\n    " hex "${hex}")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  endif()
  foreach(var type id)
    string(REPLACE "\\" "\\\\" ${var} "${${var}}")
    string(REPLACE "\"" "\\\"" ${var} "${${var}}")
  endforeach()
  string(APPEND arrays "// ${path}\nconst uint8_t kData${index}[] = {\n    ${bytes}};\n")
  string(APPEND table "    {\"${type}\", \"${id}\", kData${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new
"// The resources of ${TARGET}, made by the build; do not edit.
#include \"platform/system/resources.h\"

namespace {

${arrays}
const TResourceEntry kResources[] = {
${table}};

struct TRegistration {
  TRegistration() { RegisterResources(kResources, sizeof kResources / sizeof kResources[0]); }
} registration;

}  // namespace
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
