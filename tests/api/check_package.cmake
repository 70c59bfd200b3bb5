# Installs the SDK into a scratch prefix and builds an application against it with find_package.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/sdk RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed")
endif()
foreach(f bin/VazadoZir_O52RO_VIZ.dll lib/VazadoZir_O52RO_VIZ.lib include/VazadoZir_O52RO_VIZ.h
          lib/cmake/QuorinSdk/QuorinSdkConfig.cmake)
  if(NOT EXISTS ${WORK}/sdk/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${APP} -B ${WORK}/app -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
                        -DQuorinSdk_DIR=${WORK}/sdk/lib/cmake/QuorinSdk
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configure failed:\n${out}\n${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/app RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "build failed:\n${out}\n${err}")
endif()
message(STATUS "an application links the installed SDK")
