# The engine's third-party libraries as imported targets: swf_dep::pixman,
# swf_dep::jpeg, swf_dep::png, swf_dep::lzma (zlib is ZLIB::ZLIB).
# Natively they are Debian's -dev packages; for Windows, the static MinGW
# builds that scripts/build-deps makes under build/deps/<name>-<arch>.
include_guard(GLOBAL)

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
  return()
endif()

# Windows: static libraries, so the control imports only system DLLs. Without
# them (scripts/build-deps not run for this architecture) no target is made
# and the engine is left out of the build.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(qp_deps_arch x86_64)
else()
  set(qp_deps_arch i686)
endif()
set(QP_DEPS_DIR ${CMAKE_SOURCE_DIR}/build/deps CACHE PATH "Where scripts/build-deps installs the engine's libraries")

set(qp_deps_missing)
foreach(name pixman jpeg png lzma)
  if(NOT EXISTS ${QP_DEPS_DIR}/${name}-${qp_deps_arch}/.complete)
    list(APPEND qp_deps_missing ${name})
  endif()
endforeach()
if(qp_deps_missing)
  message(WARNING "The engine's libraries (${qp_deps_missing}) are not built for ${qp_deps_arch}: "
                  "run scripts/build-deps ${qp_deps_arch}")
  return()
endif()

# One static imported library; the remaining arguments are its link dependencies.
function(qp_static_dep target library include)
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES
    IMPORTED_LOCATION ${library}
    INTERFACE_INCLUDE_DIRECTORIES ${include}
    INTERFACE_LINK_LIBRARIES "${ARGN}")
endfunction()

set(qp_d ${QP_DEPS_DIR})
# pixman.h declares its functions without dllimport unless PIXMAN_API is set,
# so the static library needs no macro.
qp_static_dep(swf_dep::pixman ${qp_d}/pixman-${qp_deps_arch}/lib/libpixman-1.a
              ${qp_d}/pixman-${qp_deps_arch}/include/pixman-1)
qp_static_dep(swf_dep::jpeg ${qp_d}/jpeg-${qp_deps_arch}/lib/libjpeg.a ${qp_d}/jpeg-${qp_deps_arch}/include)
qp_static_dep(swf_dep::png ${qp_d}/png-${qp_deps_arch}/lib/libpng16.a ${qp_d}/png-${qp_deps_arch}/include ZLIB::ZLIB)
qp_static_dep(swf_dep::lzma ${qp_d}/lzma-${qp_deps_arch}/lib/liblzma.a ${qp_d}/lzma-${qp_deps_arch}/include)
# Without it lzma.h declares dllimport functions that the static library lacks.
set_property(TARGET swf_dep::lzma PROPERTY INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)
