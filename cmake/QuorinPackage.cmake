# The release zip (./run package): build/win/package/QuorinSdk-<version>.zip, assembled by
# make_package.cmake once the SDK, the samples and the simulator are built.
set(quorin_package_parts quorin_sdk quorin_demo snapshot callback trigger viewer m52sim m52sim_sys
  quorin_capture dshow_capture)
foreach(t ${quorin_package_parts})
  if(NOT TARGET ${t})
    return()  # an area left out by QUORIN_SKIP: no package
  endif()
endforeach()
add_custom_target(quorin_package
  COMMAND ${CMAKE_COMMAND} -DBUILD=${CMAKE_BINARY_DIR} -DROOT=${QUORIN_ROOT} -DVERSION=${PROJECT_VERSION}
          -DOUT=${CMAKE_BINARY_DIR}/package -P ${QUORIN_ROOT}/cmake/make_package.cmake
  VERBATIM)
add_dependencies(quorin_package ${quorin_package_parts})
