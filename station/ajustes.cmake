# Settings: the INI layer and the program-wide settings module (no display),
# and the configuration dialog over them.
add_library(sentrel_ajustes STATIC
  ${CMAKE_CURRENT_LIST_DIR}/PerfilIni.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mdlMain.cpp
)
target_include_directories(sentrel_ajustes PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(sentrel_ajustes PUBLIC captura_tipos)

add_library(sentrel_dialogo STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FrmConfigura.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Twips.cpp
)
target_link_libraries(sentrel_dialogo PUBLIC sentrel_ajustes Qt6::Widgets)

sentrel_test(ajustes_test settings
  ${CMAKE_CURRENT_LIST_DIR}/PerfilIni_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mdlMain_test.cpp
)
target_link_libraries(ajustes_test PRIVATE sentrel_ajustes)

sentrel_test(dialogo_test settings
  ${CMAKE_CURRENT_LIST_DIR}/FrmConfigura_test.cpp
)
target_link_libraries(dialogo_test PRIVATE sentrel_dialogo Qt6::Test)
