# probar-captura: calls the component's methods from the command line.
add_executable(probar-captura ${CMAKE_CURRENT_LIST_DIR}/probar-captura.cpp)
target_link_libraries(probar-captura PRIVATE captura_cliente)
add_dependencies(probar-captura captura)

add_test(NAME probar-captura.SinArgumentos COMMAND probar-captura)
add_test(NAME probar-captura.NumeroInvalido COMMAND probar-captura ReservaHabitacion)
add_test(NAME probar-captura.MetodoDesconocido COMMAND probar-captura Borrar 1)
set_tests_properties(probar-captura.SinArgumentos probar-captura.NumeroInvalido
  probar-captura.MetodoDesconocido PROPERTIES WILL_FAIL TRUE LABELS captura)
add_test(NAME probar-captura.TipoDeRegistroDesconocido
  COMMAND probar-captura ContarRegistrados 9 0 101 0051 01/01/2026 10:00 00:01:00)
set_tests_properties(probar-captura.TipoDeRegistroDesconocido PROPERTIES WILL_FAIL TRUE LABELS captura)
