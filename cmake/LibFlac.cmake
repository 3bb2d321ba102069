# libFLAC from Debian's flac source package, which scripts/setup unpacks
# (Debian's patches applied), built once into <build>/libflac as a static
# library for the build's own processor: the FLAC sink encodes in the program.
# Only the library: no shared library, Ogg, programs, tests or documents. The
# stack protector and fortify would pull in libssp, a DLL the program does
# not ship.
set(CORVANE_FLAC_SOURCE /usr/local/src/corvane/flac CACHE PATH "Debian's flac source package, unpacked")
if(NOT EXISTS ${CORVANE_FLAC_SOURCE}/include/FLAC/stream_encoder.h)
  message(FATAL_ERROR "No flac source in ${CORVANE_FLAC_SOURCE}: run scripts/setup")
endif()
set(flac_install ${CMAKE_BINARY_DIR}/libflac)
include(ExternalProject)
ExternalProject_Add(libflac_build
  PREFIX ${CMAKE_BINARY_DIR}/libflac-build
  SOURCE_DIR ${CORVANE_FLAC_SOURCE}
  INSTALL_DIR ${flac_install}
  DOWNLOAD_COMMAND ""
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR> -DCMAKE_INSTALL_LIBDIR=lib
    -DBUILD_SHARED_LIBS=OFF -DWITH_OGG=OFF -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF
    -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF -DINSTALL_PKGCONFIG_MODULES=OFF
    -DINSTALL_CMAKE_CONFIG_MODULE=OFF -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target FLAC
  INSTALL_COMMAND ${CMAKE_COMMAND} --install <BINARY_DIR>
  BUILD_BYPRODUCTS ${flac_install}/lib/libFLAC.a
  LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)

# The include folder must exist before the library is built.
file(MAKE_DIRECTORY ${flac_install}/include)
add_library(libflac STATIC IMPORTED GLOBAL)
set_target_properties(libflac PROPERTIES
  IMPORTED_LOCATION ${flac_install}/lib/libFLAC.a
  INTERFACE_INCLUDE_DIRECTORIES ${flac_install}/include
  # The headers declare the library's functions as DLL imports unless told.
  INTERFACE_COMPILE_DEFINITIONS FLAC__NO_DLL)
add_dependencies(libflac libflac_build)
