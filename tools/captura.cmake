# probar-captura: calls the component's methods from the command line.
add_executable(probar-captura ${CMAKE_CURRENT_LIST_DIR}/probar-captura.cpp)
target_link_libraries(probar-captura PRIVATE captura_cliente)
add_dependencies(probar-captura captura)

add_test(NAME probar-captura.SinArgumentos COMMAND probar-captura)
add_test(NAME probar-captura.NumeroInvalido COMMAND probar-captura ReservaHabitacion)
add_test(NAME probar-captura.MetodoDesconocido COMMAND probar-captura Borrar 1)
set_tests_properties(probar-captura.SinArgumentos probar-captura.NumeroInvalido
  probar-captura.MetodoDesconocido PROPERTIES WILL_FAIL TRUE LABELS captura)
