# The whole station end to end: the installed Sentrel fed on a pseudo-terminal,
# into SQLite and (with scripts/postgres-prueba.sh) PostgreSQL.
# Run: ninja -C build estacion_bench && build/bin/estacion_bench [CALLS]
add_executable(estacion_bench ${CMAKE_CURRENT_LIST_DIR}/estacion_bench.cpp)
target_link_libraries(estacion_bench PRIVATE sentrel_simulador)
target_include_directories(estacion_bench PRIVATE ${PROJECT_SOURCE_DIR}/captura/prueba)
target_compile_definitions(estacion_bench PRIVATE SENTREL_RAIZ="${PROJECT_SOURCE_DIR}")
add_dependencies(estacion_bench Sentrel captura)
