#include <QCoreApplication>

#include <clocale>
#include <iostream>

#include "captura/CargadorTelefono.h"
#include "estacion/servicio/ServicioEstacion.h"
#include "estacion/ventana/LineaComandos.h"

int main(int argc, char* argv[]) {
  LineaComandos::Opciones opciones;
  if (const auto salida = LineaComandos::Atender(argc, argv, std::cout, std::cerr, opciones)) {
    return *salida;
  }
  QCoreApplication aplicacion(argc, argv);
  std::setlocale(LC_ALL, "");  // the machine's regional settings

  ServicioEstacion servicio([] { return captura::CargadorTelefono::DelPrograma().Crear(); });
  if (!opciones.directorio.empty()) servicio.DirectorioPrograma(opciones.directorio);
  if (!servicio.Iniciar()) return 1;
  const int resultado = QCoreApplication::exec();
  servicio.Finalizar();
  return resultado;
}
