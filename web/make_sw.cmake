# Writes page/sw.js with the build's name, a digest of the files it keeps (any change to them
# makes a new cache), and each file's own digest, which the worker checks every file it keeps
# against. Usage: cmake -DPAGE=DIR -DSOURCE=web/sw.js.in -P web/make_sw.cmake
set(digests "")
set(each "")
foreach(file index.html koravel.js koravel.wasm koravel.data manifest.webmanifest)
  file(SHA256 "${PAGE}/${file}" digest)
  string(APPEND digests "${digest}")
  string(APPEND each "  '${file}': '${digest}',\n")
endforeach()
string(SHA256 build "${digests}")
string(SUBSTRING "${build}" 0 16 KORAVEL_WEB_BUILD)
set(KORAVEL_WEB_DIGESTS "{\n${each}}")
configure_file("${SOURCE}" "${PAGE}/sw.js" @ONLY)
