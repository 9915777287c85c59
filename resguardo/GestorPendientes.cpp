#include "resguardo/GestorPendientes.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "captura/FalloTransitorio.h"
#include "llamadas/RegistroLlamada.h"

using captura::Fallo;

namespace {

int64_t Segundos(std::chrono::system_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

// The failure that decides what becomes of the line: the first one of a
// transient kind (the line waits), else the first (the line is parked).
struct Decision {
  const Fallo* fallo;
  bool transitorio;
};

Decision Decidir(const ResumenRegistro& r) {
  for (const auto& paso : r.Fallidos) {
    if (captura::EsFalloTransitorio(paso.Fallo)) return {&paso.Fallo, true};
  }
  return {&r.Fallidos.front().Fallo, false};
}

bool EsLlamada(std::string_view linea) { return RegistroLlamada::Leer(linea).EsValido(); }

// What a waiting line keeps: a row posted is in doubt until the database has
// flushed it (a power cut may take it back), so it is looked up, never taken
// as stored.
AvanceRegistro AGuardar(AvanceRegistro a) {
  using Paso = AvanceRegistro::Paso;
  if (a.Cargo == Paso::Hecho) a.Cargo = Paso::Dudoso;
  if (a.Llamada == Paso::Hecho) a.Llamada = Paso::Dudoso;
  return a;
}

// A line after its first failed attempt.
LineaPendiente Fallida(std::string_view linea, const Fallo& fallo, bool transitorio,
                       const AvanceRegistro& avance, int64_t llegada, int64_t ahora) {
  LineaPendiente l;
  l.Linea = linea;
  l.Situacion = transitorio ? LineaPendiente::Estado::Pendiente : LineaPendiente::Estado::Aparcada;
  l.Intentos = 1;
  l.Recibida = llegada;
  l.UltimoIntento = ahora;
  l.PrimerFallo = l.UltimoFallo = fallo;
  l.Avance = AGuardar(avance);
  return l;
}

}  // namespace

GestorPendientes::GestorPendientes(ReceptorLlamadas& receptor, ColaPendientes& cola,
                                   Bitacora& bitacora,
                                   ReceptorLlamadas::CrearTelefono crearTelefono,
                                   RelojMonotono reloj, RelojCivil relojCivil)
    : receptor_(receptor),
      cola_(cola),
      bitacora_(bitacora),
      crearTelefono_(std::move(crearTelefono)),
      reloj_(std::move(reloj)),
      relojCivil_(std::move(relojCivil)),
      proximo_(reloj_()) {  // lines kept from an earlier run are due at once
  if (cola_.Dano()) bitacora_.ArchivoDanado(*cola_.Dano());
  VigilarArchivo();
}

int64_t GestorPendientes::Ahora() const { return Segundos(relojCivil_()); }

void GestorPendientes::Conectar() {
  receptor_.ManejarLineas(
      [this](std::string_view linea, captura::_Telefono& telefono) { Manejar(linea, telefono); });
  receptor_.AsegurarCon([this](captura::_Telefono& telefono) { return Asegurar(telefono); });
}

void GestorPendientes::Manejar(std::string_view linea, captura::_Telefono& telefono) {
  const int64_t llegada = Ahora();
  if (cola_.Pendientes() == 0) {
    if (sinAsegurar_.empty()) perdidas_ = telefono.Agrupar();
    auto resumen = receptor_.ProcesarLinea(linea, telefono);
    if (resumen && !resumen->Ok()) Guardar(linea, *resumen, llegada);
    if (resumen && resumen->Ok())
      sinAsegurar_.push_back({std::string(linea), resumen->Avance, llegada});
    return;
  }
  // Behind the waiting lines, in arrival order; no attempt before its time.
  if (!EsLlamada(linea)) return;
  Esperar(linea, AvanceRegistro{}, llegada);
  bitacora_.EnEspera(linea);
  VigilarArchivo();
  Avisar();
  Reintentar(telefono);
}

// The first failure of a line processed as usual.
void GestorPendientes::Guardar(std::string_view linea, const ResumenRegistro& resumen,
                               int64_t llegada) {
  const Decision d = Decidir(resumen);
  if (d.transitorio && cola_.Pendientes() == 0) {
    espera_ = kEsperaInicial;
    proximo_ = reloj_() + espera_;
  }
  cola_.Agregar(Fallida(linea, *d.fallo, d.transitorio, resumen.Avance, llegada, Ahora()));
  if (d.transitorio) {
    bitacora_.Pendiente(linea, *d.fallo, 1);
  } else {
    bitacora_.Aparcada(linea, *d.fallo);
  }
  VigilarArchivo();
  Avisar();
}

bool GestorPendientes::Asegurar(captura::_Telefono& telefono) {
  const captura::Estado asegurado = telefono.Asegurar();
  const bool perdidas = telefono.Agrupar() != perdidas_;
  auto lineas = std::move(sinAsegurar_);
  sinAsegurar_.clear();
  if (!perdidas) return static_cast<bool>(asegurado);
  // Their rows went back with the transaction, or may have: looked up
  // before they are posted again.
  const Fallo fallo = asegurado ? Fallo{captura::kErrorSentencia,
                                        "the transaction holding its rows was rolled back"}
                                : asegurado.Falla();
  if (!lineas.empty() && cola_.Pendientes() == 0) {
    espera_ = kEsperaInicial;
    proximo_ = reloj_();  // due at once
  }
  for (const auto& l : lineas) {
    cola_.Agregar(Fallida(l.Linea, fallo, true, l.Avance, l.Llegada, Ahora()));
    bitacora_.Pendiente(l.Linea, fallo, 1);
  }
  VigilarArchivo();
  Avisar();
  return true;
}

void GestorPendientes::Esperar(std::string_view linea, AvanceRegistro avance, int64_t llegada) {
  LineaPendiente l;
  l.Linea = linea;
  l.Recibida = llegada;
  l.Avance = avance;
  cola_.Agregar(std::move(l));
}

void GestorPendientes::EncolarRecuperada(
    std::string_view linea, std::optional<std::chrono::system_clock::time_point> llegada) {
  if (!EsLlamada(linea)) return;
  if (cola_.Pendientes() == 0) proximo_ = reloj_();
  Esperar(linea, AvanceRegistro::Desconocido(), llegada ? Segundos(*llegada) : Ahora());
  bitacora_.Recobrada(linea);
  VigilarArchivo();
  Avisar();
}

bool GestorPendientes::Devolver(uint64_t id) {
  const auto it = cola_.Lineas().find(id);
  if (it == cola_.Lineas().end() || it->second.Situacion != LineaPendiente::Estado::Aparcada ||
      it->second.CargoAConfirmar()) {
    return false;
  }
  bitacora_.Devuelta(it->second.Linea);
  Reencolar(it->second);
  return true;
}

bool GestorPendientes::Cargar(uint64_t id) {
  return ResponderCargo(id, AvanceRegistro::Reserva::Confirmada);
}

bool GestorPendientes::DescartarCargo(uint64_t id) {
  return ResponderCargo(id, AvanceRegistro::Reserva::Descartada);
}

// The line goes back to the queue; its re-posting posts the charge or not
// and makes sure of the call. A charge to post counts as maybe posted from
// here on: one cut off by a kill is looked up, never posted twice.
bool GestorPendientes::ResponderCargo(uint64_t id, AvanceRegistro::Reserva respuesta) {
  const auto it = cola_.Lineas().find(id);
  if (it == cola_.Lineas().end() || !it->second.CargoAConfirmar()) return false;
  LineaPendiente l = it->second;
  l.Avance.Reserva_ = respuesta;
  if (respuesta == AvanceRegistro::Reserva::Confirmada) {
    l.Avance.Cargo = AvanceRegistro::Paso::Dudoso;
    bitacora_.CargoConfirmado(l.Linea, l.Avance.Habitacion_->ReservaId);
  } else {
    bitacora_.CargoDescartado(l.Linea);
  }
  Reencolar(std::move(l));
  return true;
}

// Back among the pending lines, due at once.
void GestorPendientes::Reencolar(LineaPendiente l) {
  l.Situacion = LineaPendiente::Estado::Pendiente;
  if (cola_.Pendientes() == 0) {
    espera_ = kEsperaInicial;
    proximo_ = reloj_();
  }
  cola_.Actualizar(l);
  VigilarArchivo();
  Avisar();
}

std::optional<GestorPendientes::Instante> GestorPendientes::ProximoIntento() const {
  if (cola_.Pendientes() == 0) return std::nullopt;
  return proximo_;
}

void GestorPendientes::Reintentar() {
  if (cola_.Pendientes() == 0 || reloj_() < proximo_) return;
  Reintentar(*ReceptorLlamadas::CrearTelefonoOAusente(crearTelefono_));
}

void GestorPendientes::Reintentar(captura::_Telefono& telefono) {
  if (cola_.Pendientes() == 0 || reloj_() < proximo_) return;
  std::vector<uint64_t> turno;
  for (const auto& [id, l] : cola_.Lineas()) {
    if (l.Situacion == LineaPendiente::Estado::Pendiente) turno.push_back(id);
    if (turno.size() == kLineasPorPasada) break;
  }
  AnotarEnDuda(turno);
  const uint64_t perdidas = telefono.Agrupar();
  bool respondio = true;
  std::vector<uint64_t> hechas;
  for (uint64_t id : turno) {
    const auto it = cola_.Lineas().find(id);
    if (it == cola_.Lineas().end()) continue;
    if (!Reponer(it->second, telefono, hechas)) {
      respondio = false;
      break;
    }
  }
  // Lines leave the queue only once the database holds their rows durably;
  // a transaction lost meanwhile may have taken some back.
  if (!hechas.empty() && telefono.Asegurar() && telefono.Agrupar() == perdidas) {
    for (uint64_t id : hechas) {
      const auto it = cola_.Lineas().find(id);
      bitacora_.Recuperada(it->second.Linea, it->second.Intentos);
      cola_.Quitar(id);
    }
  }
  if (respondio) {
    espera_ = kEsperaInicial;
    proximo_ = reloj_();  // whatever is left is due at once
  } else {
    espera_ = std::min(espera_ * 2, kEsperaMaxima);
    proximo_ = reloj_() + espera_;
  }
  VigilarArchivo();
  Avisar();
}

// Before a pass posts, its lines are written as maybe posted, in one write
// (see LineaPendiente::Reponiendo).
void GestorPendientes::AnotarEnDuda(const std::vector<uint64_t>& ids) {
  using Paso = AvanceRegistro::Paso;
  std::vector<LineaPendiente> cambiadas;
  for (uint64_t id : ids) {
    const LineaPendiente& l = cola_.Lineas().at(id);
    if (l.Reponiendo ||
        (l.Avance.Cargo != Paso::Pendiente && l.Avance.Llamada != Paso::Pendiente)) {
      continue;
    }
    cambiadas.emplace_back(l).Reponiendo = true;
  }
  cola_.Actualizar(cambiadas);
}

// A room not looked up yet, past the limit after the line arrived.
bool GestorPendientes::Tarde(const LineaPendiente& l) const {
  if (limite_.count() <= 0 || l.Avance.Habitacion_ ||
      l.Avance.Reserva_ != AvanceRegistro::Reserva::AlDia) {
    return false;
  }
  return Ahora() - l.Recibida > std::chrono::duration_cast<std::chrono::seconds>(limite_).count();
}

// False when the database did not answer: the line keeps waiting.
bool GestorPendientes::Reponer(LineaPendiente l, captura::_Telefono& telefono,
                               std::vector<uint64_t>& hechas) {
  l.Reponiendo = false;  // what this attempt writes is what it did
  if (Tarde(l)) l.Avance.Reserva_ = AvanceRegistro::Reserva::AConfirmar;
  const ComprobarDudas dudas{
      [&](const captura::ArgsCrearDetalle& fila) {
        return Resolver(l, fila, telefono.ContarDetalles(fila), &AvanceRegistro::Cargo,
                        &RegistradorLlamadas::FilaCargo);
      },
      [&](const captura::ArgsCrea& fila) {
        return Resolver(l, fila, telefono.ContarLlamadas(fila), &AvanceRegistro::Llamada,
                        &RegistradorLlamadas::FilaLlamada);
      }};
  const auto resumen =
      receptor_.ProcesarLinea(l.Linea, telefono, ModoRegistro::Reposicion, l.Avance, dudas);
  if (!resumen) {
    cola_.Quitar(l.Id);  // not a call
    return true;
  }
  if (resumen->Ok()) {
    l.Avance = AGuardar(resumen->Avance);
    if (l.Avance.Reserva_ == AvanceRegistro::Reserva::AConfirmar &&
        RegistradorLlamadas::FilaCargo(RegistroLlamada::Leer(l.Linea, receptor_.OrdenFecha()),
                                       l.Avance)) {
      // The call is stored; its charge waits for the operator.
      l.Situacion = LineaPendiente::Estado::Aparcada;
      l.UltimoIntento = Ahora();
      cola_.Actualizar(l);
      bitacora_.CargoAConfirmar(l.Linea, l.Avance.Habitacion_->ReservaId);
      return true;
    }
    cola_.Actualizar(l);
    hechas.push_back(l.Id);
    return true;
  }
  const Decision d = Decidir(*resumen);
  l.Avance = AGuardar(resumen->Avance);
  ++l.Intentos;
  l.UltimoIntento = Ahora();
  if (!l.PrimerFallo) l.PrimerFallo = *d.fallo;
  l.UltimoFallo = *d.fallo;
  if (!d.transitorio) l.Situacion = LineaPendiente::Estado::Aparcada;
  cola_.Actualizar(l);
  if (d.transitorio) {
    bitacora_.Pendiente(l.Linea, *d.fallo, l.Intentos);
  } else {
    bitacora_.Aparcada(l.Linea, *d.fallo);
  }
  return !d.transitorio;
}

// A row in doubt is stored when the database holds as many rows equal to it
// as there are lines before it, itself included, that wait in doubt with the
// same row (or with the same text, their row not known yet): k identical
// calls expect k rows. The others of those lines learn the answer too, so
// that each later line is posted, or not, without being counted again.
template <class Fila>
captura::Resultado<bool> GestorPendientes::Resolver(
    const LineaPendiente& linea, const Fila& fila, const captura::Resultado<int32_t>& cuenta,
    AvanceRegistro::Paso AvanceRegistro::*paso,
    std::optional<Fila> (*filaDe)(const RegistroLlamada&, const AvanceRegistro&)) {
  if (!cuenta) return cuenta.Falla();
  using Paso = AvanceRegistro::Paso;
  std::vector<LineaPendiente> grupo;
  std::size_t propia = 0;
  for (const auto& [id, otra] : cola_.Lineas()) {
    if (id == linea.Id) {
      propia = grupo.size();
      grupo.push_back(linea);
      continue;
    }
    if (otra.Situacion != LineaPendiente::Estado::Pendiente || otra.Avance.*paso != Paso::Dudoso) {
      continue;
    }
    const auto suya =
        filaDe(RegistroLlamada::Leer(otra.Linea, receptor_.OrdenFecha()), otra.Avance);
    const bool desconocida = !otra.Avance.Tarifa_ || !otra.Avance.Habitacion_;
    if (suya ? *suya == fila : desconocida && otra.Linea == linea.Linea) grupo.push_back(otra);
  }
  const auto guardadas = static_cast<std::size_t>(std::max(cuenta.Dato(), 0));
  for (std::size_t i = 0; i < grupo.size(); ++i) {
    if (i == propia) continue;
    grupo[i].Avance.*paso = i < guardadas ? Paso::Hecho : Paso::Pendiente;
    grupo[i].Avance = AGuardar(grupo[i].Avance);
    cola_.Actualizar(grupo[i]);
  }
  return propia < guardadas;
}

// A queue file that cannot be written is told once, and again after it
// recovered and failed anew.
void GestorPendientes::VigilarArchivo() {
  const auto& estado = cola_.EstadoArchivo();
  if (!estado && !archivoFallido_) bitacora_.ArchivoNoGuardado(estado.Falla());
  archivoFallido_ = !estado;
}

void GestorPendientes::Avisar() {
  if (alCambiar_) alCambiar_();
}
