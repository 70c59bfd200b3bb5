# Makes the release zip, unpacks it elsewhere and builds an application against the unpacked SDK
# with find_package, as a customer who received only the zip would.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -DBUILD=${BUILD} -DROOT=${ROOT} -DVERSION=${VERSION} -DOUT=${WORK}/out
                        -P ${ROOT}/cmake/make_package.cmake RESULT_VARIABLE rc)
set(zip ${WORK}/out/QuorinSdk-${VERSION}.zip)
if(NOT rc EQUAL 0 OR NOT EXISTS ${zip})
  message(FATAL_ERROR "no package made")
endif()
file(MAKE_DIRECTORY ${WORK}/unpacked)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${WORK}/unpacked RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the zip does not unpack")
endif()
set(sdk ${WORK}/unpacked/QuorinSdk-${VERSION})
set(expected
  bin/VazadoZir_O52RO_VIZ.dll lib/VazadoZir_O52RO_VIZ.lib include/VazadoZir_O52RO_VIZ.h
  include/driver/m52sim_control.h lib/cmake/QuorinSdk/QuorinSdkConfig.cmake
  bin/quorin_demo.exe bin/snapshot.exe bin/callback.exe bin/trigger.exe bin/viewer.exe bin/m52sim.exe bin/m52sim.sys
  bin/QuorinCapture.ax bin/dshow_capture.exe samples/dshow_capture/dshow_capture.cpp
  samples/quorin_demo.cpp samples/snapshot/snapshot.cpp samples/callback/callback.cpp samples/trigger/trigger.cpp
  samples/find_package_app/CMakeLists.txt README.md)
if(EXISTS ${ROOT}/docs)
  file(GLOB_RECURSE docs RELATIVE ${ROOT} ${ROOT}/docs/*)
  list(APPEND expected ${docs})
endif()
foreach(f ${expected})
  if(NOT EXISTS ${sdk}/${f})
    message(FATAL_ERROR "not in the package: ${f}")
  endif()
endforeach()
# The unpacked files are the built ones, byte for byte.
foreach(f bin/VazadoZir_O52RO_VIZ.dll bin/m52sim.sys bin/QuorinCapture.ax)
  file(SHA256 ${sdk}/${f} unpacked)
  file(SHA256 ${BUILD}/${f} built)
  if(NOT unpacked STREQUAL built)
    message(FATAL_ERROR "${f} in the package differs from the build")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${sdk}/samples/find_package_app -B ${WORK}/app
                        -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DQuorinSdk_DIR=${sdk}/lib/cmake/QuorinSdk
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configure against the unpacked SDK failed:\n${out}\n${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/app RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS ${WORK}/app/consumer.exe)
  message(FATAL_ERROR "build against the unpacked SDK failed:\n${out}\n${err}")
endif()
list(LENGTH expected n)
message(STATUS "the zip holds the ${n} expected files and an application builds against it")
