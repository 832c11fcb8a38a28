# The benchmark's own unit tests, and a smoke run of the benchmark: one
# round of each contender in a warm Wine session with the stand-in payload,
# every install checked; it writes to bench-smoke/ in this tree, never to
# docs/. The full benchmark is `make bench`.
set(LUMIRAN_BENCH_DIR ${CMAKE_CURRENT_LIST_DIR})
add_test(NAME bench.unit
  COMMAND /usr/bin/python3 -m unittest discover -s ${LUMIRAN_BENCH_DIR} -p "test_*.py")
add_test(NAME bench.smoke
  COMMAND ${LUMIRAN_BENCH_DIR}/run.sh ${CMAKE_BINARY_DIR} --smoke --out ${CMAKE_BINARY_DIR}/bench-smoke)
set_tests_properties(bench.unit bench.smoke PROPERTIES ENVIRONMENT PYTHONDONTWRITEBYTECODE=1)
set_tests_properties(bench.smoke PROPERTIES TIMEOUT 600)
