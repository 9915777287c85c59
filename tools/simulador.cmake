# The exchange simulator: sends call lines on a pseudo-terminal linked as COMn.
add_library(sentrel_simulador STATIC
  simulador/LineaCentral.cpp
  simulador/GeneradorLlamadas.cpp
  simulador/PuertoSimulado.cpp
)
target_include_directories(sentrel_simulador PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(sentrel_simulador PUBLIC util)

add_executable(simulador-central simulador/main.cpp)
target_link_libraries(simulador-central PRIVATE sentrel_simulador)

sentrel_test(simulador_test station
  simulador/LineaCentral_test.cpp
  simulador/PuertoSimulado_test.cpp
)
target_link_libraries(simulador_test PRIVATE sentrel_simulador)
target_compile_definitions(simulador_test PRIVATE
  SIMULADOR_CENTRAL="$<TARGET_FILE:simulador-central>")
add_dependencies(simulador_test simulador-central)
