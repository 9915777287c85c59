#include "estacion/ajustes/AjustesCaptura.h"

#include <cctype>

#include "estacion/ajustes/PerfilIni.h"
#include "estacion/ajustes/mdlMain.h"
#include "resguardo/GestorPendientes.h"

using A = AjustesCaptura;

const std::array<A::Clave, 15> A::kClaves = {{
    {kSeccionConfigura, "puerto", &A::Puerto},
    {kSeccionConfigura, "bseg", &A::Velocidad},
    {kSeccionConfigura, "bdat", &A::BitsDatos},
    {kSeccionConfigura, "pari", &A::Paridad},
    {kSeccionConfigura, "bpar", &A::BitsParada},
    {kSeccionRutas, "File", &A::RutaFile},
    {kSeccionApp, "TimeConexion", &A::TiempoConexion},
    {kSeccionApp, "MinutosCargoAutomatico", &A::MinutosCargo},
    {kSeccionCentral, "Origen", &A::Origen},
    {kSeccionCentral, "Modo", &A::Modo},
    {kSeccionCentral, "Direccion", &A::Direccion},
    {kSeccionCentral, "Puerto", &A::PuertoTcp},
    {kSeccionCentral, "Permitida", &A::Permitida},
    {kSeccionCentral, "OrdenFecha", &A::OrdenFecha},
    {kSeccionCentral, "MinutosSinDatos", &A::MinutosSinDatos},
}};

const A::Clave& AjustesCaptura::ClaveDe(std::string AjustesCaptura::*valor) {
  for (const auto& clave : kClaves) {
    if (clave.Valor == valor) return clave;
  }
  return kClaves.front();  // every member is in the list
}

AjustesCaptura AjustesCaptura::Leer(const std::string& archivo) {
  AjustesCaptura ajustes;
  for (const auto& clave : kClaves) {
    mdlMain::Intentar(
        [&] { ajustes.*clave.Valor = mdlMain::LeerIni(archivo, clave.Seccion, clave.Nombre); });
  }
  return ajustes;
}

std::optional<int16_t> AjustesCaptura::NumeroPuerto() const { return mdlMain::AEntero16(Puerto); }

std::string AjustesCaptura::TextoLinea() const {
  std::string letra = Paridad.substr(0, 1);
  if (!letra.empty()) {
    letra[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(letra[0])));
  }
  return Velocidad + "," + letra + "," + BitsDatos + "," + BitsParada;
}

std::optional<int16_t> AjustesCaptura::TicksFinRafaga() const {
  return mdlMain::AEntero16(TiempoConexion);
}

bool AjustesCaptura::EnRed() const { return PerfilIni::MismoNombre(Origen, "Red"); }

std::optional<captura::Regional::Orden> AjustesCaptura::OrdenFechaCentral() const {
  return mdlMain::OrdenFechaDeTexto(OrdenFecha);
}

bool AjustesCaptura::OrdenFechaInvalida() const {
  return !OrdenFechaCentral() && !mdlMain::QuitarBlancos(OrdenFecha).empty();
}

namespace {

AjustesCaptura::Minutos LeerMinutos(const std::string& texto, std::chrono::minutes siFalta) {
  if (mdlMain::QuitarBlancos(texto).empty()) return {siFalta};
  const auto minutos = mdlMain::AEntero16(texto);
  if (minutos && *minutos >= 0) return {std::chrono::minutes(*minutos)};
  return {siFalta, true};
}

}  // namespace

AjustesCaptura::Minutos AjustesCaptura::CargoAutomatico() const {
  return LeerMinutos(MinutosCargo, GestorPendientes::kCargoAutomatico);
}

AjustesCaptura::Minutos AjustesCaptura::SinDatos() const {
  return LeerMinutos(MinutosSinDatos, std::chrono::minutes::zero());
}
