# Prints why each skipped test was skipped, after CTest's summary:
#   cmake -DSKIPPED=FILE -P skip_reasons.cmake
if(EXISTS "${SKIPPED}")
  file(READ "${SKIPPED}" reasons)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "Why the tests above did not run:\n${reasons}")
endif()
