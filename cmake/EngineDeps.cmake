# The engine's third-party libraries as imported targets: swf_dep::pixman,
# swf_dep::jpeg, swf_dep::png, swf_dep::lzma (zlib is ZLIB::ZLIB).
# Natively they are Debian's -dev packages; for Windows, the static MinGW
# builds that scripts/build-deps makes under build/deps/<name>-<arch>.
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(QP_PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
  find_package(JPEG REQUIRED)
  find_package(PNG REQUIRED)
  find_package(LibLZMA REQUIRED)
  add_library(swf_dep::pixman ALIAS PkgConfig::QP_PIXMAN)
  add_library(swf_dep::jpeg ALIAS JPEG::JPEG)
  add_library(swf_dep::png ALIAS PNG::PNG)
  add_library(swf_dep::lzma ALIAS LibLZMA::LibLZMA)
endif()
