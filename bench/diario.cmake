# The receive journal's cost per receive event and per line on this disk.
# Run: ninja -C build diario_bench && build/bin/diario_bench
find_package(benchmark REQUIRED)
add_executable(diario_bench ${CMAKE_CURRENT_LIST_DIR}/diario_bench.cpp)
target_link_libraries(diario_bench PRIVATE sentrel_diario benchmark::benchmark)
