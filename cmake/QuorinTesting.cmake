# quorin_add_test(NAME n SOURCES ... [LIBS ...] [NATIVE] [WINE] [TIMEOUT s])
# NATIVE: a gtest executable of the native build, registered as native.<n>.
# WINE:   a gtest executable of the cross build, run by CTest under Wine (the crosscompiling
#         emulator), registered as wine.<n>. The executable sits beside the DLL in bin/.
# Wine tests that reach the simulated camera, the SDK's registry tree or the shared table of
# cameras in use (those linking the SDK, the camera, device or settings objects, or the test
# harness) each take a lane: a Wine world of their own (prefix, registry, driver and cameras,
# display) that CTest hands to one program at a time (resource "lanes", listed by ./run in
# build/wine-lanes.json). The others (kernels, files, exports) run beside them.
if(WIN32)
  find_package(GTest CONFIG REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORIN_ROOT}/tools/setup/wine-emulator.sh)
else()
  find_package(GTest REQUIRED)
endif()

# The longest Wine programs start first, so a run on a fresh build tree (no timings kept from an
# earlier run) does not end with one of them alone in its lane: name, seconds in a three-lane run.
set(QUORIN_LONG_TESTS
    wine.fault_suite_test 135 wine.directshow_capture_test 135 wine.device_sim_tests 105
    wine.hardening_test 75 wine.samples_test 70 wine.acquisition_test 60 wine.recording_test 37
    wine.resource_baseline_test 36 wine.api_frame_test 35 wine.imaging_frame_pipeline 27
    wine.dialog_test 26 wine.preview_window_test 25 wine.mjpeg_recording_test 24
    wine.bad_arguments_test 24 wine.dialog_camera_format_bounds_test 19 wine.viewer_test 18)

function(quorin_add_test)
  cmake_parse_arguments(T "NATIVE;WINE" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 900)
  endif()
  if(WIN32 AND T_WINE)
    set(prefix wine)
  elseif(NOT WIN32 AND T_NATIVE)
    set(prefix native)
  else()
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  add_test(NAME ${prefix}.${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${prefix}.${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  list(FIND QUORIN_LONG_TESTS ${prefix}.${T_NAME} at)
  if(at GREATER -1)
    math(EXPR at "${at} + 1")
    list(GET QUORIN_LONG_TESTS ${at} cost)
    set_tests_properties(${prefix}.${T_NAME} PROPERTIES COST ${cost})
  endif()
  if(prefix STREQUAL "wine")
    set(shared quorin_sdk quorin_camera quorin_device quorin_settings quorin_test_support m52sim_service)
    foreach(lib ${T_LIBS})
      if(lib IN_LIST shared)
        quorin_test_in_lane(${prefix}.${T_NAME})
        break()
      endif()
    endforeach()
  endif()
endfunction()

# A Wine test that must not run beside other users of the simulated camera and the SDK's state
# in the same Wine world.
function(quorin_test_in_lane test)
  set_property(TEST ${test} PROPERTY RESOURCE_GROUPS "lanes:1")
endfunction()
