# Writes the table of component setup digests (src/components/ComponentHashes.h)
# into OUTPUT, from SETUPS: "name=path" entries separated by "|". Run as
#   cmake -DOUTPUT=<file.cpp> -DSETUPS=<entries> -P ComponentHashes.cmake
# The file is rewritten only when its text changes.
string(REPLACE "|" ";" entries "${SETUPS}")
set(rows "")
foreach(entry IN LISTS entries)
  string(FIND "${entry}" "=" at)
  if(at LESS 1)
    message(FATAL_ERROR "ComponentHashes: not name=path: ${entry}")
  endif()
  string(SUBSTRING "${entry}" 0 ${at} name)
  math(EXPR from "${at} + 1")
  string(SUBSTRING "${entry}" ${from} -1 path)
  file(SHA256 "${path}" digest)
  string(APPEND rows "    {\"${name}\", \"${digest}\"},\n")
endforeach()
if(rows STREQUAL "")
  # No setup is known: every download is refused. A table needs one row.
  set(rows "    {\"\", \"\"},\n")
endif()
set(text "// Made by the build from the component setups it was given; not edited.
#include \"components/ComponentHashes.h\"

const ComponentHash COMPONENT_HASHES[] = {
${rows}};
const std::size_t COMPONENT_HASH_COUNT = sizeof(COMPONENT_HASHES) / sizeof(COMPONENT_HASHES[0]);
")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
