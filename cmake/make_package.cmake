# Assembles the release zip from a finished cross build (cmake -P):
#   cmake -DBUILD=<build/win> -DROOT=<source> -DVERSION=<x.y.z> -DOUT=<dir> -P make_package.cmake
# OUT/QuorinSdk-VERSION.zip holds one folder QuorinSdk-VERSION with
#   bin/      the DLL, the samples' and the demo's executables, m52sim.exe and the simulated camera
#             driver m52sim.sys (m52sim installs the driver found beside it), and the DirectShow
#             capture filter QuorinCapture.ax (it loads the DLL beside it)
#   lib/      the import library and the CMake package (find_package(QuorinSdk))
#   include/  the public header, and driver/m52sim_control.h for programs that drive the simulator
#   samples/  the samples' sources, docs/ and README.md
foreach(v BUILD ROOT VERSION OUT)
  if(NOT ${v})
    message(FATAL_ERROR "make_package.cmake needs -D${v}=...")
  endif()
endforeach()
set(name QuorinSdk-${VERSION})
set(stage ${OUT}/${name})
file(REMOVE_RECURSE ${stage} ${OUT}/${name}.zip)

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${stage} RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installing the SDK into ${stage} failed")
endif()

# Built programs: each must exist, a package without one of them is not a release.
foreach(exe quorin_demo.exe snapshot.exe callback.exe trigger.exe viewer.exe m52sim.exe m52sim.sys
            QuorinCapture.ax dshow_capture.exe)
  if(NOT EXISTS ${BUILD}/bin/${exe})
    message(FATAL_ERROR "not built: ${BUILD}/bin/${exe}")
  endif()
  file(COPY ${BUILD}/bin/${exe} DESTINATION ${stage}/bin)
endforeach()

file(COPY ${ROOT}/samples/ DESTINATION ${stage}/samples)
file(COPY ${ROOT}/driver/m52sim_control.h DESTINATION ${stage}/include/driver)
file(COPY ${ROOT}/README.md DESTINATION ${stage})
if(EXISTS ${ROOT}/docs)
  file(COPY ${ROOT}/docs/ DESTINATION ${stage}/docs)
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${name}.zip --format=zip ${name}
                WORKING_DIRECTORY ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "zipping ${stage} failed")
endif()
message(STATUS "package: ${OUT}/${name}.zip")
