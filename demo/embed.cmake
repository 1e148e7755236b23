# Writes the demo console's files into a C++ header as raw string literals, so the server
# binary carries its pages and needs no files at run time.
# Usage: cmake -DOUT=<header> -DFILES=<f1>|<f2>|... -P embed.cmake
set(text "// Generated from demo/console: the console's files, embedded.\n#pragma once\n#include <map>\n#include <string>\n\nnamespace demo {\ninline const std::map<std::string, std::string>& ConsoleFiles() {\n    static const std::map<std::string, std::string> files = {\n")
string(REPLACE "|" ";" FILES "${FILES}")
foreach(f ${FILES})
  file(READ ${f} body)
  get_filename_component(name ${f} NAME)
  string(APPEND text "        {\"${name}\", R\"SHOPDESK_EMBED(${body})SHOPDESK_EMBED\"},\n")
endforeach()
string(APPEND text "    };\n    return files;\n}\n} // namespace demo\n")
file(WRITE ${OUT}.tmp "${text}")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
