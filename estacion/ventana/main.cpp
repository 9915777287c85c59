#include <QApplication>

#include <clocale>
#include <iostream>

#include "captura/CargadorTelefono.h"
#include "estacion/ventana/AvisoTerminacion.h"
#include "estacion/ventana/LineaComandos.h"
#include "estacion/ventana/TraduccionQt.h"
#include "estacion/ventana/frmCentralTelefonica.h"

int main(int argc, char* argv[]) {
  LineaComandos::Opciones opciones;
  if (const auto salida = LineaComandos::Atender(argc, argv, std::cout, std::cerr, opciones)) {
    return *salida;
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
