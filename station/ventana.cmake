# Port control (no display needed) and the main window with the program start.
set(CMAKE_AUTORCC ON)

add_library(sentrel_puerto STATIC ControlPuerto.cpp ResguardoCaptura.cpp)
target_include_directories(sentrel_puerto PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(sentrel_puerto PUBLIC sentrel_capture sentrel_comm sentrel_diario sentrel_ajustes)

# The window in an object library, so its resources stay linked in the
# program and in the window tests alike.
add_library(sentrel_ventana OBJECT
  frmCentralTelefonica.cpp
  AvisoTerminacion.cpp
  recursos/sentrel.qrc
)
target_link_libraries(sentrel_ventana PUBLIC sentrel_puerto sentrel_dialogo Qt6::Widgets)

add_executable(Sentrel main.cpp)
target_link_libraries(Sentrel PRIVATE sentrel_ventana captura_cliente)
# The component is loaded at run time from beside the program.
add_dependencies(Sentrel captura)

# A self-contained program directory: cmake --install <build> --prefix DIR
install(TARGETS Sentrel RUNTIME DESTINATION .)
install(TARGETS captura LIBRARY DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/captura/sql/esquema-sqlite.sql
              ${CMAKE_SOURCE_DIR}/captura/sql/datos-ejemplo.sql
        DESTINATION sql)
install(FILES recursos/sentrel-32.png DESTINATION . RENAME sentrel.png)
install(CODE "
  file(READ \"${CMAKE_CURRENT_SOURCE_DIR}/recursos/sentrel.desktop\" escritorio)
  string(REPLACE \"@DESTINO@\" \"\${CMAKE_INSTALL_PREFIX}\" escritorio \"\${escritorio}\")
  file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/sentrel.desktop\" \"\${escritorio}\")
  message(STATUS \"Installing: \${CMAKE_INSTALL_PREFIX}/sentrel.desktop\")
")

sentrel_test(puerto_test station ControlPuerto_test.cpp)
target_link_libraries(puerto_test PRIVATE sentrel_puerto sentrel_simulador)

# The window with the real serial layer on pseudo-terminals, offscreen.
sentrel_test(ventana_test station frmCentralTelefonica_test.cpp)
target_link_libraries(ventana_test PRIVATE sentrel_ventana sentrel_capture_falsos sentrel_simulador
                      Qt6::Test)


# The installed program on a real SQLite database and a pseudo-terminal.
sentrel_test(sentrel_e2e_test e2e Sentrel_e2e_test.cpp)
target_link_libraries(sentrel_e2e_test PRIVATE sentrel_simulador)
target_include_directories(sentrel_e2e_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(sentrel_e2e_test PRIVATE
  SENTREL_PROGRAMA="$<TARGET_FILE:Sentrel>"
  SENTREL_CAPTURA="$<TARGET_FILE:captura>"
  SENTREL_RAIZ="${PROJECT_SOURCE_DIR}")
add_dependencies(sentrel_e2e_test Sentrel captura)

# The tray under Xvfb with trayer; xdotool clicks the icon.
sentrel_test(bandeja_test station Bandeja_test.cpp)
target_link_libraries(bandeja_test PRIVATE sentrel_ventana sentrel_capture_falsos sentrel_simulador
                      Qt6::Test)
