# Turns the resource script into a C++ source that carries its bytes, so the executable
# holds its resources as the platform's executables do.
#   cmake -DINPUT=<script.rc> -DOUTPUT=<source.cpp> -P embed_resource.cmake
if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "embed_resource.cmake needs -DINPUT=<script> and -DOUTPUT=<source>")
endif()

file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" hex_length)
# 32 bytes per line, each line its own literal (adjacent literals join), every byte as a
# \x escape: no character of the script can end or bend the literal.
set(lines "")
set(offset 0)
while(offset LESS hex_length)
  string(SUBSTRING "${bytes}" ${offset} 64 chunk)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" chunk "${chunk}")
  string(APPEND lines "    \"${chunk}\"\n")
  math(EXPR offset "${offset} + 64")
endwhile()
if(lines STREQUAL "")
  set(lines "    \"\"\n")
endif()

get_filename_component(name "${INPUT}" NAME)
set(text "// Generated from ${name} at build time; edit the script, not this file.\n")
string(APPEND text "extern \"C\" const char vrel_resource_script[];\n")
string(APPEND text "extern \"C\" const char vrel_resource_script[] =\n${lines};\n")
# Rewrite only on change, so an unchanged script rebuilds nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
