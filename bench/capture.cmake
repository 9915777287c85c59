# Capture engine throughput: framing and parsing, and pricing per call.
# Run: ninja -C build capture_bench && build/bin/capture_bench
find_package(benchmark REQUIRED)
add_executable(capture_bench ${CMAKE_CURRENT_LIST_DIR}/capture_bench.cpp)
target_link_libraries(capture_bench PRIVATE sentrel_capture_falsos benchmark::benchmark)
