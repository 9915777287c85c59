#include <QApplication>

#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "captura/CargadorTelefono.h"
#include "estacion/ajustes/mdlMain.h"
#include "estacion/ventana/AvisoTerminacion.h"
#include "estacion/ventana/LineaComandos.h"
#include "estacion/ventana/TraduccionQt.h"
#include "estacion/ventana/frmCentralTelefonica.h"

namespace {

// The service runs in a program of its own beside this one, so that no Gui
// or Widgets library is ever loaded into it.
int Servicio(char* argv[]) {
  const std::string programa = mdlMain::DirectorioPrograma() + "/sentrel-servicio";
  ::execv(programa.c_str(), argv);
  std::cerr << "Sentrel: no se puede ejecutar " << programa << ": " << std::strerror(errno) << "\n";
  return 1;
}

bool HayPantalla() {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* valor = std::getenv(variable);
    if (valor && *valor) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  LineaComandos::Opciones opciones;
  if (const auto salida = LineaComandos::Atender(argc, argv, std::cout, std::cerr, opciones)) {
    return *salida;
  }
  if (opciones.servicio) return Servicio(argv);
  if (!HayPantalla()) {
    std::cerr << "Sentrel: sin pantalla (DISPLAY, WAYLAND_DISPLAY o QT_QPA_PLATFORM) no se abre "
                 "la ventana; para capturar sin ella use Sentrel --servicio.\n";
    return 2;
  }
  QApplication aplicacion(argc, argv);
  TraduccionQt::Cargar(aplicacion);
  std::setlocale(LC_ALL, "");  // the machine's regional settings
  // Hidden in the tray the window is not visible, yet the station runs on.
  QApplication::setQuitOnLastWindowClosed(false);

  frmCentralTelefonica ventana([] { return captura::CargadorTelefono::DelPrograma().Crear(); });
  if (!opciones.directorio.empty()) ventana.DirectorioPrograma(opciones.directorio);
  AvisoTerminacion aviso;
  QObject::connect(&aviso, &AvisoTerminacion::Terminar, &ventana,
                   &frmCentralTelefonica::TerminarPorSistema);

  if (!ventana.Form_Load()) return ventana.Terminando() ? 0 : 1;
  ventana.show();
  const int resultado = QApplication::exec();
  ventana.Finalizar();
  return resultado;
}
