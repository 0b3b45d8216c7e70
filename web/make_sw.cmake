# Writes page/sw.js with the build's name: a digest of the files it keeps, so that any change to
# them makes a new cache. Usage: cmake -DPAGE=DIR -DSOURCE=web/sw.js.in -P web/make_sw.cmake
set(digests "")
foreach(file index.html koravel.js koravel.wasm koravel.data manifest.webmanifest)
  file(SHA256 "${PAGE}/${file}" digest)
  string(APPEND digests "${digest}")
endforeach()
string(SHA256 build "${digests}")
string(SUBSTRING "${build}" 0 16 KORAVEL_WEB_BUILD)
configure_file("${SOURCE}" "${PAGE}/sw.js" @ONLY)
