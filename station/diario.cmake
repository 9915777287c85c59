# The receive journal: every byte from the serial line kept on disk until done.
add_library(sentrel_diario STATIC
  ArchivoDisco.cpp
  MarcaCompletado.cpp
  DiarioRecepcion.cpp
)
target_include_directories(sentrel_diario PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR})
target_link_libraries(sentrel_diario PUBLIC captura_tipos)

sentrel_test(diario_test station DiarioRecepcion_test.cpp)
target_link_libraries(diario_test PRIVATE sentrel_diario)

sentrel_test(comm_diario_test station CommDiario_test.cpp)
target_link_libraries(comm_diario_test PRIVATE sentrel_comm sentrel_simulador Qt6::Test)
