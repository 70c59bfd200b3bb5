# Third-party libraries. In the cross build they come from the mingw prefix that
# tools/setup/deps.sh fills (libjpeg-turbo with the libjpeg 8 API, libpng, libtiff) and from
# Debian's mingw zlib; natively libjpeg-turbo comes from the same cache (for the same API) and the
# others from Debian. Every consumer links the imported targets JPEG::JPEG, PNG::PNG, TIFF::TIFF,
# ZLIB::ZLIB, whichever build it is in.
if(WIN32)
  set(QUORIN_DEPS_PREFIX "$ENV{QUORIN_MINGW_PREFIX}" CACHE PATH "mingw prefix of the built dependencies")
else()
  set(QUORIN_DEPS_PREFIX "$ENV{QUORIN_NATIVE_PREFIX}" CACHE PATH "native prefix of the built libjpeg-turbo")
endif()

if(WIN32)
  # The static zlib, so the DLL needs no zlib1.dll beside it.
  set(ZLIB_USE_STATIC_LIBS ON)
  find_library(ZLIB_LIBRARY NAMES libz.a)
endif()
find_package(ZLIB REQUIRED)

if(WIN32)
  find_package(PNG REQUIRED)
  find_package(TIFF REQUIRED)
  # Static libtiff carries zlib as a dependency of its deflate codec.
  set_property(TARGET TIFF::TIFF APPEND PROPERTY INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
else()
  find_package(PNG REQUIRED)
  find_package(TIFF REQUIRED)
endif()

# libjpeg-turbo built with the libjpeg 8 API, found by path so the system's libjpeg 6.2 headers can
# never be picked up instead.
find_path(QUORIN_JPEG_INCLUDE jpeglib.h PATHS ${QUORIN_DEPS_PREFIX}/include NO_DEFAULT_PATH)
find_library(QUORIN_JPEG_LIBRARY NAMES libjpeg.a jpeg-static jpeg
             PATHS ${QUORIN_DEPS_PREFIX}/lib ${QUORIN_DEPS_PREFIX}/lib64 NO_DEFAULT_PATH)
if(NOT QUORIN_JPEG_INCLUDE OR NOT QUORIN_JPEG_LIBRARY)
  message(FATAL_ERROR "libjpeg-turbo (libjpeg 8 API) not found under ${QUORIN_DEPS_PREFIX}; run tools/setup/deps.sh")
endif()
if(NOT TARGET JPEG::JPEG)
  add_library(JPEG::JPEG STATIC IMPORTED GLOBAL)
endif()
set_target_properties(JPEG::JPEG PROPERTIES IMPORTED_LOCATION ${QUORIN_JPEG_LIBRARY}
                      INTERFACE_INCLUDE_DIRECTORIES ${QUORIN_JPEG_INCLUDE})
