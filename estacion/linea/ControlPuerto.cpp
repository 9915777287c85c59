#include "estacion/linea/ControlPuerto.h"

#include <charconv>
#include <iostream>
#include <string>

#include "estacion/ajustes/PerfilIni.h"
#include "estacion/ajustes/mdlMain.h"
#include "estacion/linea/Comm.h"
#include "llamadas/ReceptorLlamadas.h"

using mdlMain::Intentar;

ControlPuerto::ControlPuerto(VentanaCaptura& ventana, Comm& comm, Bitacora::Sumidero sumidero)
    : ventana_(ventana), comm_(comm) {
  SumideroBitacora(std::move(sumidero));
}

void ControlPuerto::SumideroBitacora(Bitacora::Sumidero sumidero) {
  bitacora_ = Bitacora(std::move(sumidero));
  bitacora_.Eco(&std::cerr);
}

void ControlPuerto::MostrarSufijo(std::string_view sufijo) {
  ventana_.MostrarEstado(ReceptorLlamadas::TextoEstado(ventana_.Estado(), sufijo));
}

void ControlPuerto::AplicarTiempoConexion(const AjustesCaptura& ajustes) {
  if (const auto ticks = ajustes.TicksFinRafaga()) ventana_.Estado().TiempoConexion = *ticks;
}

bool ControlPuerto::AbrirPuerto(const AjustesCaptura& ajustes) {
  if (comm_.PortOpen()) return true;
  noEscucha_ = false;

  AplicarTiempoConexion(ajustes);
  if (ajustes.EnRed()) return AbrirRed(ajustes);
  ventana_.Estado().Origen.clear();
  if (!comm_.Red(std::nullopt)) return false;

  // From here the first failure ends the opening.
  const auto puerto = ajustes.NumeroPuerto();
  if (!puerto) return false;
  ventana_.Estado().NumeroPuerto = *puerto;
  if (!comm_.CommPort(*puerto)) return false;
  if (!comm_.Settings(ajustes.TextoLinea())) return false;
  if (!comm_.PortOpen(!comm_.PortOpen())) return false;
  // What arrived before the opening is thrown away.
  const std::string descartado = comm_.Input();
  if (alDescartar_) alDescartar_(comm_.PosicionEntrada() + descartado.size());
  MostrarSufijo(kSufijoAbierto);
  return true;
}

// The exchange on the network. Only settings that name nowhere to connect
// to (or a port that cannot be listened on) make the opening fail: the port
// connects, or takes the exchange's connection, by itself.
bool ControlPuerto::AbrirRed(const AjustesCaptura& ajustes) {
  const std::string& modo = ajustes.Modo;
  const std::string& direccion = ajustes.Direccion;
  const std::string& texto = ajustes.PuertoTcp;
  unsigned puerto = 0;
  const auto [fin, error] = std::from_chars(texto.data(), texto.data() + texto.size(), puerto);
  if (error != std::errc() || fin != texto.data() + texto.size() || puerto == 0 || puerto > 65535) {
    return false;
  }
  const auto numero = static_cast<uint16_t>(puerto);
  if (PerfilIni::MismoNombre(modo, "Servidor")) {
    ventana_.Estado().Origen = "Central " + ServidorTcp::NombreDe(direccion, numero);
    auto permitidas = ServidorTcp::LeerPermitidas(ajustes.Permitida);
    if (!permitidas) return NoEscuchar(permitidas.Falla().Descripcion);
    auto servidor = ServidorTcp::Escuchar(direccion, numero, std::move(permitidas.Dato()));
    if (!servidor) {
      Intentar([&] { std::cerr << servidor.Falla().Descripcion << std::endl; });
      return false;
    }
    if (!comm_.Escuchar(std::make_unique<ServidorTcp>(std::move(servidor.Dato())))) return false;
  } else if (PerfilIni::MismoNombre(modo, "Cliente") && !direccion.empty()) {
    const ClienteTcp cliente(direccion, numero);
    ventana_.Estado().Origen = "Central " + cliente.Nombre();
    if (!comm_.Red(cliente)) return false;
  } else {
    return false;
  }
  if (!comm_.PortOpen(true)) return false;
  MostrarSufijo(kSufijoAbierto);
  return true;
}

// Anyone on the network could post charges: the port stays closed and the
// station up, so the operator can mend the settings in the dialog.
bool ControlPuerto::NoEscuchar(const std::string& motivo) {
  noEscucha_ = true;
  MostrarSufijo(kSufijoNoEscucha);
  bitacora_.NoEscucha(ReceptorLlamadas::TextoEstado(ventana_.Estado(), "") +
                      ": no se escucha a la central. " + motivo +
                      ". Escríbala en Configuración (Ctrl+C), \"Solo desde\".");
  return true;
}

void ControlPuerto::CerrarPuerto() {
  Intentar([&] {
    if (comm_.PortOpen()) static_cast<void>(comm_.PortOpen(false));
  });
  MostrarSufijo(kSufijoCerrado);
}

void ControlPuerto::LineaPerdida(const captura::Fallo& motivo) {
  MostrarSufijo(ReceptorLlamadas::kSufijoPerdida);
  bitacora_.LineaPerdida(ReceptorLlamadas::TextoEstado(ventana_.Estado(), ""), motivo);
}

void ControlPuerto::LineaRecuperada() {
  MostrarSufijo(kSufijoAbierto);
  bitacora_.LineaRecuperada(ReceptorLlamadas::TextoEstado(ventana_.Estado(), ""));
}

void ControlPuerto::ConexionRechazada(const std::string& texto) {
  bitacora_.ConexionRechazada(texto);
}

void ControlPuerto::ConexionAceptada(const std::string& texto) {
  bitacora_.ConexionAceptada(texto);
}
