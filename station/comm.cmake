# The serial layer in place of the serial control Comm1.
find_package(Threads REQUIRED)
add_library(sentrel_comm STATIC
  AjustesLinea.cpp
  LectorPuerto.cpp
  Comm.cpp
)
target_include_directories(sentrel_comm PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR})
target_link_libraries(sentrel_comm PUBLIC Qt6::Core captura_tipos sentrel_ajustes sentrel_diario Threads::Threads)

sentrel_test(comm_test station
  AjustesLinea_test.cpp
  Comm_test.cpp
)
target_link_libraries(comm_test PRIVATE sentrel_comm sentrel_simulador Qt6::Test)
