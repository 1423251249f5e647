# Turns every file of the built page into a C++ source that defines
# batchplant::ViewerAssets(): `cmake -DDIST_DIR=... -DOUT=... -P EmbedAssets.cmake`.
#
# Files are listed in sorted order and their bytes written as unsigned char
# arrays, so the same page always gives the same source, whatever bytes it
# holds (a raw string literal could not carry every byte sequence).

cmake_minimum_required(VERSION 3.25)

foreach(var DIST_DIR OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "EmbedAssets.cmake: ${var} is not set")
  endif()
endforeach()

file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${DIST_DIR}" "${DIST_DIR}/*")
list(SORT files)
if(NOT "index.html" IN_LIST files)
  message(FATAL_ERROR "EmbedAssets.cmake: ${DIST_DIR} holds no index.html; was the page built?")
endif()

function(content_type path out)
  string(REGEX MATCH "\\.[^./]*$" ext "${path}")
  string(TOLOWER "${ext}" ext)
  set(types
      ".html=text/html\\; charset=utf-8"
      ".js=text/javascript\\; charset=utf-8"
      ".mjs=text/javascript\\; charset=utf-8"
      ".css=text/css\\; charset=utf-8"
      ".json=application/json"
      ".map=application/json"
      ".svg=image/svg+xml"
      ".png=image/png"
      ".jpg=image/jpeg"
      ".jpeg=image/jpeg"
      ".gif=image/gif"
      ".ico=image/x-icon"
      ".webp=image/webp"
      ".woff=font/woff"
      ".woff2=font/woff2"
      ".ttf=font/ttf"
      ".txt=text/plain\\; charset=utf-8"
      ".wasm=application/wasm")
  set(type "application/octet-stream")
  foreach(entry IN LISTS types)
    string(FIND "${entry}" "=" eq)
    string(SUBSTRING "${entry}" 0 ${eq} key)
    if(key STREQUAL ext)
      math(EXPR from "${eq} + 1")
      string(SUBSTRING "${entry}" ${from} -1 type)
      break()
    endif()
  endforeach()
  set(${out} "${type}" PARENT_SCOPE)
endfunction()

# Text files are also stored gzip-compressed (at the slowest, best level, once
# here rather than on every request) when gzip is at hand and it pays.
function(compressible type out)
  if(type MATCHES "^text/" OR type MATCHES "^application/json" OR type STREQUAL "image/svg+xml")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

function(byte_lines hex out)
  # 24 bytes a line: split the hex text into lines first, then mark bytes.
  string(REGEX REPLACE "([0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])"
                       "\\1\n" hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(${out} "${bytes}" PARENT_SCOPE)
endfunction()

set(arrays "")
set(entries "")
set(i 0)
foreach(rel IN LISTS files)
  file(READ "${DIST_DIR}/${rel}" hex HEX)
  content_type("${rel}" type)
  string(REPLACE "\\" "\\\\" path "/${rel}")
  string(REPLACE "\"" "\\\"" path "${path}")
  set(gz "std::string_view()")
  compressible("${type}" packable)
  if(GZIP AND packable AND NOT hex STREQUAL "")
    set(packed "${OUT}.gz.tmp")
    execute_process(COMMAND "${GZIP}" -9 -n -c "${DIST_DIR}/${rel}" OUTPUT_FILE "${packed}" RESULT_VARIABLE failed)
    file(SIZE "${DIST_DIR}/${rel}" plain_size)
    file(SIZE "${packed}" packed_size)
    if(NOT failed AND packed_size LESS plain_size)
      file(READ "${packed}" gzhex HEX)
      byte_lines("${gzhex}" gzbytes)
      string(APPEND arrays "// ${path}, gzip\nconst unsigned char kAsset${i}Gzip[] = {\n${gzbytes}\n};\n\n")
      set(gz "std::string_view(reinterpret_cast<const char*>(kAsset${i}Gzip), sizeof kAsset${i}Gzip)")
    endif()
    file(REMOVE "${packed}")
  endif()
  if(hex STREQUAL "")
    string(APPEND entries "        {\"${path}\", \"${type}\", std::string_view(), ${gz}},\n")
  else()
    byte_lines("${hex}" bytes)
    string(APPEND arrays "// ${path}\nconst unsigned char kAsset${i}[] = {\n${bytes}\n};\n\n")
    string(APPEND entries
           "        {\"${path}\", \"${type}\", std::string_view(reinterpret_cast<const char*>(kAsset${i}), sizeof kAsset${i}), ${gz}},\n")
  endif()
  math(EXPR i "${i} + 1")
endforeach()

file(WRITE "${OUT}"
     "// Generated from the built viewer page by web/cmake/EmbedAssets.cmake. Do not edit.\n"
     "#include \"serve/ViewerAssets.h\"\n\n"
     "namespace batchplant {\n"
     "namespace {\n\n"
     "${arrays}"
     "}  // namespace\n\n"
     "const std::vector<EmbeddedAsset>& ViewerAssets() {\n"
     "    static const std::vector<EmbeddedAsset> assets = {\n"
     "${entries}"
     "    };\n"
     "    return assets;\n"
     "}\n\n"
     "}  // namespace batchplant\n")
