# Calls per second of the component's per-call sequence on SQLite and
# PostgreSQL, with and without the kept connection.
add_executable(captura_bench ${CMAKE_CURRENT_LIST_DIR}/captura_bench.cpp)
target_link_libraries(captura_bench PRIVATE captura_odbc)
target_compile_definitions(captura_bench PRIVATE SENTREL_RAIZ="${PROJECT_SOURCE_DIR}")
